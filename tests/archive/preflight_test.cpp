// The pre-flight sheet against a generated practice database and an archive in an upper-case
// ARCHIVE folder: every count equals what the database answers to plain queries, for a few
// patients (looked up one by one) and for many (read in one pass), and the text form.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "app/practice_data.h"
#include "archive/preflight.h"
#include "engine/error.h"
#include "sample_writer.h"

namespace {

namespace fs = std::filesystem;
using archive::PreflightSheet;

// The day appointments are compared with: one inside the generated data's span of dates.
const engine::Date kToday{engine::JulianDayFromYmd(2021, 6, 30)};

class PreflightTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options blank;
        blank.blank = true;
        sample::WriteSampleDatabase(fs::path(practice.Folder()) / "ARCHIVE", blank);
        // Patient 7 is in the archive only by a marked Case row: the run would replace him too.
        archiveConnection = Connect(practice.Folder() + "/ARCHIVE/Corvane.dbc");
        archiveConnection->Execute("INSERT INTO Case (CaseNum, PtNum) VALUES (99999, 7)");
        archiveConnection->Execute("DELETE FROM Case WHERE PtNum = 7");
        archiveConnection->Close();
    }

    static std::unique_ptr<engine::api::Connection> Connect(const std::string& dbc) {
        auto connection = std::make_unique<engine::api::Connection>();
        connection->Open({}, {}, "SourceDB=" + dbc + ";SourceType=DBC;");
        return connection;
    }

    // The sheet as plain queries give it, one patient at a time.
    void ExpectMatchesTheDatabase(const std::vector<int32_t>& asked, const PreflightSheet& sheet) {
        const std::set<int32_t> patients(asked.begin(), asked.end());
        EXPECT_EQ(sheet.patients, static_cast<long>(patients.size()));
        const char* tables[][2] = {{"IdentFil", "PtNum"}, {"Appointment", "PId"}, {"Case", "PtNum"},
                                   {"BillOthe", "PtNum"}, {"MngCare", "PtNum"},   {"PostFile", "PtNum"},
                                   {"PatIns", "PtNum"},   {"PmtAndChrg", "PtNum"}};
        ASSERT_EQ(sheet.rows.size(), 8u);
        long notes = 0, future = 0, missing = 0;
        for (int32_t p : patients) {
            notes += fs::exists(practice.Folder() + "/Notes/" + std::to_string(p) + ".rtf");
            future += practice.Count("SELECT PId FROM Appointment WHERE PId = " + std::to_string(p) +
                                     " AND ApptDate > {^2021-06-30}") > 0;
            missing += practice.Count("SELECT PtNum FROM IdentFil WHERE PtNum = " + std::to_string(p)) == 0;
        }
        for (size_t t = 0; t < 8; ++t) {
            long rows = 0;
            for (int32_t p : patients)
                rows += practice.Count(std::string("SELECT * FROM ") + tables[t][0] + " WHERE " + tables[t][1] + " = " +
                                       std::to_string(p));
            EXPECT_EQ(sheet.rows[t].table, tables[t][0]);
            EXPECT_EQ(sheet.rows[t].rows, rows) << tables[t][0];
        }
        EXPECT_EQ(sheet.notesFiles, notes);
        EXPECT_EQ(sheet.withFutureAppointments, future);
        EXPECT_EQ(sheet.notInPractice, missing);
        EXPECT_EQ(sheet.archiveFolder, practice.Folder() + "/ARCHIVE");
        EXPECT_TRUE(sheet.archiveExists);
        EXPECT_EQ(sheet.today, "6/30/2021");
    }

    app_testing::PracticeData practice{60};
    std::unique_ptr<engine::api::Connection> archiveConnection;
};

