// Keeping structural indexes right: thousands of random appends, overwrites, deletion marks and
// packs on generated tables and on copies of Visual FoxPro's own, each tag compared with the
// keys of the rows; a pack's index equal byte for byte to a fresh rebuild; lookups through tags
// equal to a scan; refusals that change nothing; index_dump reading what we wrote.
#include <gtest/gtest.h>

#include "engine/cdx/cdx_format.h"
#include "engine/cdx/index_marker.h"
#include "engine/dbf/find_file.h"
#include "engine/error.h"
#include "index_support.h"
#include "support/requirements.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using index_testing::ExpectIndexMatchesRows;

TEST(IndexMaintenance, RandomChangesKeepEveryTagEqualToTheRows) {
    testing_support::TempDir dir;
    auto table = index_testing::MakeIndexedTable(dir / "patients.dbf", 300, 7);
    ExpectIndexMatchesRows(*table);
    std::mt19937 rng(11);
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 500; ++i) index_testing::RandomChange(*table, rng, true);
        ExpectIndexMatchesRows(*table);
        if (HasFailure()) return;
    }
    EXPECT_GT(table->RecordCount(), 1500u);
    const fs::path cdx = table->StructuralIndex();
    if (index_testing::HaveIndexDump()) {
        const auto tags = table->IndexTags();
        for (size_t t = 0; t < tags.size(); ++t) {
            std::vector<uint32_t> ours;
            for (const auto& e : table->IndexEntries(t)) ours.push_back(e.record + 1);
            EXPECT_EQ(index_testing::IndexDumpRecords(cdx, tags[t].name), ours) << tags[t].name;
        }
    }
    // Pack rebuilds the index: the result is byte for byte what REINDEX writes.
    table->Pack();
    ExpectIndexMatchesRows(*table);
    const std::string packed = testing_support::ReadFile(cdx);
    table->Reindex();
    EXPECT_EQ(testing_support::ReadFile(cdx), packed);
    table->Close();
    EXPECT_FALSE(engine::cdx::MarkerExists(dir / "patients.dbf"));
}

// Copies of Visual FoxPro's indexed tables, changed at random through the engine.
TEST(IndexMaintenance, RandomChangesOnCopiesOfVisualFoxProTables) {
    ARCHIVE_REQUIRE(testing_support::MissingVfpData());
    const fs::path data = testing_support::SharedVfpData();
    for (const char* name :
         {"northwind/orders", "northwind/customers", "northwind/orderdetails", "northwind/employees",
          "xsource-time-billing/foxref_ref", "expenses/expense reports", "foxpro-db-test/contacts"}) {
        SCOPED_TRACE(name);
        testing_support::TempDir dir;
        const fs::path folder = data / fs::path(name).parent_path();
        const std::string stem = fs::path(name).filename().string();
        fs::path copy;
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string file = entry.path().filename().string();
            std::string lower = file;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const bool own = lower.rfind(stem + ".", 0) == 0;
            const bool container = lower.ends_with(".dbc") || lower.ends_with(".dct") || lower.ends_with(".dcx");
            if (!own && !container) continue;
            fs::copy_file(entry.path(), dir / file);
            fs::permissions(dir / file, fs::perms::owner_write, fs::perm_options::add);
            if (own && lower.ends_with(".dbf")) copy = dir / file;
        }
        auto table = engine::Table::Open(copy, engine::OpenMode::Exclusive);
        ExpectIndexMatchesRows(*table);
        std::mt19937 rng(3);
        for (int i = 0; i < 600; ++i) {
            // Rows like the table's own, with one field changed, so candidate keys rarely clash.
            const uint32_t count = table->RecordCount();
            if (count == 0) break;
            auto values = table->ReadRecord(rng() % count).values;
            for (size_t f = 0; f < values.size(); ++f) {
                const auto& field = table->Fields()[f];
                if (field.autoIncrement || field.IsMemo()) continue;
                if (field.type == 'I' && rng() % 2) values[f] = engine::Value(int64_t(100000 + rng() % 1000000));
                if ((field.type == 'C' || field.type == 'V') && rng() % 3 == 0) {
                    std::string s(std::min(field.length, 5), 'A');
                    for (char& c : s) c = static_cast<char>('A' + rng() % 26);
                    values[f] = engine::Value(s);
                }
                if (field.nullable && rng() % 10 == 0) values[f] = engine::Value();
            }
            try {
                const unsigned pick = rng() % 100;
                if (pick < 55) table->Append(values);
                else if (pick < 80) table->Overwrite(rng() % count, values);
                else if (pick < 99) table->SetDeleted(rng() % count, rng() % 3 == 0);
                else table->Pack();
            } catch (const engine::Error& e) {
                ASSERT_EQ(e.Number(), engine::cdx::kUniqueViolated) << e.Description();
            }
        }
        ExpectIndexMatchesRows(*table);
        if (index_testing::HaveIndexDump()) {
            const auto tags = table->IndexTags();
            for (size_t t = 0; t < tags.size(); ++t) {
                std::vector<uint32_t> ours;
                for (const auto& e : table->IndexEntries(t)) ours.push_back(e.record + 1);
                EXPECT_EQ(index_testing::IndexDumpRecords(table->StructuralIndex(), tags[t].name), ours)
                    << tags[t].name;
            }
        }
    }
}

