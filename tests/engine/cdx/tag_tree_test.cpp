// Inserting a sorted batch of entries into a tag: merged into leaves run by run, the file must
// come out as inserting them one by one leaves it, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/cdx/index_file.h"
#include "engine/cdx/tag_tree.h"
#include "index_support.h"
#include "support/temp_dir.h"

namespace {

// Keys of the tag's kind among and beside those it holds: some equal to held keys, some new
// ones between them, with and without trailing fill bytes.
std::vector<engine::cdx::Entry> NewEntries(engine::cdx::IndexFile& file, uint32_t headerOffset,
                                           const engine::cdx::NodeFormat& format, size_t count, uint32_t seed) {
    std::vector<engine::cdx::Entry> held;
    engine::cdx::TagTree(file, headerOffset, format, "T").ForEach([&](const engine::cdx::Entry& e) {
        held.push_back(e);
        return true;
    });
    std::mt19937 rng(seed);
    std::vector<engine::cdx::Entry> entries;
    for (size_t i = 0; i < count; ++i) {
        std::string key = held.empty() ? std::string(format.keyLength, 'M') : held[rng() % held.size()].key;
        if (rng() % 3) {
            const size_t at = rng() % format.keyLength;
            key[at] = static_cast<char>(key[at] + 1 - static_cast<int>(rng() % 3));
            if (rng() % 4 == 0) std::fill(key.begin() + static_cast<std::ptrdiff_t>(at), key.end(), format.fill);
        }
        entries.push_back(engine::cdx::Entry{key, static_cast<uint32_t>(100000 + i), 0});
    }
    std::sort(entries.begin(), entries.end(), [](const engine::cdx::Entry& a, const engine::cdx::Entry& b) {
        return engine::cdx::CompareEntry(a.key, a.record, b.key, b.record) < 0;
    });
    return entries;
}

TEST(TagTree, SortedBatchMergedIntoLeavesWritesWhatOneByOneInsertsWrite) {
    testing_support::TempDir dir;
    index_testing::MakeIndexedTable(dir / "rows.dbf", 400, 11)->Close();
    struct Kind {
        const char* tag;
        uint8_t fill;
    };
    for (const Kind& kind : {Kind{"LASTNAME", ' '}, Kind{"NAME", ' '}, Kind{"PTNUM", 0}, Kind{"BIRTH", 0}}) {
        SCOPED_TRACE(kind.tag);
        for (size_t count : {1, 7, 60, 2500}) {
            SCOPED_TRACE(count);
            std::filesystem::copy_file(dir / "rows.cdx", dir / "one.cdx",
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::copy_file(dir / "rows.cdx", dir / "all.cdx",
                                       std::filesystem::copy_options::overwrite_existing);
            engine::cdx::IndexFile one(dir / "one.cdx", true), all(dir / "all.cdx", true);
            engine::cdx::TagHeader header;
            for (const auto& h : one.ReadTags())
                if (h.name == kind.tag) header = h;
            ASSERT_EQ(header.name, kind.tag);
            all.ReadTags();
            const engine::cdx::NodeFormat format{header.keyLength, kind.fill};
            const auto entries = NewEntries(one, header.headerOffset, format, count, static_cast<uint32_t>(count));
            one.BeginBatch();
            engine::cdx::TagTree byOne(one, header.headerOffset, format, kind.tag);
            for (const auto& e : entries) byOne.Insert(e.key, e.record);
            one.EndBatch();
            all.BeginBatch();
            engine::cdx::TagTree(all, header.headerOffset, format, kind.tag).InsertSorted(entries);
            all.EndBatch();
            engine::cdx::TagTree after(all, header.headerOffset, format, kind.tag);
            after.Verify();
            EXPECT_EQ(after.Records().size(), 400 + count);
            if (count > 1000) {  // leaves and interior nodes were split
                EXPECT_GT(std::filesystem::file_size(dir / "all.cdx"), std::filesystem::file_size(dir / "rows.cdx"));
            }
            EXPECT_TRUE(testing_support::ReadFile(dir / "one.cdx") == testing_support::ReadFile(dir / "all.cdx"));
        }
    }
}

}  // namespace
