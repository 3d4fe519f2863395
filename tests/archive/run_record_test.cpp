// The run record: one ArchLog row per run in the archive's container, every field as given,
// readable by foxsql and python3-dbfread, and a record that cannot be written only logged.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/run_record.h"
#include "support/as_other_user.h"
#include "common/product.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/dbf/container.h"
#include "sample_writer.h"
#include "support/dbfread.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using archive::RunRecord;

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

class RunRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options blank;
        blank.blank = true;
        sample::WriteSampleDatabase(Archive(), blank);
        product::LogFile = (m_dir / "Corvane.log").string();
        product::DebugFlags = 0;
    }
    void TearDown() override { product::LogFile.clear(); }
    std::string Archive() const { return (m_dir / "data" / "Archive").string(); }

    RunRecord Sample() const {
        RunRecord record = RunRecord::Begin("batch");
        record.started = LocalTime(2026, 12, 4, 19, 35, 38);
        record.ended = LocalTime(2026, 12, 4, 19, 41, 2);
        record.requested = 300;
        record.archived = 47;
        record.skipped = 2;
        record.CountRows("IdentFil", 47);
        record.CountRows("appointment", 120);
        record.CountRows("PmtAndChrg", 3);
        record.outcome = "Archived 47 of 300 patients; 2 skipped; stopped by the user.";
        return record;
    }

    testing_support::TempDir m_dir;
};

TEST_F(RunRecordTest, EachRunAppendsOneRowWithEveryFieldToATableOfTheContainer) {
    const RunRecord record = Sample();
    EXPECT_EQ(record.RowsCopiedText(),
              "IdentFil 47\r\nAppointment 120\r\nCase 0\r\nBillOthe 0\r\nMngCare 0\r\nPostFile 0\r\nPatIns 0\r\n"
              "PmtAndChrg 3\r\n");
    ASSERT_TRUE(archive::WriteRunRecord(Archive(), record));
    RunRecord second = RunRecord::Begin("window");
    second.outcome = "Archived 0 of 1 patients; 1 skipped.";
    ASSERT_TRUE(archive::WriteRunRecord(Archive(), second));
    EXPECT_TRUE(engine::Container::Open(Archive() + "/Corvane.dbc")->FindTable("ArchLog").has_value());

    engine::api::Connection connection;
    connection.Open({}, {}, "SourceDB=" + Archive() + "/Corvane.dbc;SourceType=DBC;");
    engine::api::Recordset rows;
    rows.Open("SELECT * FROM ArchLog", connection);
    ASSERT_EQ(rows.RecordCount(), 2);
    auto field = [&](const char* name) { return rows.Fields().Item(name).Value(); };
    auto text = [&](const char* name) {
        std::string value = field(name).As<std::string>();
        return value.substr(0, value.find_last_not_of(' ') + 1);
    };
    EXPECT_EQ(field("Started"), engine::Value(engine::DateTime{engine::JulianDayFromYmd(2026, 12, 4),
                                                               (19 * 3600 + 35 * 60 + 38) * 1000}));
    EXPECT_EQ(field("Ended"),
              engine::Value(engine::DateTime{engine::JulianDayFromYmd(2026, 12, 4), (19 * 3600 + 41 * 60 + 2) * 1000}));
    EXPECT_EQ(text("Login"), record.login);
    EXPECT_EQ(text("Host"), record.host);
    EXPECT_FALSE(record.host.empty());
    EXPECT_EQ(text("StartedBy"), "batch");
    EXPECT_EQ(field("Requested"), engine::Value(int64_t{300}));
    EXPECT_EQ(field("Archived"), engine::Value(int64_t{47}));
    EXPECT_EQ(field("Skipped"), engine::Value(int64_t{2}));
    EXPECT_EQ(field("RowsCopied"), engine::Value(record.RowsCopiedText()));
    EXPECT_EQ(field("Outcome"), engine::Value(record.outcome));
    rows.MoveNext();
    EXPECT_EQ(text("StartedBy"), "window");
    EXPECT_FALSE(field("Ended").As<engine::DateTime>().IsEmpty());  // the moment it was written
    rows.Close();
    connection.Close();

    // Readers that are not ours.
    const std::string dbc = Archive() + "/Corvane.dbc";
    const std::string foxsql = testing_support::CommandOutput(
        std::string(FOXSQL_PATH) + " '" + dbc + "' 'SELECT StartedBy, Archived FROM ArchLog WHERE Archived = 47'");
    EXPECT_NE(foxsql.find("batch"), std::string::npos) << foxsql;
    EXPECT_NE(foxsql.find("(1 row)"), std::string::npos) << foxsql;
    EXPECT_EQ(testing_support::DbfreadCounts(Archive() + "/archlog.dbf"), "2 2 0");
    EXPECT_EQ(testing_support::CommandOutput(
                  "/usr/bin/python3 -c \"import sys, dbfread; "
                  "r = list(dbfread.DBF(sys.argv[1]))[0]; "
                  "print(r['OUTCOME'], r['STARTED'].isoformat(), r['ROWSCOPIED'].split()[:2])\" '" +
                  Archive() + "/archlog.dbf'"),
              record.outcome + " 2026-12-04T19:35:38 ['IdentFil', '47']");
}

TEST_F(RunRecordTest, ARecordThatCannotBeWrittenIsLoggedAndNeverThrown) {
    fs::remove(Archive() + "/Corvane.dbc");
    EXPECT_FALSE(archive::WriteRunRecord(Archive(), Sample()));
    const std::string log = testing_support::ReadFile(m_dir / "Corvane.log");
    EXPECT_NE(log.find("ArchLog/WriteRunRecord:  The run record could not be written:  Error #: 1, Descr: Cannot open "
                       "database '" +
                       Archive() + "/Corvane.dbc'"),
              std::string::npos)
        << log;
}

TEST_F(RunRecordTest, AReadOnlyArchiveGivesNoRecordAndNoError) {
    testing_support::OpenToEveryone(Archive());
    chmod(Archive().c_str(), 0555);
    for (const auto& entry : fs::directory_iterator(Archive())) chmod(entry.path().c_str(), 0444);
    product::LogFile.clear();
    EXPECT_EQ(testing_support::AsOtherUser(
                  [&] { return archive::WriteRunRecord(Archive(), Sample()) ? "written" : "not written"; }),
              "not written");
    EXPECT_FALSE(fs::exists(Archive() + "/archlog.dbf"));
}

}  // namespace
