#include "engine/cdx/cdx_node.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/cdx/cdx_format.h"
#include "engine/dbf/format.h"
#include "engine/error.h"

namespace engine::cdx {

namespace fmt = engine::dbf::fmt;

namespace {

[[noreturn]] void Corrupt(const std::string& file, uint32_t offset, const std::string& what) {
    throw Error(kCorruptIndex,
                "Index file '" + file + "' is corrupt: node at offset " + std::to_string(offset) + " " + what + ".");
}

// Bits for the duplicate and trailing counts: enough to hold the key length.
int CountBits(size_t keyLength) { return std::bit_width(keyLength); }

size_t TrailingFill(const std::string& key, uint8_t fill) {
    size_t n = 0;
    while (n < key.size() && static_cast<uint8_t>(key[key.size() - 1 - n]) == fill) ++n;
    return n;
}

size_t CommonPrefix(const std::string& a, const std::string& b) {
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
    return n;
}

struct Packing {
    int recBits, countBits, bytes;
};

// The smallest info entry that holds the greatest record number of the entries.
Packing PackingFor(const std::vector<Entry>& entries, size_t first, size_t last, size_t keyLength) {
    uint32_t maxRec = 1;
    for (size_t i = first; i < last; ++i) maxRec = std::max(maxRec, entries[i].record);
    const int count = CountBits(keyLength);
    const int need = std::max(1, static_cast<int>(std::bit_width(maxRec)));
    int bytes = (need + 2 * count + 7) / 8;
    return Packing{bytes * 8 - 2 * count, count, bytes};
}

// The info-entry layout a leaf is written with: the one it was read with while its record
// numbers still fit (Visual FoxPro keeps a node's layout as it fills), three bytes for an empty
// leaf (as Visual FoxPro writes them), else the smallest that holds its record numbers.
Packing PackingOf(const Node& node, size_t keyLength) {
    const int count = CountBits(keyLength);
    if (node.entries.empty()) return Packing{24 - 2 * count, count, 3};
    const Packing least = PackingFor(node.entries, 0, node.entries.size(), keyLength);
    if (node.infoBytes >= least.bytes && node.infoBytes <= 8)
        return Packing{node.infoBytes * 8 - 2 * count, count, node.infoBytes};
    return least;
}

}  // namespace

int CompareEntry(const std::string& keyA, uint32_t recA, const std::string& keyB, uint32_t recB) {
    const int c = keyA.compare(keyB);
    if (c != 0) {
        // std::string compares char as unsigned via char_traits<char>::compare (memcmp).
        return c < 0 ? -1 : 1;
    }
    return recA < recB ? -1 : recA > recB ? 1 : 0;
}

// Leading bytes shared with the previous key, counted only over the bytes that key stores
// (not its dropped trailing fill), as Visual FoxPro counts them.
static size_t SharedBytes(const std::string* previous, const std::string& key, size_t trail, const NodeFormat& format) {
    if (!previous) return 0;
    const size_t previousStored = format.keyLength - TrailingFill(*previous, format.fill);
    return std::min({CommonPrefix(*previous, key), format.keyLength - trail, previousStored});
}

size_t StoredKeyBytes(const std::string* previous, const std::string& key, const NodeFormat& format) {
    const size_t trail = TrailingFill(key, format.fill);
    return format.keyLength - SharedBytes(previous, key, trail, format) - trail;
}

size_t InfoEntryBytes(uint32_t maxRecord, size_t keyLength) {
    const int need = std::max(1, static_cast<int>(std::bit_width(std::max<uint32_t>(maxRecord, 1))));
    return static_cast<size_t>((need + 2 * CountBits(keyLength) + 7) / 8);
}

size_t LeafBytes(const std::vector<Entry>& entries, size_t first, size_t last, const NodeFormat& format) {
    const Packing p = PackingFor(entries, first, last, format.keyLength);
    size_t total = 0;
    for (size_t i = first; i < last; ++i) {
        const std::string& key = entries[i].key;
        total += p.bytes + StoredKeyBytes(i == first ? nullptr : &entries[i - 1].key, key, format);
    }
    return total;
}

Node DecodeNode(const uint8_t* page, const NodeFormat& format, const std::string& file, uint32_t offset) {
    Node node;
    node.attributes = fmt::Le16(page + kNodeAttr);
    if (node.attributes & kAttrLeaf) node.infoBytes = page[kLeafInfoBytes];
    const size_t count = fmt::Le16(page + kNodeCount);
    node.left = fmt::Le32(page + kNodeLeft);
    node.right = fmt::Le32(page + kNodeRight);
    const size_t kl = format.keyLength;
    if (node.attributes > 7) Corrupt(file, offset, "has unknown attributes");
    // The entries are made only once their count is known to fit the page: a damaged count
    // (up to 65535) would otherwise cost megabytes for every node read.
    if (!node.IsLeaf()) {
        if (count * (kl + 8) > kInteriorSpace) Corrupt(file, offset, "claims more keys than fit into it");
        node.entries.resize(count);
        const uint8_t* p = page + kInteriorData;
        for (size_t i = 0; i < count; ++i, p += kl + 8) {
            node.entries[i].key.assign(reinterpret_cast<const char*>(p), kl);
            node.entries[i].record = fmt::Be32(p + kl);
            node.entries[i].child = fmt::Be32(p + kl + 4);
        }
        return node;
    }
    // An empty leaf holds nothing its bit widths would be needed for, whatever they say.
    if (count == 0) return node;
    const uint32_t recMask = fmt::Le32(page + kLeafRecMask);
    const int recBits = page[kLeafRecBits], dupBits = page[kLeafDupBits], trailBits = page[kLeafTrailBits];
    const size_t bytes = page[kLeafInfoBytes];
    if (bytes < 1 || bytes > 8 || recBits + dupBits + trailBits > int(bytes) * 8 || recBits > 32 || dupBits > 16 ||
        trailBits > 16)
        Corrupt(file, offset, "has invalid bit widths");
    if (count * bytes > kLeafSpace) Corrupt(file, offset, "claims more keys than fit into it");
    node.entries.resize(count);
    const uint64_t dupMask = (uint64_t{1} << dupBits) - 1, trailMask = (uint64_t{1} << trailBits) - 1;
    size_t keyPos = kPageSize;
    const size_t infoEnd = kLeafData + count * bytes;
    const std::string* previous = nullptr;
    for (size_t i = 0; i < count; ++i) {
        uint64_t v = 0;
        for (size_t b = 0; b < bytes; ++b) v |= uint64_t{page[kLeafData + i * bytes + b]} << (8 * b);
        const size_t dup = (v >> recBits) & dupMask;
        const size_t trail = (v >> (recBits + dupBits)) & trailMask;
        if (dup + trail > kl || (i == 0 && dup > 0)) Corrupt(file, offset, "has a key longer than the key length");
        const size_t stored = kl - dup - trail;
        if (keyPos < infoEnd + stored) Corrupt(file, offset, "has keys overlapping its entries");
        keyPos -= stored;
        Entry& e = node.entries[i];
        e.record = static_cast<uint32_t>(v & recMask);
        e.key.reserve(kl);
        if (dup) e.key.assign(*previous, 0, dup);
        e.key.append(reinterpret_cast<const char*>(page + keyPos), stored);
        e.key.append(trail, static_cast<char>(format.fill));
        previous = &e.key;
    }
    return node;
}

static bool EncodeLeaf(const Node& node, const NodeFormat& format, uint8_t* page, const Packing& pk) {
    const size_t kl = format.keyLength;
    const auto& entries = node.entries;
    std::memset(page + kLeafFree, 0, kPageSize - kLeafFree);
    size_t keyPos = kPageSize;
    size_t infoPos = kLeafData;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& key = entries[i].key;
        const size_t trail = TrailingFill(key, format.fill);
        const size_t dup = SharedBytes(i == 0 ? nullptr : &entries[i - 1].key, key, trail, format);
        const size_t stored = kl - dup - trail;
        if (keyPos < infoPos + pk.bytes + stored) return false;
        keyPos -= stored;
        std::memcpy(page + keyPos, key.data() + dup, stored);
        const uint64_t v = uint64_t{entries[i].record} | (uint64_t{dup} << pk.recBits) |
                           (uint64_t{trail} << (pk.recBits + pk.countBits));
        for (int b = 0; b < pk.bytes; ++b) page[infoPos + b] = static_cast<uint8_t>(v >> (8 * b));
        infoPos += pk.bytes;
    }
    fmt::PutLe16(page + kLeafFree, static_cast<uint16_t>(keyPos - infoPos));
    fmt::PutLe32(page + kLeafRecMask, pk.recBits >= 32 ? 0xFFFFFFFFu : (1u << pk.recBits) - 1);
    page[kLeafDupMask] = static_cast<uint8_t>((1u << pk.countBits) - 1);
    page[kLeafTrailMask] = static_cast<uint8_t>((1u << pk.countBits) - 1);
    page[kLeafRecBits] = static_cast<uint8_t>(pk.recBits);
    page[kLeafDupBits] = static_cast<uint8_t>(pk.countBits);
    page[kLeafTrailBits] = static_cast<uint8_t>(pk.countBits);
    page[kLeafInfoBytes] = static_cast<uint8_t>(pk.bytes);
    return true;
}

bool EncodeNode(const Node& node, const NodeFormat& format, uint8_t* page) {
    std::memset(page, 0, kPageSize);
    const size_t kl = format.keyLength;
    fmt::PutLe16(page + kNodeAttr, node.attributes);
    fmt::PutLe16(page + kNodeCount, static_cast<uint16_t>(node.entries.size()));
    fmt::PutLe32(page + kNodeLeft, node.left);
    fmt::PutLe32(page + kNodeRight, node.right);
    const auto& entries = node.entries;
    if (!node.IsLeaf()) {
        if (entries.size() * (kl + 8) > kInteriorSpace) return false;
        uint8_t* p = page + kInteriorData;
        for (const Entry& e : entries) {
            std::memcpy(p, e.key.data(), kl);
            fmt::PutBe32(p + kl, e.record);
            fmt::PutBe32(p + kl + 4, e.child);
            p += kl + 8;
        }
        return true;
    }
    if (EncodeLeaf(node, format, page, PackingOf(node, kl))) return true;
    return !node.entries.empty() && EncodeLeaf(node, format, page, PackingFor(entries, 0, entries.size(), kl));
}

}  // namespace engine::cdx
