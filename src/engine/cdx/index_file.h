// The pages of one compound-index file: reading a node or header with its offset checked
// against the file (a bad pointer raises kCorruptIndex naming the file, never a crash), writing
// pages in place, allocating new pages at the end, and the tag headers (key and FOR
// expressions, options, key length, root).
//
// Decoded nodes and tag roots are kept in memory between operations, also across statements,
// for as long as the file's change counter says nobody else changed the file. The counter is
// the big-endian number at bytes 8-11 of the file's first header (the tag directory's), which
// FoxPro's own writers advance as well; every batch of writes made here advances it by one
// before its first page is written, under the table's write lock. Recheck() makes the next
// use read the counter again (one 4-byte read) and drop everything kept when it moved; a
// table calls it once per statement for reads and under its write lock before it changes
// the index. Pages are read from the file only under the table's write lock (or exclusive
// use); CacheOnly(true) makes a read that the memory cannot answer throw CacheMiss instead,
// so that a lookup can try the kept nodes without taking the lock.
//
// Batches: between BeginBatch and EndBatch (a run of changes made under one hold of the
// table's write lock, so no other writer can change the file meanwhile) nodes written are
// held decoded and encoded and written once, in offset order, at EndBatch. Outside a batch
// every write goes to the file at once (with the counter advanced first).
#pragma once

#include <array>
#include <map>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_map>
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

    // The node at offset, as kept in memory or read and decoded; the reference stays valid
    // until the next write, Recheck or batch boundary.
    const Node& NodeAt(uint32_t offset, const NodeFormat& format);
    Node ReadNode(uint32_t offset, const NodeFormat& format) { return NodeAt(offset, format); }
    // The node at offset as kept in memory, to be changed in place and then passed to
    // WriteNode (which then copies nothing). A caller that fails between the two leaves the
    // memory ahead of the file: within a batch the index is then marked damaged by its
    // owner; outside one the caller calls Forget.
    Node& NodeForChange(uint32_t offset, const NodeFormat& format);
    void WriteNode(uint32_t offset, const Node& node, const NodeFormat& format);
    void WriteNode(uint32_t offset, Node&& node, const NodeFormat& format);
    // A new page at the end of the file (not yet written).
    uint32_t AllocatePage();

    [[noreturn]] void Corrupt(const std::string& what) const;
    // Pages in the file as last seen (a bound for walks that must not loop); grows when a
    // read meets a page past it, so a walk never needs to ask the system.
    uint64_t KnownPages() const { return m_size / kPageSize; }

    // See the header comment. EndBatch writes the held pages and throws kFileAccess naming
    // the file when a write fails; the batch is over either way.
    void BeginBatch();
    void EndBatch();
    bool InBatch() const { return m_batch; }

    // See the header comment.
    struct CacheMiss {};
    void Recheck() { m_checked = false; }
    void CacheOnly(bool on) { m_cacheOnly = on; }
    // Forgets every kept node and root (after a failed write).
    void Forget();

private:
    void CheckPage(uint32_t offset, size_t size);
    const uint8_t* Page(uint32_t offset);
    // Reads the change counter when a Recheck asked for it; drops what is kept when it moved.
    void Validate();
    // Advances the change counter in the file (once per batch, before its first page).
    void Advance();
    struct Kept {
        Node node;
        size_t keyLength = 0;
    };

    std::filesystem::path m_path;
    dbf::File m_file;
    uint64_t m_size = 0;
    std::array<uint8_t, kPageSize> m_page{};
    bool m_batch = false;
    bool m_checked = false;                          // the counter was read since the last Recheck
    bool m_cacheOnly = false;                        // a read the memory cannot answer throws CacheMiss
    bool m_advanced = false;                         // the counter was advanced in this batch
    bool m_sizeKnown = false;                        // m_size was read from the file in this batch
    uint32_t m_counter = 0;                          // the change counter the kept nodes belong to
    std::unordered_map<uint32_t, Kept> m_nodes;      // decoded nodes by offset
    std::map<uint32_t, NodeFormat> m_written;        // nodes to write at EndBatch
    std::unordered_map<uint32_t, uint32_t> m_roots;  // tag roots by header offset
};

// A header's 1024 bytes for a tag (or, with an empty expression, for the directory).
std::vector<uint8_t> BuildHeader(uint32_t root, uint16_t keyLength, uint8_t options, bool descending,
                                 const std::string& keyExpression, const std::string& forExpression);

}  // namespace engine::cdx
