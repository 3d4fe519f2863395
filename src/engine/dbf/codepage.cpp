#include "codepage.h"

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "codepage_tables.h"

namespace engine::dbf {

namespace {

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Reads one UTF-8 sequence at text[i]; a malformed byte is returned as itself (0x80..0xFF).
char32_t NextChar(std::string_view text, size_t& i) {
    const auto b0 = static_cast<uint8_t>(text[i]);
    auto cont = [&](size_t k) { return i + k < text.size() && (static_cast<uint8_t>(text[i + k]) & 0xC0) == 0x80; };
    auto at = [&](size_t k) { return static_cast<char32_t>(static_cast<uint8_t>(text[i + k]) & 0x3F); };
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    if ((b0 & 0xE0) == 0xC0 && b0 >= 0xC2 && cont(1)) {
        const char32_t c = (char32_t(b0 & 0x1F) << 6) | at(1);
        i += 2;
        return c;
    }
    if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
        const char32_t c = (char32_t(b0 & 0x0F) << 12) | (at(1) << 6) | at(2);
        if (c >= 0x800) {
            i += 3;
            return c;
        }
    }
    if ((b0 & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
        const char32_t c = (char32_t(b0 & 0x07) << 18) | (at(1) << 12) | (at(2) << 6) | at(3);
        i += 4;
        return c;
    }
    ++i;
    return b0;
}

}  // namespace

namespace {

CodePage::Tables BuildTables(int number) {
    CodePage::Tables t;
    const char16_t* upper = number ? UpperHalfForCodePage(number) : nullptr;
    t.number = upper ? number : 0;
    for (int i = 0; i < 128; ++i) {
        t.upper[i] = upper ? upper[i] : static_cast<char16_t>(0x80 + i);
        t.encode.emplace(t.upper[i], static_cast<uint8_t>(0x80 + i));
    }
    return t;
}

// The tables of every code page met so far, by number (0 = byte for byte); never freed.
const CodePage::Tables* SharedTables(int number) {
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<const CodePage::Tables>> built;
    std::lock_guard lock(mutex);
    auto& slot = built[number];
    if (!slot) slot = std::make_unique<const CodePage::Tables>(BuildTables(number));
    return slot.get();
}

}  // namespace

CodePage::CodePage(uint8_t mark) {
    // One lookup per mark: tables are opened far more often than there are code pages.
    static std::array<std::atomic<const Tables*>, 256> byMark{};
    const Tables* t = byMark[mark].load(std::memory_order_acquire);
    if (!t) {
        int number = CodePageFromMark(mark);
        if (mark != 0 && !(number && UpperHalfForCodePage(number))) {
            number = 1252;  // an unknown mark: the default code page of the tables we meet
        }
        t = SharedTables(number);
        byMark[mark].store(t, std::memory_order_release);
    }
    m_tables = t;
    // A nonzero mark given tables of another number is one this engine does not know.
    m_substituted = mark != 0 && t->number != CodePageFromMark(mark);
}

int CodePage::Number() const { return m_tables->number; }

namespace {

// The end of the run of ASCII bytes from i: eight bytes a step while none has its top bit set,
// then byte by byte.
size_t AsciiRunEnd(const uint8_t* bytes, size_t i, size_t size) {
    constexpr uint64_t kTopBits = 0x8080808080808080ull;
    for (uint64_t word; i + sizeof word <= size; i += sizeof word) {
        std::memcpy(&word, bytes + i, sizeof word);
        if (word & kTopBits) break;
    }
    while (i < size && bytes[i] < 0x80) ++i;
    return i;
}

}  // namespace

void CodePage::Decode(const uint8_t* bytes, size_t size, std::string& out) const {
    out.reserve(out.size() + size);
    // Runs of ASCII, by far the most common text, are copied whole.
    for (size_t i = 0; i < size;) {
        const size_t end = AsciiRunEnd(bytes, i, size);
        out.append(reinterpret_cast<const char*>(bytes + i), end - i);
        if (end == size) break;
        AppendUtf8(m_tables->upper[bytes[end] - 0x80], out);
        i = end + 1;
    }
}

std::string CodePage::Decode(std::string_view bytes) const {
    std::string out;
    Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    return out;
}

std::string CodePage::Encode(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t c = NextChar(utf8, i);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const auto found = m_tables->encode.find(c);
        out.push_back(found != m_tables->encode.end() ? static_cast<char>(found->second) : '?');
    }
    return out;
}

const CodePage& BinaryCodePage() {
    static const CodePage identity(0);
    return identity;
}

}  // namespace engine::dbf
