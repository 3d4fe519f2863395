#include "engine/cdx/index_file.h"

#include <algorithm>
#include <cstring>

#include "engine/dbf/format.h"
#include "engine/error.h"

namespace engine::cdx {

namespace fmt = engine::dbf::fmt;

IndexFile::IndexFile(const std::filesystem::path& path, bool writable)
    : m_path(path), m_file(path, writable ? dbf::File::Access::ReadWrite : dbf::File::Access::Read) {
    m_size = m_file.Size();
}

std::string IndexFile::Name() const { return dbf::DisplayName(m_path); }

void IndexFile::Corrupt(const std::string& what) const {
    throw Error(kCorruptIndex, "Index file '" + Name() + "' is corrupt: " + what + ".");
}

void IndexFile::CheckPage(uint32_t offset, size_t size) {
    if (offset % kPageSize != 0 || offset + size > m_size) {
        m_size = m_file.Size();  // another connection may have grown the file
        if (offset % kPageSize != 0 || offset + size > m_size)
            Corrupt("a pointer to offset " + std::to_string(offset) + " lies outside the file");
    }
}

namespace {
constexpr size_t kCounterOffset = 8;     // the change counter in the file's first header
constexpr size_t kMaxKeptNodes = 16384;  // about 8 MB of pages; more are dropped between operations
}  // namespace

void IndexFile::Validate() {
    if (m_checked) return;
    if (m_cacheOnly && m_nodes.empty()) throw CacheMiss{};
    uint8_t b[4];
    m_file.ReadAt(kCounterOffset, b, 4, kCorruptIndex);
    const uint32_t counter = fmt::Be32(b);
    if (counter != m_counter || m_nodes.size() > kMaxKeptNodes) Forget();
    m_counter = counter;
    m_checked = true;
}

void IndexFile::Forget() {
    m_nodes.clear();
    m_roots.clear();
    m_written.clear();
}

void IndexFile::Advance() {
    if (m_advanced) return;
    Validate();
    uint8_t b[4];
    fmt::PutBe32(b, m_counter + 1);
    m_file.WriteAt(kCounterOffset, b, 4);
    ++m_counter;
    m_advanced = m_batch;
}

uint32_t IndexFile::ReadRoot(uint32_t headerOffset) {
    Validate();
    if (auto it = m_roots.find(headerOffset); it != m_roots.end()) return it->second;
    if (m_cacheOnly) throw CacheMiss{};
    CheckPage(headerOffset, kHeaderSize);
    uint8_t b[4];
    m_file.ReadAt(headerOffset + kHdrRoot, b, 4, kCorruptIndex);
    const uint32_t root = fmt::Le32(b);
    m_roots[headerOffset] = root;
    return root;
}

void IndexFile::WriteRoot(uint32_t headerOffset, uint32_t root) {
    Advance();
    uint8_t b[4];
    fmt::PutLe32(b, root);
    try {
        m_file.WriteAt(headerOffset + kHdrRoot, b, 4);
    } catch (...) {
        Forget();
        throw;
    }
    m_roots[headerOffset] = root;
}

TagHeader IndexFile::ReadTagHeader(uint32_t offset, const std::string& name) {
    CheckPage(offset, kHeaderSize);
    std::vector<uint8_t> h(kHeaderSize);
    m_file.ReadAt(offset, h.data(), h.size(), kCorruptIndex);
    TagHeader t;
    t.name = name;
    t.headerOffset = offset;
    t.root = fmt::Le32(&h[kHdrRoot]);
    t.keyLength = fmt::Le16(&h[kHdrKeyLength]);
    t.options = h[kHdrOptions];
    t.descending = fmt::Le16(&h[kHdrDescending]) != 0;
    if (t.keyLength == 0 || t.keyLength > kMaxKeyLength)
        Corrupt("tag " + name + " has key length " + std::to_string(t.keyLength));
    auto text = [&](size_t offAt, size_t lenAt) {
        const size_t off = fmt::Le16(&h[offAt]), len = fmt::Le16(&h[lenAt]);
        if (len == 0) return std::string();
        if (off + len > kPoolSize) Corrupt("tag " + name + " has an expression outside its header");
        std::string s(reinterpret_cast<const char*>(&h[kHdrPool + off]), len);
        return s.substr(0, s.find('\0'));
    };
    t.keyExpression = text(kHdrKeyOffset, kHdrKeyExprLength);
    t.forExpression = text(kHdrForOffset, kHdrForLength);
    return t;
}

std::vector<TagHeader> IndexFile::ReadTags() {
    m_size = m_file.Size();
    if (m_size < kHeaderSize + kPageSize || m_size % kPageSize != 0)
        Corrupt("its size " + std::to_string(m_size) + " is not a whole number of pages");
    std::vector<TagHeader> tags;
    const TagHeader dir = ReadTagHeader(0, "(directory)");
    const NodeFormat format{dir.keyLength, ' '};
    // Walk the directory tree; depth and page count are bounded so a loop cannot hang us.
    std::vector<std::pair<uint32_t, int>> stack{{dir.root, 0}};
    size_t visited = 0;
    while (!stack.empty()) {
        auto [offset, depth] = stack.back();
        stack.pop_back();
        if (depth > 16 || ++visited > m_size / kPageSize) Corrupt("the tag directory loops");
        const Node node = ReadNode(offset, format);
        if (node.IsLeaf()) {
            for (const Entry& e : node.entries) {
                std::string name = e.key.substr(0, e.key.find_last_not_of(" \0", std::string::npos, 2) + 1);
                tags.push_back(ReadTagHeader(e.record, name));
            }
        } else {
            for (auto it = node.entries.rbegin(); it != node.entries.rend(); ++it)
                stack.push_back({it->child, depth + 1});
        }
    }
    return tags;
}

const uint8_t* IndexFile::Page(uint32_t offset) {
    CheckPage(offset, kPageSize);
    if (offset < kHeaderSize) Corrupt("a node pointer names the header at offset " + std::to_string(offset));
    m_file.ReadAt(offset, m_page.data(), kPageSize, kCorruptIndex);
    return m_page.data();
}

const Node& IndexFile::NodeAt(uint32_t offset, const NodeFormat& format) {
    Validate();
    if (auto it = m_nodes.find(offset); it != m_nodes.end() && it->second.keyLength == format.keyLength)
        return it->second.node;
    if (m_cacheOnly) throw CacheMiss{};
    Node node = DecodeNode(Page(offset), format, Name(), offset);
    Kept& kept = m_nodes[offset];
    kept.node = std::move(node);
    kept.keyLength = format.keyLength;
    return kept.node;
}

Node& IndexFile::NodeForChange(uint32_t offset, const NodeFormat& format) {
    NodeAt(offset, format);
    return m_nodes.find(offset)->second.node;
}

void IndexFile::WriteNode(uint32_t offset, Node&& node, const NodeFormat& format) {
    Validate();
    Kept& kept = m_nodes[offset];
    kept.node = std::move(node);
    kept.keyLength = format.keyLength;
    WriteNode(offset, kept.node, format);
}

void IndexFile::WriteNode(uint32_t offset, const Node& node, const NodeFormat& format) {
    if (m_batch) {
        Validate();
        Kept& kept = m_nodes[offset];
        if (&kept.node != &node) kept.node = node;
        kept.keyLength = format.keyLength;
        m_written[offset] = format;
    } else {
        if (!EncodeNode(node, format, m_page.data())) Corrupt("a node overflowed while being written");
        Advance();
        try {
            m_file.WriteAt(offset, m_page.data(), kPageSize);
        } catch (...) {
            Forget();
            throw;
        }
        Kept& kept = m_nodes[offset];
        if (&kept.node != &node) kept.node = node;
        kept.keyLength = format.keyLength;
    }
    m_size = std::max<uint64_t>(m_size, offset + kPageSize);
}

void IndexFile::BeginBatch() {
    m_batch = true;
    m_advanced = false;
    m_sizeKnown = false;
    m_written.clear();
    // Called under the table's write lock: what another writer did before is read again.
    m_checked = false;
    Validate();
}

void IndexFile::EndBatch() {
    if (!m_batch) return;
    m_batch = false;
    std::map<uint32_t, NodeFormat> written;
    written.swap(m_written);
    if (written.empty()) return;
    try {
        Advance();
        // Neighbouring pages go out in one write.
        std::vector<uint8_t> run;
        uint32_t runStart = 0;
        for (const auto& [offset, format] : written) {
            if (!run.empty() && offset != runStart + run.size()) {
                m_file.WriteAt(runStart, run.data(), run.size());
                run.clear();
            }
            if (run.empty()) runStart = offset;
            const size_t at = run.size();
            run.resize(at + kPageSize);
            if (!EncodeNode(m_nodes.at(offset).node, format, run.data() + at))
                Corrupt("a node overflowed while being written");
        }
        if (!run.empty()) m_file.WriteAt(runStart, run.data(), run.size());
    } catch (...) {
        Forget();
        m_checked = false;
        throw;
    }
}

uint32_t IndexFile::AllocatePage() {
    // Within a batch the file's size is asked once (other writers are held off by the write
    // lock); the new page is written with the batch, so nothing needs writing now.
    if (!m_batch || !m_sizeKnown) m_size = m_file.Size();
    m_sizeKnown = m_batch;
    const uint64_t at = (m_size + kPageSize - 1) / kPageSize * kPageSize;
    if (at > 0xFFFFFE00ull) Corrupt("the file has grown past 4 GB");
    if (!m_batch) {
        std::array<uint8_t, kPageSize> zero{};
        m_file.WriteAt(at, zero.data(), zero.size());
    }
    m_size = at + kPageSize;
    return static_cast<uint32_t>(at);
}

std::vector<uint8_t> BuildHeader(uint32_t root, uint16_t keyLength, uint8_t options, bool descending,
                                 const std::string& keyExpression, const std::string& forExpression) {
    std::vector<uint8_t> h(kHeaderSize, 0);
    fmt::PutLe32(&h[kHdrRoot], root);
    fmt::PutLe16(&h[kHdrKeyLength], keyLength);
    h[kHdrOptions] = options;
    h[kHdrSignature] = 1;
    fmt::PutLe16(&h[kHdrDescending], descending ? 1 : 0);
    const size_t keyLen = keyExpression.size() + 1;
    const size_t forLen = forExpression.size() + 1;
    fmt::PutLe16(&h[kHdrForOffset], static_cast<uint16_t>(keyLen));
    fmt::PutLe16(&h[kHdrForLength], static_cast<uint16_t>(forLen));
    fmt::PutLe16(&h[kHdrKeyOffset], 0);
    fmt::PutLe16(&h[kHdrKeyExprLength], static_cast<uint16_t>(keyLen));
    std::memcpy(&h[kHdrPool], keyExpression.data(), keyExpression.size());
    std::memcpy(&h[kHdrPool + keyLen], forExpression.data(), forExpression.size());
    return h;
}

}  // namespace engine::cdx
