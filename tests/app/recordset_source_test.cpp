#include <gtest/gtest.h>

#include <cmath>

#include "app/engine_record_sources.h"
#include "app/recordset_source.h"
#include "engine/error.h"
#include "practice_data.h"
#include "views/memory_record_source.h"

namespace {

using app::RecordsetSource;
using engine::Value;
using engine::api::Recordset;

class RecordsetSourceTest : public ::testing::Test {
protected:
    std::shared_ptr<Recordset> Open(const std::string& source) {
        auto rs = std::make_shared<Recordset>();
        rs->Open(source, *connection);
        return rs;
    }
    app_testing::PracticeData data;
    std::unique_ptr<engine::api::Connection> connection = data.Connect();
};

TEST_F(RecordsetSourceTest, RowsReadTheRecordsetsValuesByBookmarkWithoutMovingIt) {
    auto rs = Open("SELECT PtNum, LastNam AS Last, Birthday FROM IdentFil WHERE PtNum > 10");
    rs->MoveNext();
    const double standing = rs->Bookmark();
    RecordsetSource source(rs);

    EXPECT_EQ(source.FieldCount(), 3);
    EXPECT_EQ(source.FieldName(1), "Last");
    EXPECT_EQ(source.FieldIndex("BIRTHDAY"), 2);
    ASSERT_EQ(source.RecordCount(), 50);
    // Read in reverse, as a sort might, and compare with what the cursor shows at each row.
    auto cursor = rs->Clone();
    for (int row = source.RecordCount() - 1; row >= 0; --row) {
        cursor->SetBookmark(static_cast<double>(source.RowBookmark(row)));
        for (int field = 0; field < 3; ++field)
            ASSERT_EQ(source.Value(row, field), cursor->Fields().Item(field).Value()) << row << "/" << field;
    }
    EXPECT_EQ(source.Value(0, 0), Value(int64_t{11}));
    EXPECT_EQ(rs->Bookmark(), standing);
}

TEST_F(RecordsetSourceTest, BookmarksRoundTripAndSkipMarkedRowsOfATable) {
    connection->Execute("DELETE FROM IdentFil WHERE PtNum = 3");
    auto rs = Open("IdentFil");
    RecordsetSource source(rs);
    ASSERT_EQ(source.RecordCount(), 59);
    for (int row = 0; row < source.RecordCount(); ++row) ASSERT_EQ(source.RowOfBookmark(source.RowBookmark(row)), row);
    EXPECT_EQ(source.RowBookmark(2), 4);  // the third record is marked deleted
    EXPECT_EQ(source.RowOfBookmark(3), -1);
    EXPECT_EQ(source.RowOfBookmark(0), -1);
    EXPECT_EQ(source.RowOfBookmark(61), -1);
    EXPECT_EQ(source.Value(2, source.FieldIndex("PtNum")), Value(int64_t{4}));
}

TEST_F(RecordsetSourceTest, UnderlyingHandsBackTheRecordsetThatCallersMove) {
    auto rs = Open("SELECT PtNum, LastNam FROM IdentFil");
    auto source = std::make_shared<RecordsetSource>(rs);
    const std::shared_ptr<Recordset> behind = app::RecordsetOf(source);
    EXPECT_EQ(behind, rs);
    behind->SetBookmark(static_cast<double>(source->RowBookmark(41)));
    EXPECT_EQ(rs->Fields().Item("PtNum").Value(), Value(int64_t{42}));

    auto memory = std::make_shared<views::MemoryRecordSource>(std::vector<std::string>{"PtNum"});
    EXPECT_EQ(app::RecordsetOf(memory), nullptr);
    EXPECT_EQ(app::RecordsetOf(nullptr), nullptr);
}

TEST_F(RecordsetSourceTest, TheEngineOpenerRunsTheSelectAndReportsFailures) {
    auto source = app::OpenEngineRecordSource(data.ConnectionString(), "SELECT PtNum FROM IdentFil WHERE PtNum <= 5");
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->RecordCount(), 5);
    EXPECT_NE(app::RecordsetOf(std::shared_ptr<views::RecordSource>(std::move(source))), nullptr);

    try {
        app::OpenEngineRecordSource(data.ConnectionString(), "SELECT Nothing FROM IdentFil");
        ADD_FAILURE() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kUnknownField) << e.Description();
    }
    const std::string missing =
        "Provider=MSDASQL;Extended Properties=\"SourceDB=" + data.Folder() + "/none/Corvane.dbc;SourceType=DBC;\"";
    try {
        app::OpenEngineRecordSource(missing, "SELECT PtNum FROM IdentFil");
        ADD_FAILURE() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_NE(e.Description().find("Corvane.dbc"), std::string::npos) << e.Description();
    }
}

}  // namespace
