#include "engine/cdx/tag_tree.h"

#include <algorithm>
#include <iterator>

#include "engine/error.h"

namespace engine::cdx {

namespace {

constexpr int kMaxDepth = 32;

// Runs a change of the tree; when it fails outside a batch, the nodes it changed in memory may
// not have reached the file, so the kept nodes are forgotten before the failure goes on.
template <typename Change>
void ForgetOnFailure(IndexFile& file, Change&& change) {
    try {
        change();
    } catch (...) {
        if (!file.InBatch()) file.Forget();
        throw;
    }
}

bool Less(const Entry& e, const std::string& key, uint32_t record) {
    return CompareEntry(e.key, e.record, key, record) < 0;
}

// The first position whose entry is not less than (key, record).
size_t LowerBound(const std::vector<Entry>& entries, const std::string& key, uint32_t record) {
    return std::lower_bound(entries.begin(), entries.end(), 0,
                            [&](const Entry& e, int) { return Less(e, key, record); }) -
           entries.begin();
}

// The bytes a leaf's entries take when encoded, measured once and then kept up to date by
// AddedToLeaf; the same as LeafBytes over all of them.
size_t LeafSize(Node& leaf, const NodeFormat& format) {
    if (leaf.storedKeyBytes < 0) {
        int64_t stored = 0;
        uint32_t maxRecord = 0;
        const auto& e = leaf.entries;
        for (size_t i = 0; i < e.size(); ++i) {
            stored += static_cast<int64_t>(StoredKeyBytes(i ? &e[i - 1].key : nullptr, e[i].key, format));
            maxRecord = std::max(maxRecord, e[i].record);
        }
        leaf.storedKeyBytes = stored;
        leaf.maxRecord = maxRecord;
    }
    return leaf.entries.size() * InfoEntryBytes(leaf.maxRecord, format.keyLength) +
           static_cast<size_t>(leaf.storedKeyBytes);
}

// Keeps a measured leaf's size right after an entry was inserted at position i: the new key
// is stored after its predecessor, and its successor is now stored after it.
void AddedToLeaf(Node& leaf, size_t i, const NodeFormat& format) {
    if (leaf.storedKeyBytes < 0) return;
    const auto& e = leaf.entries;
    const std::string* previous = i ? &e[i - 1].key : nullptr;
    int64_t delta = static_cast<int64_t>(StoredKeyBytes(previous, e[i].key, format));
    if (i + 1 < e.size())
        delta += static_cast<int64_t>(StoredKeyBytes(&e[i].key, e[i + 1].key, format)) -
                 static_cast<int64_t>(StoredKeyBytes(previous, e[i + 1].key, format));
    leaf.storedKeyBytes += delta;
    leaf.maxRecord = std::max(leaf.maxRecord, e[i].record);
}

// Where to split an overfull node: the right part gets entries [at, end). Appending at the end
// of the last node leaves the left part full, so keys added in order pack their nodes tightly.
size_t SplitPoint(const Node& node, const NodeFormat& format, bool appendedAtEnd) {
    const auto& e = node.entries;
    auto leftFits = [&](size_t at) {
        return node.IsLeaf() ? LeafBytes(e, 0, at, format) <= kLeafSpace : at <= InteriorCapacity(format.keyLength);
    };
    auto rightFits = [&](size_t at) {
        return node.IsLeaf() ? LeafBytes(e, at, e.size(), format) <= kLeafSpace
                             : e.size() - at <= InteriorCapacity(format.keyLength);
    };
    if (appendedAtEnd && leftFits(e.size() - 1)) return e.size() - 1;
    const size_t mid = e.size() / 2;
    for (size_t d = 0; d < e.size(); ++d) {
        for (size_t at : {mid + d, mid - std::min(mid, d)}) {
            if (at >= 1 && at < e.size() && leftFits(at) && rightFits(at)) return at;
        }
    }
    return mid;
}

}  // namespace

void TagTree::Corrupt(const std::string& what) const { m_file.Corrupt("tag " + m_tag + " " + what); }

bool TagTree::Fits(Node& node) const {
    if (node.IsLeaf()) return LeafSize(node, m_format) <= kLeafSpace;
    return node.entries.size() <= InteriorCapacity(m_format.keyLength);
}

std::vector<TagTree::Step> TagTree::Descend(const std::string& key, uint32_t record) {
    std::vector<Step> path;
    uint32_t offset = m_file.ReadRoot(m_header);
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) Corrupt("is deeper than any valid tree");
        const Node& node = m_file.NodeAt(offset, m_format);
        size_t i = LowerBound(node.entries, key, record);
        if (node.IsLeaf()) {
            path.push_back({offset, i});
            return path;
        }
        if (node.entries.empty()) Corrupt("has an interior node without keys at offset " + std::to_string(offset));
        if (i == node.entries.size()) i = node.entries.size() - 1;
        path.push_back({offset, i});
        offset = node.entries[i].child;
    }
}