TEST(IndexMaintenance, SeekEqualAgreesWithAScan) {
    testing_support::TempDir dir;
    auto table = index_testing::MakeIndexedTable(dir / "p.dbf", 2000, 5);
    const int last = table->FieldIndex("LASTNAME"), birth = table->FieldIndex("BIRTH"),
              num = table->FieldIndex("PTNUM");
    std::mt19937 rng(2);
    for (int i = 0; i < 40; ++i) {
        const uint32_t r = rng() % table->RecordCount();
        for (int field : {last, birth, num}) {
            const engine::Value v = table->ReadValue(r, field);
            const auto found = table->SeekEqual(field, v);
            ASSERT_TRUE(found) << field;
            std::vector<uint32_t> matches;
            for (uint32_t k : *found) {
                if (table->ReadValue(k, field) == v) matches.push_back(k);
            }
            std::vector<uint32_t> scanned;
            for (uint32_t k = 0; k < table->RecordCount(); ++k) {
                if (table->ReadValue(k, field) == v) scanned.push_back(k);
            }
            EXPECT_EQ(matches, scanned);
        }
    }
    // The case-folded LASTNAME tag gives candidates of any case; trailing blanks do not matter.
    const std::string name = table->ReadValue(0, last).As<std::string>();
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto folded = table->SeekEqual(last, engine::Value(lower.substr(0, lower.find_last_not_of(' ') + 1)));
    ASSERT_TRUE(folded);
    EXPECT_NE(std::find(folded->begin(), folded->end(), 0u), folded->end());
    EXPECT_TRUE(table->SeekEqual(num, engine::Value())->empty());                        // null equals nothing
    EXPECT_TRUE(table->SeekEqual(num, engine::Value(2.5))->empty());                     // no integer is 2.5
    EXPECT_FALSE(table->SeekEqual(num, engine::Value("12")));                            // wrong family: scan
    EXPECT_FALSE(table->SeekEqual(table->FieldIndex("FIRSTNAME"), engine::Value("x")));  // no tag
}

TEST(IndexMaintenance, RefusedWritesChangeNothing) {
    testing_support::TempDir dir;
    auto table = index_testing::MakeIndexedTable(dir / "p.dbf", 50, 1);
    const fs::path dbf = dir / "p.dbf", cdx = table->StructuralIndex();
    auto row = table->ReadRecord(3).values;
    const std::string dbfBefore = testing_support::ReadFile(dbf), cdxBefore = testing_support::ReadFile(cdx);
    try {
        table->Append(row);  // PTNUM is a candidate key and row 3 has it already
        ADD_FAILURE() << "duplicate candidate key was accepted";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::cdx::kUniqueViolated);
        EXPECT_NE(e.Description().find("PTNUM"), std::string::npos);
    }
    EXPECT_THROW(table->Overwrite(4, row), engine::Error);
    EXPECT_EQ(testing_support::ReadFile(dbf), dbfBefore);
    EXPECT_EQ(testing_support::ReadFile(cdx), cdxBefore);
    table->Overwrite(3, row);  // the record keeps its own key
    ExpectIndexMatchesRows(*table);
}

