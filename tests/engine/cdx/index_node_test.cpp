// Node encoding: every leaf and interior node Visual FoxPro wrote decodes and encodes back to
// the same bytes (so our compression and bit widths are VFP's), and damaged nodes raise errors.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/cdx/cdx_format.h"
#include "engine/cdx/cdx_node.h"
#include "engine/dbf/find_file.h"
#include "engine/dbf/format.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "support/requirements.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace engine::cdx;

std::string Hex(const uint8_t* p, size_t n) {
    std::string out;
    char b[4];
    for (size_t i = 0; i < n; ++i) {
        snprintf(b, sizeof b, "%02x ", p[i]);
        out += b;
    }
    return out;
}

// Walks a tag's tree, re-encoding every node and comparing the meaningful bytes.
void CheckTree(const std::string& file, const uint8_t* bytes, size_t size, uint32_t offset, const NodeFormat& format,
               int& nodes) {
    ASSERT_LE(offset + kPageSize, size);
    const uint8_t* page = bytes + offset;
    const Node node = DecodeNode(page, format, file, offset);
    uint8_t again[kPageSize];
    ASSERT_TRUE(EncodeNode(node, format, again));
    ++nodes;
    if (node.IsLeaf()) {
        const size_t info = node.entries.size() * page[kLeafInfoBytes];
        const size_t keysFrom = kLeafData + info + engine::dbf::fmt::Le16(page + kLeafFree);
        EXPECT_EQ(0, std::memcmp(page, again, kLeafData + info)) << file << " leaf at " << offset << "\n"
                                                                 << Hex(page, kLeafData + info) << "\n"
                                                                 << Hex(again, kLeafData + info);
        EXPECT_EQ(0, std::memcmp(page + keysFrom, again + keysFrom, kPageSize - keysFrom))
            << file << " leaf at " << offset;
        return;
    }
    const size_t used = kInteriorData + node.entries.size() * (format.keyLength + 8);
    EXPECT_EQ(0, std::memcmp(page, again, used)) << file << " node at " << offset;
    for (const Entry& e : node.entries) CheckTree(file, bytes, size, e.child, format, nodes);
}

TEST(IndexNodes, VisualFoxProNodesEncodeBackToTheSameBytes) {
    ARCHIVE_REQUIRE(testing_support::MissingVfpData());
    int nodes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(testing_support::SharedVfpData())) {
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".cdx" && ext != ".dcx") continue;
        const fs::path table = engine::FindFileNoCase(entry.path().parent_path(),
                                                      entry.path().stem().string() + (ext == ".dcx" ? ".dbc" : ".dbf"));
        const std::string bytes = testing_support::ReadFile(entry.path());
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        auto t = engine::Table::Open(table);
        const auto tags = t->IndexTags();
        // Tag header offsets come from the directory; walk each tree from its root.
        const Node dir = DecodeNode(data + 1024, NodeFormat{10, ' '}, "dir", 1024);
        ASSERT_EQ(dir.entries.size(), tags.size());
        for (const Entry& tag : dir.entries) {
            const uint8_t* h = data + tag.record;
            const size_t keyLength = engine::dbf::fmt::Le16(h + kHdrKeyLength);
            // Character keys drop blanks, others zeros; the expression decides, as the engine does.
            const auto tagSpec =
                std::find_if(tags.begin(), tags.end(), [&](const auto& s) { return tag.key.starts_with(s.name); });
            ASSERT_NE(tagSpec, tags.end());
            const bool numeric =
                t->Fields()[std::max(0, t->FieldIndex(tagSpec->expression))].type != 'C' &&
                t->FieldIndex(tagSpec->expression) >= 0 &&
                std::string("VC").find(t->Fields()[t->FieldIndex(tagSpec->expression)].type) == std::string::npos;
            CheckTree(entry.path().string(), data, bytes.size(), engine::dbf::fmt::Le32(h),
                      NodeFormat{keyLength, numeric ? uint8_t(0) : uint8_t(' ')}, nodes);
        }
    }
    EXPECT_GT(nodes, 150);
}

TEST(IndexNodes, LeavesRoundTripAndOverflowIsReported) {
    const NodeFormat format{12, ' '};
    Node leaf;
    leaf.attributes = kAttrLeaf | kAttrRoot;
    for (uint32_t i = 0; i < 40; ++i) {
        std::string key = "SMITH" + std::to_string(i * 7);
        key.resize(12, ' ');
        leaf.entries.push_back(Entry{key, 100000 + i, 0});
    }
    std::sort(leaf.entries.begin(), leaf.entries.end(),
              [](const Entry& a, const Entry& b) { return CompareEntry(a.key, a.record, b.key, b.record) < 0; });
    uint8_t page[kPageSize];
    ASSERT_TRUE(EncodeNode(leaf, format, page));
    const Node back = DecodeNode(page, format, "t.cdx", 1536);
    ASSERT_EQ(back.entries.size(), leaf.entries.size());
    for (size_t i = 0; i < back.entries.size(); ++i) {
        EXPECT_EQ(back.entries[i].key, leaf.entries[i].key);
        EXPECT_EQ(back.entries[i].record, leaf.entries[i].record);
    }
    for (uint32_t i = 0; i < 200; ++i) leaf.entries.push_back(Entry{std::string(12, char('a' + i % 26)), i, 0});
    EXPECT_FALSE(EncodeNode(leaf, format, page));
    // A count past the node, and bit widths that cannot be, are errors naming the file.
    ASSERT_TRUE(EncodeNode(back, format, page));
    engine::dbf::fmt::PutLe16(page + kNodeCount, 400);
    EXPECT_THROW(DecodeNode(page, format, "t.cdx", 1536), engine::Error);
    ASSERT_TRUE(EncodeNode(back, format, page));
    page[kLeafInfoBytes] = 0;
    try {
        DecodeNode(page, format, "t.cdx", 1536);
        ADD_FAILURE();
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), kCorruptIndex);
        EXPECT_NE(e.Description().find("t.cdx"), std::string::npos);
    }
}

TEST(IndexNodes, AnEmptyLeafIsReadWhateverItsBitWidthsSay) {
    const NodeFormat format{12, ' '};
    Node empty;
    empty.attributes = kAttrLeaf | kAttrRoot;
    uint8_t page[kPageSize];
    ASSERT_TRUE(EncodeNode(empty, format, page));
    page[kLeafRecBits] = 200;
    page[kLeafDupBits] = 67;
    page[kLeafTrailBits] = 255;
    page[kLeafInfoBytes] = 0;
    const Node back = DecodeNode(page, format, "t.cdx", 1536);
    EXPECT_TRUE(back.IsLeaf());
    EXPECT_TRUE(back.entries.empty());
    // With a key the same widths are an error.
    engine::dbf::fmt::PutLe16(page + kNodeCount, 1);
    EXPECT_THROW(DecodeNode(page, format, "t.cdx", 1536), engine::Error);
}

}  // namespace