void TagTree::ForEach(const std::function<bool(const Entry&)>& fn) {
    uint32_t offset = m_file.ReadRoot(m_header);
    Node node;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) Corrupt("is deeper than any valid tree");
        node = m_file.ReadNode(offset, m_format);
        if (node.IsLeaf()) break;
        if (node.entries.empty()) Corrupt("has an interior node without keys at offset " + std::to_string(offset));
        offset = node.entries.front().child;
    }
    for (uint64_t visited = 0;; ++visited) {
        if (visited > m_file.KnownPages()) Corrupt("has a loop in its leaf chain");
        for (const Entry& e : node.entries) {
            if (!fn(e)) return;
        }
        if (node.right == kNone) return;
        offset = node.right;
        node = m_file.ReadNode(offset, m_format);
        if (!node.IsLeaf()) Corrupt("links a leaf to an interior node at offset " + std::to_string(offset));
    }
}

const Node& TagTree::LeafFor(const std::string& key, uint32_t record, size_t& index) {
    uint32_t offset = m_file.ReadRoot(m_header);
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) Corrupt("is deeper than any valid tree");
        const Node& node = m_file.NodeAt(offset, m_format);
        size_t i = LowerBound(node.entries, key, record);
        if (node.IsLeaf()) {
            index = i;
            return node;
        }
        if (node.entries.empty()) Corrupt("has an interior node without keys at offset " + std::to_string(offset));
        if (i == node.entries.size()) i = node.entries.size() - 1;
        offset = node.entries[i].child;
    }
}

std::vector<uint32_t> TagTree::FindEqual(const std::string& key) {
    size_t i = 0;
    const Node* node = &LeafFor(key, 0, i);
    std::vector<uint32_t> found;
    for (uint64_t visited = 0;; ++visited) {
        if (visited > m_file.KnownPages()) Corrupt("has a loop in its leaf chain");
        for (; i < node->entries.size(); ++i) {
            if (node->entries[i].key != key) return found;
            found.push_back(node->entries[i].record);
        }
        if (node->right == kNone) return found;
        node = &m_file.NodeAt(node->right, m_format);
        i = 0;
    }
}

bool TagTree::Contains(const std::string& key, uint32_t record) {
    size_t i = 0;
    const Node& leaf = LeafFor(key, record, i);
    return i < leaf.entries.size() && leaf.entries[i].key == key && leaf.entries[i].record == record;
}

void TagTree::Relink(uint32_t offset, bool leftSide, uint32_t value) {
    if (offset == kNone) return;
    Node& n = m_file.NodeForChange(offset, m_format);
    (leftSide ? n.left : n.right) = value;
    m_file.WriteNode(offset, n, m_format);
}

void TagTree::Insert(const std::string& key, uint32_t record) {
    if (key.size() != m_format.keyLength) Corrupt("was given a key of the wrong length");
    ForgetOnFailure(m_file, [&] { InsertEntry(key, record); });
}

void TagTree::InsertSorted(const std::vector<Entry>& entries) {
    for (const Entry& e : entries)
        if (e.key.size() != m_format.keyLength) Corrupt("was given a key of the wrong length");
    ForgetOnFailure(m_file, [&] {
        for (size_t at = 0; at < entries.size();) at = InsertRun(entries, at);
    });
}