TEST(IndexMaintenance, ATagTheEngineCannotEvaluateKeepsWritesRefused) {
    testing_support::TempDir dir;
    { auto table = index_testing::MakeIndexedTable(dir / "p.dbf", 20, 1); }
    // Rename a function inside a tag's key expression to one that does not exist.
    std::string bytes = testing_support::ReadFile(dir / "p.cdx");
    const size_t at = bytes.find("DTOS(birth)");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, "DTOX");
    testing_support::WriteFile(dir / "p.cdx", bytes);
    auto table = engine::Table::Open(dir / "p.dbf");
    EXPECT_EQ(table->ReadRecord(0).values.size(), table->Fields().size());  // reading still works
    const std::string before = testing_support::ReadFile(dir / "p.dbf");
    for (int attempt = 0; attempt < 3; ++attempt) {
        try {
            if (attempt == 0) table->Append({});
            if (attempt == 1) table->Overwrite(0, table->ReadRecord(0).values);
            if (attempt == 2) table->Pack();
            ADD_FAILURE() << "write was not refused";
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.Number(), engine::err::kIndexNotMaintained);
            EXPECT_NE(e.Description().find("BIRTHNAME"), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find("DTOX(birth)+lastname"), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find("p.cdx"), std::string::npos) << e.Description();
        }
    }
    EXPECT_EQ(testing_support::ReadFile(dir / "p.dbf"), before);
    EXPECT_TRUE(table->SeekEqual(0, engine::Value(int64_t{3})));  // other tags still answer lookups
}

TEST(IndexMaintenance, AnIndexOfATableChangedByAnotherProgramIsRebuiltAtOpen) {
    testing_support::TempDir dir;
    { auto table = index_testing::MakeIndexedTable(dir / "p.dbf", 40, 1); }
    // Append a row as a program would that does not know the index: record count and bytes only.
    {
        auto table = engine::Table::Open(dir / "p.dbf");
        const std::string cdx = testing_support::ReadFile(dir / "p.cdx");
        table->Append({engine::Value(int64_t{99999})});
        table->Close();
        testing_support::WriteFile(dir / "p.cdx", cdx);
    }
    auto table = engine::Table::Open(dir / "p.dbf");
    ExpectIndexMatchesRows(*table);
    EXPECT_EQ(table->SeekEqual(0, engine::Value(int64_t{99999}))->size(), 1u);
}

}  // namespace

namespace {

// Rows appended together (one hold of the write lock, each index page read and written once)
// and marks set together leave every tag equal to the rows; a taken candidate key part way
// keeps the rows before it, with their keys, and refuses the rest.
TEST(IndexMaintenance, RowsAppendedAndMarkedTogetherKeepEveryTagEqualToTheRows) {
    testing_support::TempDir dir;
    auto table = index_testing::MakeIndexedTable(dir / "patients.dbf", 200, 5, engine::OpenMode::Shared);
    const int key = table->FieldIndex("PTNUM");
    ASSERT_GE(key, 0);
    std::vector<std::vector<engine::Value>> rows;
    for (uint32_t i = 0; i < 600; ++i) {
        auto values = table->ReadRecord(i % 200).values;
        values[key] = engine::Value(int64_t(5000000 + i));
        rows.push_back(std::move(values));
    }
    EXPECT_EQ(table->AppendMany(rows), 200u);
    EXPECT_EQ(table->RecordCount(), 800u);
    ExpectIndexMatchesRows(*table);

    std::vector<uint32_t> marks;
    for (uint32_t r = 0; r < 800; r += 3) marks.push_back(r);
    table->SetDeleted(marks, true);
    ExpectIndexMatchesRows(*table);

    // The fourth row takes the key of a live row (record 211).
    std::vector<std::vector<engine::Value>> more(rows.begin(), rows.begin() + 6);
    for (size_t i = 0; i < more.size(); ++i) more[i][key] = engine::Value(int64_t(7000000 + i));
    more[3][key] = rows[11][key];
    size_t appended = 99;
    try {
        table->AppendMany(more, &appended);
        ADD_FAILURE() << "a taken candidate key was appended";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::cdx::kUniqueViolated) << e.Description();
    }
    EXPECT_EQ(appended, 3u);
    EXPECT_EQ(table->RecordCount(), 803u);
    ExpectIndexMatchesRows(*table);
    table->Close();
    auto reopened = engine::Table::Open(dir / "patients.dbf", engine::OpenMode::Shared);
    EXPECT_EQ(reopened->RecordCount(), 803u);
    ExpectIndexMatchesRows(*reopened);
}

}  // namespace

