#include "common/reg_text.h"

#include <algorithm>
#include <cstdio>

namespace common::reg {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kOldHeader = "REGEDIT4";
constexpr size_t kHexLineWidth = 76;  // regedit wraps hex data before 80 columns

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string TrimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string TrimLeft(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    return s.substr(i);
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

// A quoted text starting at s[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> ReadQuoted(const std::string& s, size_t& pos) {
    std::string out;
    for (++pos; pos < s.size(); ++pos) {
        char c = s[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < s.size()) c = s[++pos];
        out += c;
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> ReadHexBytes(const std::string& s) {
    std::vector<uint8_t> bytes;
    size_t pos = 0;
    while (pos < s.size()) {
        while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == ',')) ++pos;
        if (pos >= s.size()) break;
        size_t end = pos;
        while (end < s.size() && std::isxdigit(static_cast<unsigned char>(s[end]))) ++end;
        if (end == pos || end - pos > 2) return std::nullopt;
        bytes.push_back(uint8_t(std::stoul(s.substr(pos, end - pos), nullptr, 16)));
        pos = end;
        if (pos < s.size() && s[pos] != ',' && s[pos] != ' ' && s[pos] != '\t') return std::nullopt;
    }
    return bytes;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string HexData(const std::string& prefix, const std::vector<uint8_t>& bytes) {
    std::string out = prefix;
    size_t lineStart = 0;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        out += buf;
        if (i + 1 < bytes.size()) {
            out += ',';
            if (out.size() - lineStart >= kHexLineWidth) {
                out += "\\\n";
                lineStart = out.size();
                out += "  ";
            }
        }
    }
    return out;
}

// A string value can be written as a quoted text when its data is the text with one closing
// zero and the text has no line breaks or zeros of its own.
bool QuotableString(const Value& v) {
    if (v.data.size() < 2 || v.data.size() % 2 != 0) return false;
    if (v.data[v.data.size() - 1] != 0 || v.data[v.data.size() - 2] != 0) return false;
    const std::string text = TextOf(v);
    if (text.find_first_of("\r\n") != std::string::npos) return false;
    return Utf8ToUtf16Le(text).size() + 2 == v.data.size();
}

std::string FormatValue(const std::string& name, const Value& v) {
    std::string out = name.empty() ? "@=" : Quote(name) + "=";
    if (v.type == kString && QuotableString(v)) return out + Quote(TextOf(v));
    if (v.type == kDword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", DwordOf(v));
        return out + buf;
    }
    if (v.type == kBinary) return HexData(out + "hex:", v.data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", v.type);
    return HexData(out + prefix, v.data);
}

// The text of the file as UTF-8 lines without line ends.
std::vector<std::string> Lines(const std::string& bytes) {
    std::string text;
    if (bytes.size() >= 2 && uint8_t(bytes[0]) == 0xFF && uint8_t(bytes[1]) == 0xFE) {
        text = Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()) + 2, bytes.size() - 2);
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = bytes.substr(3);
    } else {
        text = bytes;
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(TrimRight(text.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

// Applies one value line ("name"=data or @=data) to key; false when it cannot be understood.
bool ApplyValueLine(const std::string& line, Key& key) {
    size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
        pos = 1;
    } else {
        auto quoted = ReadQuoted(line, pos);
        if (!quoted) return false;
        name = *quoted;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') return false;
    const std::string data = TrimLeft(line.substr(pos + 1));
    if (data == "-") {
        key.Remove(name);
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        size_t p = 0;
        auto text = ReadQuoted(data, p);
        if (!text || p != data.size()) return false;
        key.Set(name, StringValue(*text));
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        const std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 || !std::all_of(digits.begin(), digits.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c));
            }))
            return false;
        key.Set(name, DwordValue(uint32_t(std::stoul(digits, nullptr, 16))));
        return true;
    }
    uint32_t type = kBinary;
    std::string hex;
    if (StartsWithNoCase(data, "hex:")) {
        hex = data.substr(4);
    } else if (StartsWithNoCase(data, "hex(")) {
        const size_t close = data.find("):");
        if (close == std::string::npos || close == 4) return false;
        const std::string digits = data.substr(4, close - 4);
        if (digits.size() > 8 || !std::all_of(digits.begin(), digits.end(),
                                              [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
            return false;
        type = uint32_t(std::stoul(digits, nullptr, 16));
        hex = data.substr(close + 2);
    } else {
        return false;
    }
    auto bytes = ReadHexBytes(hex);
    if (!bytes) return false;
    key.Set(name, Value{type, std::move(*bytes)});
    return true;
}

}  // namespace

Value StringValue(const std::string& text, uint32_t type) {
    Value v{type, Utf8ToUtf16Le(text)};
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

Value DwordValue(uint32_t n) {
    return Value{kDword, {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)}};
}

Value MultiStringValue(const std::vector<std::string>& strings) {
    Value v{kMultiString, {}};
    for (const auto& s : strings) {
        auto units = Utf8ToUtf16Le(s);
        v.data.insert(v.data.end(), units.begin(), units.end());
        v.data.push_back(0);
        v.data.push_back(0);
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

Value BinaryValue(std::vector<uint8_t> bytes) { return Value{kBinary, std::move(bytes)}; }

std::string TextOf(const Value& v) {
    size_t end = 0;
    while (end + 1 < v.data.size() && (v.data[end] || v.data[end + 1])) end += 2;
    return Utf16LeToUtf8(v.data.data(), end);
}

std::vector<std::string> StringsOf(const Value& v) {
    std::vector<std::string> out;
    size_t start = 0;
    size_t i = 0;
    for (; i + 1 < v.data.size(); i += 2) {
        if (v.data[i] != 0 || v.data[i + 1] != 0) continue;
        if (i == start) return out;  // the empty string that ends the list
        out.push_back(Utf16LeToUtf8(v.data.data() + start, i - start));
        start = i + 2;
    }
    // A last string without its zero is kept rather than lost.
    if (i > start) out.push_back(Utf16LeToUtf8(v.data.data() + start, i - start));
    return out;
}

uint32_t DwordOf(const Value& v) {
    uint32_t n = 0;
    for (size_t i = 0; i < 4 && i < v.data.size(); ++i) n |= uint32_t(v.data[i]) << (8 * i);
    return n;
}

std::string Utf16LeToUtf8(const uint8_t* data, size_t size) {
    std::string out;
    for (size_t i = 0; i + 1 < size; i += 2) {
        uint32_t cp = data[i] | (data[i + 1] << 8);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < size) {
            const uint32_t low = data[i + 2] | (data[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::vector<uint8_t> Utf8ToUtf16Le(const std::string& text) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t unit) {
        out.push_back(uint8_t(unit));
        out.push_back(uint8_t(unit >> 8));
    };
    for (size_t i = 0; i < text.size();) {
        const uint8_t c = uint8_t(text[i]);
        uint32_t cp = c;
        size_t extra = 0;
        if (c >= 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        }
        ++i;
        for (size_t k = 0; k < extra && i < text.size(); ++k, ++i) cp = (cp << 6) | (uint8_t(text[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string LowerName(const std::string& name) {
    std::string out = name;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && LowerName(a) == LowerName(b);
}

const Value* Key::Find(const std::string& name) const {
    for (const auto& [n, v] : values)
        if (SameName(n, name)) return &v;
    return nullptr;
}

void Key::Set(const std::string& name, const Value& value) {
    for (auto& [n, v] : values)
        if (SameName(n, name)) {
            v = value;
            return;
        }
    values.emplace_back(name, value);
}

bool Key::Remove(const std::string& name) {
    auto it = std::find_if(values.begin(), values.end(), [&](const auto& nv) { return SameName(nv.first, name); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

Key* Document::Find(const std::string& path) {
    for (auto& k : keys)
        if (SameName(k.path, path)) return &k;
    return nullptr;
}

const Key* Document::Find(const std::string& path) const { return const_cast<Document*>(this)->Find(path); }

bool Document::Exists(const std::string& path) const {
    const std::string lower = LowerName(path) + "\\";
    for (const auto& k : keys) {
        const std::string kl = LowerName(k.path) + "\\";
        if (kl.compare(0, lower.size(), lower) == 0) return true;
    }
    return false;
}

Key& Document::Ensure(const std::string& path) {
    if (Key* k = Find(path)) return *k;
    keys.push_back(Key{path, {}});
    return keys.back();
}

Key& Document::EnsureWithParents(const std::string& path) {
    // Every prefix ending before a separator, the root name alone excepted.
    for (size_t sep = path.find('\\', path.find('\\') + 1); sep != std::string::npos; sep = path.find('\\', sep + 1))
        if (!Find(path.substr(0, sep))) Ensure(path.substr(0, sep));
    return Ensure(path);
}

std::vector<std::string> Document::SubKeys(const std::string& path) const {
    const std::string prefix = LowerName(path) + "\\";
    std::vector<std::string> out;
    for (const auto& k : keys) {
        if (k.path.size() <= prefix.size() || LowerName(k.path).compare(0, prefix.size(), prefix) != 0) continue;
        std::string child = k.path.substr(prefix.size());
        child = child.substr(0, child.find('\\'));
        if (child.empty()) continue;
        if (std::none_of(out.begin(), out.end(), [&](const std::string& c) { return SameName(c, child); }))
            out.push_back(child);
    }
    return out;
}

bool Document::RemoveTree(const std::string& path) {
    const std::string prefix = LowerName(path) + "\\";
    const size_t before = keys.size();
    std::erase_if(keys,
                  [&](const Key& k) { return (LowerName(k.path) + "\\").compare(0, prefix.size(), prefix) == 0; });
    return keys.size() != before;
}

ParseResult Parse(const std::string& bytes) {
    ParseResult result;
    const std::vector<std::string> lines = Lines(bytes);
    size_t first = 0;
    while (first < lines.size() && lines[first].empty()) ++first;
    if (first == lines.size()) return result;  // an empty file is an empty registry
    if (lines[first] != kHeader && lines[first] != kOldHeader) {
        result.badHeader = true;
        --first;  // read the first line as content too, to keep what can be kept
    }
    Key* current = nullptr;
    bool inDeletedKey = false;
    for (size_t i = first + 1; i < lines.size(); ++i) {
        const size_t lineNumber = i + 1;
        std::string line = TrimLeft(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                result.badLines.push_back(lineNumber);
                current = nullptr;
                inDeletedKey = false;
                continue;
            }
            std::string path = line.substr(1, line.size() - 2);
            inDeletedKey = path[0] == '-';
            if (inDeletedKey) {
                result.document.RemoveTree(path.substr(1));
                current = nullptr;
            } else {
                current = &result.document.Ensure(path);
            }
            continue;
        }
        // Hex data goes on over lines that end in a backslash.
        while (line.back() == '\\' && line.find("=hex") != std::string::npos && i + 1 < lines.size()) {
            line.pop_back();
            line += TrimLeft(lines[++i]);
        }
        if (line[0] != '"' && line[0] != '@') {
            result.badLines.push_back(lineNumber);
            continue;
        }
        if (inDeletedKey) continue;
        if (!current || !ApplyValueLine(line, *current)) result.badLines.push_back(lineNumber);
    }
    return result;
}

std::string Format(const Document& document) {
    std::string out = std::string(kHeader) + "\n\n";
    for (const auto& key : document.keys) {
        out += "[" + key.path + "]\n";
        for (const auto& [name, value] : key.values) out += FormatValue(name, value) + "\n";
        out += "\n";
    }
    return out;
}

}  // namespace common::reg