size_t TagTree::InsertRun(const std::vector<Entry>& entries, size_t from) {
    const std::vector<Step> path = Descend(entries[from].key, entries[from].record);
    // Entries past the parent key of the leaf on some level belong to a later leaf; on a level
    // where the leaf's way takes the last child, every greater entry comes this way.
    bool bounded = false;
    Entry bound;
    for (size_t level = 0; level + 1 < path.size(); ++level) {
        const Node& node = m_file.NodeAt(path[level].offset, m_format);
        if (path[level].index + 1 >= node.entries.size()) continue;
        const Entry& e = node.entries[path[level].index];
        if (!bounded || CompareEntry(e.key, e.record, bound.key, bound.record) < 0) bound = e;
        bounded = true;
    }
    Node& leaf = m_file.NodeForChange(path.back().offset, m_format);
    const std::vector<Entry>& old = leaf.entries;
    // The leaf's size after each insertion as one-by-one insertion would measure it: the new
    // entry is stored after its predecessor (an old entry or the previous new one) and its
    // successor (always an old entry: later new ones are greater) after it.
    LeafSize(leaf, m_format);
    int64_t stored = leaf.storedKeyBytes;
    uint32_t maxRecord = leaf.maxRecord;
    size_t count = old.size();
    size_t oldPos = path.back().index;
    size_t previousPos = 0;
    size_t end = from;
    for (; end < entries.size(); ++end) {
        const Entry& e = entries[end];
        if (end > from) {
            if (bounded && CompareEntry(e.key, e.record, bound.key, bound.record) > 0) break;
            oldPos = std::lower_bound(old.begin() + static_cast<std::ptrdiff_t>(oldPos), old.end(), 0,
                                      [&](const Entry& o, int) { return Less(o, e.key, e.record); }) -
                     old.begin();
        }
        const std::string* previous = end > from && previousPos == oldPos ? &entries[end - 1].key
                                      : oldPos > 0                        ? &old[oldPos - 1].key
                                                                          : nullptr;
        int64_t delta = static_cast<int64_t>(StoredKeyBytes(previous, e.key, m_format));
        if (oldPos < old.size())
            delta += static_cast<int64_t>(StoredKeyBytes(&e.key, old[oldPos].key, m_format)) -
                     static_cast<int64_t>(StoredKeyBytes(previous, old[oldPos].key, m_format));
        const uint32_t max = std::max(maxRecord, e.record);
        if ((count + 1) * InfoEntryBytes(max, m_format.keyLength) + static_cast<size_t>(stored + delta) > kLeafSpace)
            break;  // this one splits the leaf: inserted on its own
        stored += delta;
        maxRecord = max;
        ++count;
        previousPos = oldPos;
    }
    if (end == from) {
        InsertEntry(entries[from].key, entries[from].record);
        return from + 1;
    }
    // Merge the run into the leaf in one pass: what inserting them one by one leaves, as no
    // insertion of the run overflows the leaf.
    std::vector<Entry> merged;
    merged.reserve(count + count / 4);
    size_t o = 0;
    for (size_t n = from; n < end; ++n) {
        const Entry& e = entries[n];
        while (o < leaf.entries.size() && Less(leaf.entries[o], e.key, e.record))
            merged.push_back(std::move(leaf.entries[o++]));
        merged.push_back(Entry{e.key, e.record, 0});
    }
    for (; o < leaf.entries.size(); ++o) merged.push_back(std::move(leaf.entries[o]));
    leaf.entries = std::move(merged);
    leaf.storedKeyBytes = stored;
    leaf.maxRecord = maxRecord;
    Propagate(path, false);
    return end;
}

void TagTree::InsertEntry(const std::string& key, uint32_t record) {
    const std::vector<Step> path = Descend(key, record);
    bool atEnd = false;
    {
        const Step& step = path.back();
        Node& leaf = m_file.NodeForChange(step.offset, m_format);
        leaf.entries.insert(leaf.entries.begin() + step.index, Entry{key, record, 0});
        AddedToLeaf(leaf, step.index, m_format);
        atEnd = step.index + 1 == leaf.entries.size();
    }
    Propagate(path, atEnd);
}

