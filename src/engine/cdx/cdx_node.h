// One 512-byte node of a compound-index B-tree, decoded: interior nodes hold full keys with the
// record number and child page of each child's greatest key; leaf nodes hold keys with their
// record numbers, stored compressed (shared leading bytes, dropped trailing fill bytes, packed
// bit fields). Decoding checks every count and length against the page and throws
// kCorruptIndex naming the file and the page; encoding reports when the entries do not fit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine::cdx {

struct Entry {
    std::string key;      // keyLength bytes
    uint32_t record = 0;  // 1-based record number (in the tag directory: a tag header offset)
    uint32_t child = 0;   // interior nodes: page offset of the child
};

// Orders entries as the tree does: key bytes unsigned, then record number.
int CompareEntry(const std::string& keyA, uint32_t recA, const std::string& keyB, uint32_t recB);

struct Node {
    uint16_t attributes = 0;
    uint32_t left = 0xFFFFFFFFu;
    uint32_t right = 0xFFFFFFFFu;
    std::vector<Entry> entries;
    int infoBytes = 0;  // leaves: the info-entry size read from the page (0 for a new node)
    // Leaves: the key bytes the entries take when encoded and their greatest record number,
    // kept up to date by inserts so that a leaf's size is known without measuring all of it;
    // storedKeyBytes is -1 when not known (decoded, split or shrunk nodes).
    int64_t storedKeyBytes = -1;
    uint32_t maxRecord = 0;
    bool IsLeaf() const { return attributes & 2; }
    bool IsRoot() const { return attributes & 1; }
};

struct NodeFormat {
    size_t keyLength = 0;
    uint8_t fill = ' ';  // the trailing byte leaves drop: blank for character keys, 0 otherwise
};

// Decodes page (512 bytes) found at offset in file; throws kCorruptIndex.
Node DecodeNode(const uint8_t* page, const NodeFormat& format, const std::string& file, uint32_t offset);

// Encodes node into page (512 bytes). Returns false, leaving page unspecified, when the
// entries do not fit into one node.
bool EncodeNode(const Node& node, const NodeFormat& format, uint8_t* page);

// How many bytes a leaf needs for entries [first, last) (header excluded).
size_t LeafBytes(const std::vector<Entry>& entries, size_t first, size_t last, const NodeFormat& format);
// Key bytes a leaf stores for key after previous (nullptr for the first key of a node), and the
// size of one info entry for a node whose greatest record number is maxRecord.
size_t StoredKeyBytes(const std::string* previous, const std::string& key, const NodeFormat& format);
size_t InfoEntryBytes(uint32_t maxRecord, size_t keyLength);
inline size_t InteriorCapacity(size_t keyLength) { return 500 / (keyLength + 8); }

}  // namespace engine::cdx
