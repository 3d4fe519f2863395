// The pages of one compound-index file: reading a node or header with its offset checked
// against the file (a bad pointer raises kCorruptIndex naming the file, never a crash), writing
// pages in place, allocating new pages at the end, and the tag headers (key and FOR
// expressions, options, key length, root).
//
// Batches: between BeginBatch and EndBatch (a run of changes made under one hold of the
// table's write lock, so no other writer can change the file meanwhile) pages are read from
// the file once and kept, and pages written are held and written once, in offset order, at
// EndBatch. Outside a batch every read and write goes to the file.
#pragma once

#include <array>
#include <map>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/cdx/cdx_format.h"
#include "engine/cdx/cdx_node.h"
#include "engine/dbf/file_io.h"

namespace engine::cdx {

// A tag as its header describes it.
struct TagHeader {
    std::string name;           // upper case, without the directory's blank padding
    uint32_t headerOffset = 0;  // where the 1024-byte header lies
    uint32_t root = 0;
    uint16_t keyLength = 0;
    uint8_t options = 0;
    bool descending = false;
    std::string keyExpression;
    std::string forExpression;  // empty when the tag has none
};

class IndexFile {
public:
    IndexFile() = default;
    // Opens the file; throws kFileAccess when it cannot be opened.
    IndexFile(const std::filesystem::path& path, bool writable);

    bool IsOpen() const { return m_file.IsOpen(); }
    const std::filesystem::path& Path() const { return m_path; }
    std::string Name() const;
    dbf::File& File() { return m_file; }

    // Reads the tag directory and every tag header. Throws kCorruptIndex.
    std::vector<TagHeader> ReadTags();
    TagHeader ReadTagHeader(uint32_t offset, const std::string& name);
    // The current root of the tag whose header is at headerOffset (other connections may move it).
    uint32_t ReadRoot(uint32_t headerOffset);
    void WriteRoot(uint32_t headerOffset, uint32_t root);

    Node ReadNode(uint32_t offset, const NodeFormat& format);
    void WriteNode(uint32_t offset, const Node& node, const NodeFormat& format);
    // A new page at the end of the file (not yet written).
    uint32_t AllocatePage();

    [[noreturn]] void Corrupt(const std::string& what) const;

    // See the header comment. EndBatch writes the held pages and throws kFileAccess naming
    // the file when a write fails; the batch is over either way.
    void BeginBatch();
    void EndBatch();
    bool InBatch() const { return m_batch; }

private:
    void CheckPage(uint32_t offset, size_t size);
    const uint8_t* Page(uint32_t offset);

    std::filesystem::path m_path;
    dbf::File m_file;
    uint64_t m_size = 0;
    std::array<uint8_t, kPageSize> m_page{};
    bool m_batch = false;
    std::map<uint32_t, std::array<uint8_t, kPageSize>> m_pages;  // read or written in the batch
    std::map<uint32_t, bool> m_written;                          // pages to write at EndBatch
    std::map<uint32_t, uint32_t> m_roots;                        // tag roots read in the batch
};

// A header's 1024 bytes for a tag (or, with an empty expression, for the directory).
std::vector<uint8_t> BuildHeader(uint32_t root, uint16_t keyLength, uint8_t options, bool descending,
                                 const std::string& keyExpression, const std::string& forExpression);

}  // namespace engine::cdx
