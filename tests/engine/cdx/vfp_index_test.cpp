// Reading the compound indexes Visual FoxPro wrote: every tag of every .cdx/.dcx in the shared
// test data, walked in order, must hold exactly the keys the engine computes from the rows,
// and the trees must be well formed. Where the Debian tool index_dump is installed, it must
// list the same keys in the same order.
#include <gtest/gtest.h>

#include "engine/dbf/find_file.h"
#include "engine/dbf/table.h"
#include "index_support.h"
#include "support/requirements.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Every test here reads the sample files in place.
class VfpIndexTest : public testing_support::NeedsVfpData {};

// (index file, its table) for every index in the shared data.
std::vector<std::pair<fs::path, fs::path>> IndexedTables() {
    std::vector<std::pair<fs::path, fs::path>> out;
    for (const auto& entry : fs::recursive_directory_iterator(testing_support::SharedVfpData())) {
        const std::string ext = Lower(entry.path().extension().string());
        if (ext != ".cdx" && ext != ".dcx") continue;
        const fs::path table = engine::FindFileNoCase(entry.path().parent_path(),
                                                      entry.path().stem().string() + (ext == ".dcx" ? ".dbc" : ".dbf"));
        if (!table.empty()) out.emplace_back(entry.path(), table);
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(VfpIndexTest, EveryTagHoldsTheKeysOfTheRowsInOrder) {
    const auto tables = IndexedTables();
    ASSERT_GE(tables.size(), 30u);
    size_t tags = 0, keys = 0;
    for (const auto& [index, path] : tables) {
        SCOPED_TRACE(path.string());
        auto table = engine::Table::Open(path);
        ASSERT_EQ(Lower(table->StructuralIndex().filename().string()), Lower(index.filename().string()));
        const auto specs = table->IndexTags();
        ASSERT_FALSE(specs.empty());
        table->VerifyIndex();
        for (size_t t = 0; t < specs.size(); ++t) {
            SCOPED_TRACE(specs[t].name + " = " + specs[t].expression);
            const auto stored = table->IndexEntries(t);
            EXPECT_EQ(stored, table->ExpectedIndexEntries(t));
            ++tags;
            keys += stored.size();
        }
    }
    EXPECT_GE(tags, 70u);
    EXPECT_GE(keys, 10000u);
}

TEST_F(VfpIndexTest, SeekEqualFindsRowsThroughTags) {
    const fs::path orders = engine::FindFileNoCase(testing_support::SharedVfpData() / "northwind", "orders.dbf");
    auto table = engine::Table::Open(orders);
    const int customer = table->FieldIndex("customerid");
    const int order = table->FieldIndex("orderid");
    auto found = table->SeekEqual(customer, engine::Value("VINET"));
    ASSERT_TRUE(found);
    EXPECT_FALSE(found->empty());
    for (uint32_t r : *found) EXPECT_EQ(table->ReadValue(r, customer), engine::Value("VINET"));
    size_t scanned = 0;
    for (uint32_t r = 0; r < table->RecordCount(); ++r)
        scanned += table->ReadValue(r, customer) == engine::Value("VINET");
    EXPECT_EQ(found->size(), scanned);
    const auto byId = table->SeekEqual(order, engine::Value(int64_t{10248}));
    ASSERT_TRUE(byId);
    ASSERT_EQ(byId->size(), 1u);
    EXPECT_EQ(table->ReadValue((*byId)[0], order), engine::Value(int64_t{10248}));
    EXPECT_EQ(table->SeekEqual(order, engine::Value(int64_t{1}))->size(), 0u);
    EXPECT_FALSE(table->SeekEqual(table->FieldIndex("freight"), engine::Value(1.0)));  // no tag on it
}

TEST_F(VfpIndexTest, IndexDumpListsTheSameRecordsInTheSameOrder) {
    ARCHIVE_REQUIRE(testing_support::MissingCommand("index_dump", "libdbd-xbase-perl"));
    size_t compared = 0;
    for (const auto& [index, path] : IndexedTables()) {
        auto table = engine::Table::Open(path);
        const auto specs = table->IndexTags();
        for (size_t t = 0; t < specs.size(); ++t) {
            SCOPED_TRACE(index.string() + " " + specs[t].name);
            std::vector<uint32_t> ours;
            for (const auto& e : table->IndexEntries(t)) ours.push_back(e.record + 1);
            EXPECT_EQ(index_testing::IndexDumpRecords(index, specs[t].name), ours) << index;
            ++compared;
        }
    }
    EXPECT_GE(compared, 70u);
}

}  // namespace