void TagTree::Propagate(const std::vector<Step>& path, bool atEnd) {
    Entry split;  // the new right sibling made at the level below: its greatest entry and page
    bool haveSplit = false;
    // The greatest entry of the changed child after the change, in that child as kept.
    const Entry* childMax = nullptr;
    for (size_t level = path.size(); level-- > 0;) {
        const Step& step = path[level];
        Node& node = m_file.NodeForChange(step.offset, m_format);
        if (level + 1 < path.size()) {
            Entry& e = node.entries[step.index];
            if (!haveSplit && e.key == childMax->key && e.record == childMax->record) return;  // nothing above changes
            e.key = childMax->key;
            e.record = childMax->record;
            if (haveSplit) node.entries.insert(node.entries.begin() + step.index + 1, split);
            atEnd = atEnd && step.index + 1 + (haveSplit ? 1 : 0) == node.entries.size();
        }
        haveSplit = false;
        if (Fits(node)) {
            m_file.WriteNode(step.offset, node, m_format);
            childMax = &node.entries.back();
            continue;
        }
        const size_t at = SplitPoint(node, m_format, atEnd && node.right == kNone);
        const uint32_t newOffset = m_file.AllocatePage();
        Node right;
        right.attributes = node.attributes & ~kAttrRoot;
        right.entries.assign(std::make_move_iterator(node.entries.begin() + at),
                             std::make_move_iterator(node.entries.end()));
        node.entries.resize(at);
        node.storedKeyBytes = -1;
        right.left = step.offset;
        right.right = node.right;
        node.right = newOffset;
        const bool wasRoot = node.IsRoot();
        node.attributes &= ~kAttrRoot;
        split = Entry{right.entries.back().key, right.entries.back().record, newOffset};
        const uint32_t afterRight = right.right;
        m_file.WriteNode(newOffset, std::move(right), m_format);
        m_file.WriteNode(step.offset, node, m_format);
        Relink(afterRight, true, newOffset);
        childMax = &node.entries.back();
        haveSplit = true;
        if (wasRoot) {
            Node root;
            root.attributes = kAttrRoot;
            root.entries = {Entry{childMax->key, childMax->record, step.offset}, split};
            const uint32_t rootOffset = m_file.AllocatePage();
            m_file.WriteNode(rootOffset, std::move(root), m_format);
            m_file.WriteRoot(m_header, rootOffset);
        }
    }
}

void TagTree::Remove(const std::string& key, uint32_t record) {
    ForgetOnFailure(m_file, [&] { RemoveEntry(key, record); });
}

void TagTree::RemoveEntry(const std::string& key, uint32_t record) {
    const std::vector<Step> path = Descend(key, record);
    {
        const Step& step = path.back();
        Node& leaf = m_file.NodeForChange(step.offset, m_format);
        auto& entries = leaf.entries;
        if (step.index >= entries.size() || entries[step.index].key != key || entries[step.index].record != record)
            Corrupt("has no entry for record " + std::to_string(record));
        entries.erase(entries.begin() + step.index);
        leaf.storedKeyBytes = -1;
    }
    bool removedChild = false;
    Entry childMax;
    for (size_t level = path.size(); level-- > 0;) {
        const Step& step = path[level];
        Node& node = m_file.NodeForChange(step.offset, m_format);
        if (level + 1 < path.size()) {
            if (removedChild) {
                node.entries.erase(node.entries.begin() + step.index);
            } else {
                Entry& e = node.entries[step.index];
                if (e.key == childMax.key && e.record == childMax.record) return;  // nothing above changes
                e.key = childMax.key;
                e.record = childMax.record;
            }
        }
        removedChild = false;
        if (node.entries.empty() && !node.IsRoot()) {
            // Unlink the empty node; its page stays unused until the index is rebuilt.
            Relink(node.left, false, node.right);
            Relink(node.right, true, node.left);
            removedChild = true;
            continue;
        }
        if (node.entries.empty()) node.attributes = kAttrRoot | kAttrLeaf;
        m_file.WriteNode(step.offset, node, m_format);
        if (node.entries.empty()) return;
        childMax = node.entries.back();
    }
}

void TagTree::Verify() {
    struct Level {
        uint32_t lastOffset = kNone;
    };
    std::vector<Level> levels(kMaxDepth + 1);
    bool havePrevious = false;
    Entry previous;
    int leafDepth = -1;
    const uint64_t pages = m_file.File().Size() / kPageSize;
    uint64_t visited = 0;
    // Returns the greatest entry of the subtree.
    std::function<Entry(uint32_t, int)> walk = [&](uint32_t offset, int depth) -> Entry {
        if (depth > kMaxDepth || ++visited > pages) Corrupt("is deeper than any valid tree");
        const Node node = m_file.ReadNode(offset, m_format);
        if (node.IsRoot() != (depth == 0)) Corrupt("has a wrong root mark at offset " + std::to_string(offset));
        if (node.left != levels[depth].lastOffset)
            Corrupt("has a broken sibling chain at offset " + std::to_string(offset));
        if (levels[depth].lastOffset != kNone) {
            const Node before = m_file.ReadNode(levels[depth].lastOffset, m_format);
            if (before.right != offset) Corrupt("has a broken sibling chain at offset " + std::to_string(offset));
        }
        levels[depth].lastOffset = offset;
        if (node.IsLeaf()) {
            if (leafDepth >= 0 && leafDepth != depth) Corrupt("has leaves at different depths");
            leafDepth = depth;
            for (const Entry& e : node.entries) {
                if (havePrevious && CompareEntry(previous.key, previous.record, e.key, e.record) >= 0)
                    Corrupt("has keys out of order at offset " + std::to_string(offset));
                previous = e;
                havePrevious = true;
            }
            if (node.entries.empty() && depth > 0) Corrupt("has an empty leaf at offset " + std::to_string(offset));
            return node.entries.empty() ? Entry{} : node.entries.back();
        }
        if (node.entries.empty()) Corrupt("has an interior node without keys at offset " + std::to_string(offset));
        Entry last;
        for (const Entry& e : node.entries) {
            last = walk(e.child, depth + 1);
            if (last.key != e.key || last.record != e.record)
                Corrupt("has a parent key that is not its child's greatest at offset " + std::to_string(offset));
        }
        return last;
    };
    walk(m_file.ReadRoot(m_header), 0);
    for (const Level& l : levels) {
        if (l.lastOffset == kNone) continue;
        if (m_file.ReadNode(l.lastOffset, m_format).right != kNone) Corrupt("has a broken sibling chain at its end");
    }
}