namespace {

// Rows appended together put their keys into the tags sorted, in memory; the result must be
// the index that appending them one by one gives, whatever order the rows come in: the same
// entries in every tag, the same lookups, a sound tree, and what index_dump reads of it.
TEST(IndexMaintenance, RowsAppendedTogetherInAnyKeyOrderIndexAsRowsAppendedOneByOne) {
    for (const char* order : {"descending", "random"}) {
        SCOPED_TRACE(order);
        testing_support::TempDir dir;
        auto single = index_testing::MakeIndexedTable(dir / "single.dbf", 150, 9);
        auto together = index_testing::MakeIndexedTable(dir / "together.dbf", 150, 9);
        const int key = single->FieldIndex("PTNUM");
        const int last = single->FieldIndex("LASTNAME");
        ASSERT_GE(key, 0);
        ASSERT_GE(last, 0);
        // Enough rows to split leaves and interior nodes; names repeat so equal keys meet.
        std::vector<std::vector<engine::Value>> rows;
        for (uint32_t i = 0; i < 1500; ++i) {
            auto values = single->ReadRecord(i % 150).values;
            values[key] = engine::Value(int64_t(3000000 + i * 7));
            rows.push_back(std::move(values));
        }
        if (std::string(order) == "descending") {
            std::reverse(rows.begin(), rows.end());
        } else {
            std::mt19937 rng(4);
            std::shuffle(rows.begin(), rows.end(), rng);
        }
        for (const auto& values : rows) single->Append(values);
        // In runs of several sizes, as a caller hands them over.
        for (size_t at = 0, run = 1; at < rows.size(); at += run, run = run * 3 + 1) {
            const size_t end = std::min(rows.size(), at + run);
            together->AppendMany({rows.begin() + at, rows.begin() + end});
        }
        ASSERT_EQ(single->RecordCount(), together->RecordCount());
        ExpectIndexMatchesRows(*together);
        together->VerifyIndex();
        const auto tags = together->IndexTags();
        for (size_t t = 0; t < tags.size(); ++t)
            EXPECT_EQ(together->IndexEntries(t), single->IndexEntries(t)) << tags[t].name;
        for (uint32_t r = 0; r < together->RecordCount(); r += 97) {
            for (int field : {key, last}) {
                const engine::Value v = together->ReadValue(r, field);
                EXPECT_EQ(together->SeekEqual(field, v), single->SeekEqual(field, v)) << r << " " << field;
            }
        }
        if (index_testing::HaveIndexDump()) {
            for (size_t t = 0; t < tags.size(); ++t) {
                std::vector<uint32_t> ours;
                for (const auto& e : together->IndexEntries(t)) ours.push_back(e.record + 1);
                EXPECT_EQ(index_testing::IndexDumpRecords(together->StructuralIndex(), tags[t].name), ours)
                    << tags[t].name;
            }
        }
        // Two rows of one call with one candidate key: the second is refused, the first kept.
        auto twice = std::vector<std::vector<engine::Value>>{rows[0], rows[1], rows[1]};
        twice[0][key] = engine::Value(int64_t(9000001));
        twice[1][key] = engine::Value(int64_t(9000002));
        twice[2][key] = engine::Value(int64_t(9000002));
        size_t appended = 0;
        EXPECT_THROW(together->AppendMany(twice, &appended), engine::Error);
        EXPECT_EQ(appended, 2u);
        ExpectIndexMatchesRows(*together);
        together->Close();
        EXPECT_FALSE(engine::cdx::MarkerExists(dir / "together.dbf"));
    }
}

}  // namespace
