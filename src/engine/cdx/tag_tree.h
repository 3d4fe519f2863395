// The B-tree of one tag, worked on in place in the index file: walking it in key order,
// finding the records of a key, inserting and removing one entry (splitting full nodes and
// unlinking empty ones, keeping parent keys, sibling chains and the root pointer right), and
// checking its structure. Nodes come from the index file, which keeps them only while its
// change counter says no other connection changed the file (index_file.h). Also builds a whole tree
// from sorted entries into a file image (for new and rebuilt indexes).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/cdx/index_file.h"

namespace engine::cdx {

class TagTree {
public:
    TagTree(IndexFile& file, uint32_t headerOffset, NodeFormat format, std::string tagName)
        : m_file(file), m_header(headerOffset), m_format(format), m_tag(std::move(tagName)) {}

    // Calls fn for each entry in order until it returns false.
    void ForEach(const std::function<bool(const Entry&)>& fn);
    // Record numbers (1-based) of the entries whose key is key, ascending.
    std::vector<uint32_t> FindEqual(const std::string& key);
    bool Contains(const std::string& key, uint32_t record);
    void Insert(const std::string& key, uint32_t record);
    // Inserts entries (sorted, none in the tree yet) with the result of inserting them one by
    // one in order, merging each run of them that goes into one leaf without splitting it in
    // one pass.
    void InsertSorted(const std::vector<Entry>& entries);
    // Throws kCorruptIndex naming the tag when the entry is not there.
    void Remove(const std::string& key, uint32_t record);
    // Checks order, parent keys, sibling chains and depth; throws kCorruptIndex.
    void Verify();
    // Record numbers (1-based) of every entry in key order, read from the leaves as the file
    // keeps them, without copying a key.
    std::vector<uint32_t> Records();

private:
    // One node on the way from the root to a leaf, and the position taken in it.
    struct Step {
        uint32_t offset;
        size_t index;
    };
    // The way to where (key, record) belongs; the nodes stay in the file's memory.
    std::vector<Step> Descend(const std::string& key, uint32_t record);
    // Insert and Remove on the nodes kept in memory, changed in place.
    void InsertEntry(const std::string& key, uint32_t record);
    // Inserts entries [from, ...) that go into the leaf of entries[from] without splitting it
    // (or entries[from] alone, splitting); returns the first entry not inserted.
    size_t InsertRun(const std::vector<Entry>& entries, size_t from);
    // After the leaf at the end of path changed: splits what overflows and keeps the parent
    // keys right, up the path. atEnd: the entry went to the end of the leaf.
    void Propagate(const std::vector<Step>& path, bool atEnd);
    void RemoveEntry(const std::string& key, uint32_t record);
    bool Fits(Node& node) const;
    // The leaf where (key, record) belongs, as kept by the file, and the position in it.
    const Node& LeafFor(const std::string& key, uint32_t record, size_t& index);
    void Relink(uint32_t offset, bool leftSide, uint32_t value);
    [[noreturn]] void Corrupt(const std::string& what) const;

    IndexFile& m_file;
    uint32_t m_header;
    NodeFormat m_format;
    std::string m_tag;
};

// Appends the pages of a tree holding entries (sorted, keys of format.keyLength) to image,
// whose size is a multiple of the page size, and returns the root's offset.
uint32_t AppendTree(std::vector<uint8_t>& image, const std::vector<Entry>& entries, const NodeFormat& format);

}  // namespace engine::cdx