TEST_F(PreflightTest, AFewPatientsAreCountedAsTheDatabaseHoldsThem) {
    const std::vector<int32_t> asked = {3, 7, 7, 12, 18, 999};
    auto connection = practice.Connect();
    const PreflightSheet sheet = archive::ComputePreflight(asked, *connection, practice.Folder(), kToday);
    ExpectMatchesTheDatabase(asked, sheet);
    EXPECT_EQ(sheet.notInPractice, 1);  // 999
    EXPECT_GT(sheet.TotalRows(), 5);
    ASSERT_EQ(sheet.alreadyArchived, 1);
    ASSERT_EQ(sheet.alreadyArchivedPatients.size(), 1u);
    EXPECT_EQ(sheet.alreadyArchivedPatients[0].ptNum, 7);

    // Names come from IdentFil as "Last, First".
    engine::api::Recordset seven;
    seven.Open("SELECT LastNam, FirstNam FROM IdentFil WHERE PtNum = 7", *connection);
    const std::string last = seven.Fields().Item(0).Value().As<std::string>();
    const std::string first = seven.Fields().Item(1).Value().As<std::string>();
    EXPECT_EQ(sheet.alreadyArchivedPatients[0].name,
              last.substr(0, last.find_last_not_of(' ') + 1) + ", " + first.substr(0, first.find_last_not_of(' ') + 1));
}

TEST_F(PreflightTest, ManyPatientsAreCountedInOnePassWithTheSameResultAndListsAreCut) {
    std::vector<int32_t> asked;
    for (int32_t p = 60; p >= 1; --p) asked.push_back(p);
    auto connection = practice.Connect();
    const PreflightSheet sheet = archive::ComputePreflight(asked, *connection, practice.Folder(), kToday);
    ExpectMatchesTheDatabase(asked, sheet);
    EXPECT_EQ(sheet.notInPractice, 0);
    EXPECT_EQ(sheet.alreadyArchived, 1);
    ASSERT_GT(sheet.withFutureAppointments, static_cast<long>(archive::kListedPatients)) << "the data has too few";
    ASSERT_EQ(sheet.futureAppointmentPatients.size(), archive::kListedPatients);
    EXPECT_LT(sheet.futureAppointmentPatients[0].ptNum, sheet.futureAppointmentPatients[1].ptNum);
    EXPECT_FALSE(sheet.futureAppointmentPatients[0].name.empty());
}

TEST_F(PreflightTest, WithoutAnArchiveNothingIsAlreadyArchivedAndTheFolderIsToBeCreated) {
    fs::remove_all(practice.Folder() + "/ARCHIVE");
    auto connection = practice.Connect();
    const PreflightSheet sheet = archive::ComputePreflight({5}, *connection, practice.Folder(), kToday);
    EXPECT_FALSE(sheet.archiveExists);
    EXPECT_EQ(sheet.archiveFolder, practice.Folder() + "/Archive");
    EXPECT_EQ(sheet.alreadyArchived, 0);
    EXPECT_EQ(sheet.rows[0].rows, 1);
}

TEST(PreflightText, SaysEveryCountOneFactALine) {
    PreflightSheet sheet;
    sheet.patients = 3;
    sheet.notInPractice = 1;
    sheet.rows = {{"IdentFil", 2}, {"Appointment", 5}, {"PmtAndChrg", 11}};
    sheet.notesFiles = 1;
    sheet.today = "6/30/2021";
    sheet.withFutureAppointments = 22;
    for (int i = 1; i <= 20; ++i) sheet.futureAppointmentPatients.push_back({i, "Name" + std::to_string(i)});
    sheet.alreadyArchived = 1;
    sheet.alreadyArchivedPatients = {{2519, "Doe, Jane"}};
    sheet.archiveFolder = "/data/Archive";
    sheet.archiveExists = false;
    const std::string text = archive::PreflightText(sheet);
    EXPECT_EQ(text.substr(0, text.find("  1  Name1")),
              "Patients to archive: 3\n"
              "Archive folder: /data/Archive (will be created)\n"
              "Rows to move:\n"
              "  IdentFil    2\n"
              "  Appointment 5\n"
              "  PmtAndChrg  11\n"
              "  Total       18\n"
              "Notes files: 1\n"
              "Patients with appointments after 6/30/2021: 22\n");
    EXPECT_NE(text.find("  20  Name20\n  ... and 2 more\n"
                        "Patients already in the archive (their archive copy will be replaced): 1\n"
                        "  2519  Doe, Jane\n"
                        "Patients no longer in the practice database (skipped): 1\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(archive::NothingToArchive({}));
    EXPECT_TRUE(archive::NothingToArchive({0, -3}));
    EXPECT_FALSE(archive::NothingToArchive({0, 4}));
}

}  // namespace
