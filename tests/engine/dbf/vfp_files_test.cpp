// Reading the tables and containers that Visual FoxPro itself wrote (shared test data, read in
// place): every table agrees with python3-dbfread where that reader decodes a type right, and
// the types it gets wrong (nulls, varchar, varbinary) are checked against values decoded by hand.
#include <gtest/gtest.h>

#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "reader_check.h"
#include "support/requirements.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
namespace fs = std::filesystem;

// Every test here reads the sample files in place.
class VfpFiles : public testing_support::NeedsVfpData {};

fs::path Vfp(const std::string& relative) { return testing_support::SharedVfpData() / relative; }

std::vector<fs::path> AllTables() {
    std::vector<fs::path> files;
    for (const auto& dir : fs::directory_iterator(testing_support::SharedVfpData())) {
        if (!dir.is_directory()) continue;
        for (const auto& f : fs::directory_iterator(dir.path())) {
            std::string ext = f.path().extension().string();
            for (auto& c : ext) c = static_cast<char>(std::tolower(c));
            if (ext == ".dbf" || ext == ".dbc") files.push_back(f.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool HasWField(const engine::Table& t) {
    for (const auto& f : t.Fields())
        if (f.type == 'W') return true;
    return false;
}

TEST_F(VfpFiles, EveryTableReadsAsDbfreadReadsIt) {
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    int compared = 0;
    for (const auto& file : AllTables()) {
        SCOPED_TRACE(file.string());
        auto table = engine::Table::Open(file);
        if (HasWField(*table)) continue;  // dbfread refuses W fields; checked by hand below
        const auto result = dbf_test::CompareWithReader("dbfread", file);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        ++compared;
    }
    EXPECT_GE(compared, 40);
}

TEST_F(VfpFiles, NullFlagsAndVarcharFollowTheBitLayout) {
    // orders: SHIPNAME etc. are shorter than their width; some SHIPREGION values are null.
    auto orders = engine::Table::Open(Vfp("northwind/orders.dbf"));
    const int region = orders->FieldIndex("shipregion");
    const int name = orders->FieldIndex("SHIPNAME");
    const int shipped = orders->FieldIndex("SHIPPEDDAT");
    ASSERT_GE(region, 0);
    int nullRegions = 0, nullShipped = 0;
    for (uint32_t i = 0; i < orders->RecordCount(); ++i) {
        const auto rec = orders->ReadRecord(i);
        nullRegions += rec.values[region].IsNull();
        nullShipped += rec.values[shipped].IsNull();
        const auto& shipName = rec.values[name].As<std::string>();
        EXPECT_TRUE(shipName.empty() || shipName.back() != '\0');
    }
    EXPECT_EQ(nullShipped, 21);
    EXPECT_GT(nullRegions, 0);

    auto customers = engine::Table::Open(Vfp("northwind/customers.dbf"));
    const auto first = customers->ReadRecord(0);
    EXPECT_EQ(first.values[customers->FieldIndex("COMPANYNAM")], Value("Alfreds Futterkiste"));
    EXPECT_EQ(first.values[customers->FieldIndex("CONTACTNAM")], Value("Maria Anders"));
}

TEST_F(VfpFiles, AllTypesTableAndVarbinaryDecode) {
    auto all = engine::Table::Open(Vfp("data1-alltypes/table1.dbf"));
    std::string types;
    for (const auto& f : all->Fields()) types += f.type;
    for (char t : std::string("BCDFGILMNQTVWY")) EXPECT_NE(types.find(t), std::string::npos) << t;
    EXPECT_EQ(all->Version(), 0x32);

    auto test = engine::Table::Open(Vfp("go-dbase-test/TEST.DBF"));
    ASSERT_EQ(test->RecordCount(), 3u);
    bool sawBytes = false;
    for (uint32_t i = 0; i < test->RecordCount(); ++i) {
        const auto rec = test->ReadRecord(i);
        for (size_t f = 0; f < rec.values.size(); ++f) {
            const char type = test->Fields()[f].type;
            if (type == 'Q' && rec.values[f].Is<engine::Bytes>() && !rec.values[f].As<engine::Bytes>().empty())
                sawBytes = true;
            if (type == 'W') {
                EXPECT_TRUE(rec.values[f].Is<engine::Bytes>() || rec.values[f].IsNull());
            }
        }
    }
    EXPECT_TRUE(sawBytes);
}

TEST_F(VfpFiles, AutoincrementCodePageAndMemoBlockSizeOne) {
    auto decimal = engine::Table::Open(Vfp("vfpef-decimaltable/decimaltable.dbf"));
    ASSERT_TRUE(decimal->Fields()[0].autoIncrement);
    EXPECT_EQ(decimal->Fields()[0].autoIncNext, 3);
    EXPECT_FALSE(decimal->StructuralIndex().empty());  // Decimaltable.CDX, found without regard to case

    auto cyrillic = engine::Table::Open(Vfp("infused-free/cp1251.dbf"));
    const auto rec = cyrillic->ReadRecord(0);
    bool cyr = false;
    for (const auto& v : rec.values)
        if (auto* s = v.If<std::string>())
            cyr = cyr || s->find("\xD0") != std::string::npos || s->find("\xD1") != std::string::npos;
    EXPECT_TRUE(cyr);

    auto bs1 = engine::Table::Open(Vfp("dbffile-vfp9/vfp9_memo_bs1.dbf"));
    EXPECT_FALSE(bs1->ReadRecord(0).values[1].As<std::string>().empty());
}

TEST_F(VfpFiles, ContainersListTablesFilesAndLongFieldNames) {
    auto expenses = engine::Container::Open(Vfp("expenses/EXPENSES.DBC"));
    const auto tables = expenses->Tables();
    ASSERT_EQ(tables.size(), 4u);
    const auto categories = expenses->FindTable("EXPENSE_CATEGORIES");
    ASSERT_TRUE(categories);
    EXPECT_EQ(categories->file.filename(), "expense categories.dbf");
    EXPECT_TRUE(fs::exists(categories->file));
    auto table = engine::Table::Open(categories->file);
    EXPECT_EQ(categories->fieldNames.size(), table->Fields().size());

    auto northwind = engine::Container::Open(Vfp("northwind/northwind.dbc"));
    const auto employees = northwind->FindTable("employees");
    ASSERT_TRUE(employees);
    EXPECT_TRUE(fs::exists(employees->file)) << employees->file;  // stored lower-case, file is employees.DBF
    EXPECT_EQ(northwind->Tables().size(), 15u);
    EXPECT_EQ(engine::Container::Open(Vfp("vfpef-blank-dbc/Blank.dbc"))->Tables().size(), 0u);
}

TEST_F(VfpFiles, DeletedContainerRecordsNeverFollowTheirMemoPointers) {
    auto dbc = engine::Table::Open(Vfp("northwind/northwind.dbc"));
    const int prop = dbc->FieldIndex("PROPERTY");
    int deleted = 0;
    for (uint32_t i = 0; i < dbc->RecordCount(); ++i) {
        if (!dbc->IsDeleted(i)) continue;
        ++deleted;
        EXPECT_TRUE(dbc->ReadValue(i, prop).As<engine::Bytes>().empty());
    }
    EXPECT_EQ(deleted, 637);
}

}  // namespace