std::vector<uint32_t> TagTree::Records() {
    uint32_t offset = m_file.ReadRoot(m_header);
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) Corrupt("is deeper than any valid tree");
        const Node& node = m_file.NodeAt(offset, m_format);
        if (node.IsLeaf()) break;
        if (node.entries.empty()) Corrupt("has an interior node without keys at offset " + std::to_string(offset));
        offset = node.entries.front().child;
    }
    // Only one node is looked at at a time: a reference is good until the next read.
    std::vector<uint32_t> records;
    for (uint64_t visited = 0;; ++visited) {
        if (visited > m_file.KnownPages()) Corrupt("has a loop in its leaf chain");
        const Node& node = m_file.NodeAt(offset, m_format);
        if (!node.IsLeaf()) Corrupt("links a leaf to an interior node at offset " + std::to_string(offset));
        for (const Entry& e : node.entries) records.push_back(e.record);
        if (node.right == kNone) return records;
        offset = node.right;
    }
}

uint32_t AppendTree(std::vector<uint8_t>& image, const std::vector<Entry>& entries, const NodeFormat& format) {
    auto place = [&](std::vector<Node>& nodes) {
        std::vector<uint32_t> offsets;
        for (size_t i = 0; i < nodes.size(); ++i)
            offsets.push_back(static_cast<uint32_t>(image.size() + i * kPageSize));
        for (size_t i = 0; i < nodes.size(); ++i) {
            nodes[i].left = i ? offsets[i - 1] : kNone;
            nodes[i].right = i + 1 < nodes.size() ? offsets[i + 1] : kNone;
        }
        if (nodes.size() == 1) nodes[0].attributes |= kAttrRoot;
        const size_t at = image.size();
        image.resize(at + nodes.size() * kPageSize);
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (!EncodeNode(nodes[i], format, image.data() + at + i * kPageSize))
                throw Error(kCorruptIndex, "Index node overflow while building.");
        }
        return offsets;
    };
    // Leaves, filled greedily.
    std::vector<Node> level;
    size_t first = 0;
    while (first < entries.size() || level.empty()) {
        Node leaf;
        leaf.attributes = kAttrLeaf;
        size_t last = first, stored = 0;
        uint32_t maxRecord = 1;
        while (last < entries.size()) {
            const size_t more =
                StoredKeyBytes(last > first ? &entries[last - 1].key : nullptr, entries[last].key, format);
            const uint32_t max = std::max(maxRecord, entries[last].record);
            if ((last - first + 1) * InfoEntryBytes(max, format.keyLength) + stored + more > kLeafSpace) break;
            stored += more;
            maxRecord = max;
            ++last;
        }
        leaf.entries.assign(entries.begin() + first, entries.begin() + last);
        level.push_back(std::move(leaf));
        first = last;
        if (entries.empty()) break;
    }
    std::vector<uint32_t> offsets = place(level);
    const size_t capacity = InteriorCapacity(format.keyLength);
    while (level.size() > 1) {
        std::vector<Node> upper;
        for (size_t i = 0; i < level.size(); i += capacity) {
            Node n;
            for (size_t j = i; j < std::min(level.size(), i + capacity); ++j) {
                const Entry& max = level[j].entries.back();
                n.entries.push_back(Entry{max.key, max.record, offsets[j]});
            }
            upper.push_back(std::move(n));
        }
        level = std::move(upper);
        offsets = place(level);
    }
    return offsets.front();
}

}  // namespace engine::cdx
