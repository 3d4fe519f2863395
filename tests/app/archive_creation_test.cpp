// Creating the archive database from a generated practice database: patient tables emptied
// and packed, reference tables kept, stray files removed, attributes cleared, the status and
// log sequence, an existing archive left alone, a half-made archive copied over again, and
// tables that cannot be packed.
#include <gtest/gtest.h>

#include <optional>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "archive/archive_creation.h"
#include "common/product.h"
#include "common/recording_ui.h"
#include "db/ado_tools.h"
#include "engine/dbf/table.h"
#include "sample_writer.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using engine::api::Connection;
using testing_support::TempDir;

const std::vector<std::string> kPatientTables = {"IdentFil", "Appointment", "Case",   "BillOthe",
                                                 "MngCare",  "PostFile",    "PatIns", "PmtAndChrg"};
const std::vector<std::string> kReferenceTables = {"DocIdent", "DocInsur", "InsIdent", "Ref", "Passwords"};

class FakeStatus : public app::StatusServices {
public:
    void ShowStatus(const std::string& title, const std::string& text, bool bringToFront) override {
        events.push_back("show " + title + " | " + text + (bringToFront ? "" : " (behind)"));
    }
    void HideStatus() override { events.push_back("hide"); }
    bool StopRequested() override { return false; }
    std::vector<std::string> events;
};

// The record count in a table file's header: marked rows count, packed-away rows do not.
uint32_t HeaderRecords(const fs::path& dbf) {
    const std::string bytes = testing_support::ReadFile(dbf);
    if (bytes.size() < 8) return ~0u;
    return static_cast<uint8_t>(bytes[4]) | static_cast<uint8_t>(bytes[5]) << 8 | static_cast<uint8_t>(bytes[6]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[7])) << 24;
}

std::vector<std::string> Rows(Connection& connection, const std::string& table) {
    engine::api::Recordset rs;
    rs.Open("SELECT * FROM " + table, connection);
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string row;
        for (auto& field : rs.Fields()) row += AdoTools::VariantText(field.Value()) + "|";
        rows.push_back(row);
    }
    return rows;
}

class ArchiveCreationTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_log.emplace(m_dir / "Corvane.log");
        sample::WriteSampleDatabase(m_data, {.patients = 6, .seed = 11, .blank = false, .deletePassword = "pw"});
        sample::WriteSampleDatabase(m_dir / "app" / "BlankDbc",
                                    {.patients = 0, .seed = 1, .blank = true, .deletePassword = ""});
    }
    void TearDown() override { m_log.reset(); }

    // Runs the creation as the -create run does, with no connection; returns the connection
    // left behind (the blank template's when the archive was emptied).
    std::unique_ptr<Connection> Create() {
        std::unique_ptr<Connection> connection;
        app::CreateArchiveDatabase((m_data / "Corvane.dbc").string(), (m_dir / "app").string(), m_status, connection);
        return connection;
    }

    void ExpectEmptiedArchive() {
        auto practice = AdoTools::Connect_DBC(m_data.string(), "Corvane.dbc");
        auto archive = AdoTools::Connect_DBC(m_archive.string(), "Corvane.dbc");
        for (const auto& table : kPatientTables) {
            EXPECT_FALSE(Rows(*practice, table).empty()) << table;
            EXPECT_EQ(HeaderRecords(m_archive / (table + ".dbf")), 0u) << table;
        }
        for (const auto& table : kReferenceTables) {
            EXPECT_FALSE(Rows(*practice, table).empty()) << table;
            EXPECT_EQ(Rows(*archive, table), Rows(*practice, table)) << table;
        }
    }

    TempDir m_dir;
    fs::path m_data = m_dir / "data";
    fs::path m_archive = m_data / "Archive";
    FakeStatus m_status;
    ui::RecordingUi m_ui;
    std::optional<testing_support::LogCapture> m_log;
};

TEST_F(ArchiveCreationTest, CopiesThePracticeAndEmptiesOnlyThePatientTables) {
    for (const char* name : {"a.bak", "b.ZIP", "c.exe", "d.tmp", "locked.txt"})
        testing_support::WriteFile(m_data / name, "x");
    fs::permissions(m_data / "locked.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directories(m_data / "Backups");
    testing_support::WriteFile(m_data / "Backups" / "old.dbf", "x");

    EXPECT_TRUE(Create()) << "the template connection is kept for the caller";

    ExpectEmptiedArchive();
    EXPECT_TRUE(fs::is_directory(m_archive / "Notes"));
    EXPECT_FALSE(fs::exists(m_archive / "Backups")) << "folders of the data folder are not copied";
    for (const char* name : {"a.bak", "b.ZIP", "c.exe", "d.tmp"}) EXPECT_FALSE(fs::exists(m_archive / name)) << name;
    ASSERT_TRUE(fs::exists(m_archive / "locked.txt"));
    for (const auto& entry : fs::directory_iterator(m_archive)) {
        if (entry.is_regular_file()) {
            EXPECT_NE(fs::status(entry.path()).permissions() & fs::perms::owner_write, fs::perms::none) << entry.path();
        }
    }
    EXPECT_TRUE(m_ui.Messages().empty());
    const std::vector<ui::Shown>& calls = m_ui.calls;
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front().kind, ui::Shown::Kind::BusyCursor);
    EXPECT_EQ(calls.front().number, 1);
    EXPECT_EQ(calls.back().kind, ui::Shown::Kind::BusyCursor);
    EXPECT_EQ(calls.back().number, 0);
}

TEST_F(ArchiveCreationTest, ShowsAndLogsEachStepInOrder) {
    Create();

    std::vector<std::string> expected = {
        "show Creating Archive Database | Creating Archive database.  Please wait...",
        "show Creating Archive Database | Cleaning up extra database files.  Please wait..."};
    for (const auto& table : kPatientTables)
        expected.push_back("show Emptying Table. | Removing pre-existing patient data from:  " + table);
    expected.insert(expected.end(), {"hide", "show Packing Database | Packing Database:  " + m_archive.string(), "hide",
                                     "show Archive Created | Archive created."});
    EXPECT_EQ(m_status.events, expected);

    std::vector<std::string> ours;
    bool packedAfterEmptying = false;
    for (const auto& line : m_log->Lines()) {
        if (line.starts_with("frmArchive/")) ours.push_back(line);
        if (line == "AdoTools/PackDatabase") packedAfterEmptying = ours.size() == 1 + kPatientTables.size();
    }
    std::vector<std::string> expectedLog = {"frmArchive/EmptyPatientTables"};
    for (const auto& table : kPatientTables)
        expectedLog.push_back("frmArchive/EmptyPatientTables:  Deleting patient information from table:  " + table);
    EXPECT_EQ(ours, expectedLog);
    EXPECT_TRUE(packedAfterEmptying);
}

TEST_F(ArchiveCreationTest, AnIndependentReaderSeesEmptyPatientAndFullReferenceTables) {
    Create();
    const std::string script =
        "import sys, dbfread\n"
        "for f in sys.argv[1:]:\n"
        "    t = dbfread.DBF(f, ignore_missing_memofile=True)\n"
        "    print(len(list(t)), len(list(t.deleted)))\n";
    const fs::path scriptFile = m_dir / "count.py";
    testing_support::WriteFile(scriptFile, script);
    const std::string command = "/usr/bin/python3 " + scriptFile.string() + " " +
                                (m_archive / "IdentFil.dbf").string() + " " + (m_archive / "InsIdent.dbf").string() +
                                " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ASSERT_EQ(pclose(pipe), 0) << out;

    auto practice = AdoTools::Connect_DBC(m_data.string(), "Corvane.dbc");
    EXPECT_EQ(out, "0 0\n" + std::to_string(Rows(*practice, "InsIdent").size()) + " 0\n");
}

TEST_F(ArchiveCreationTest, AnExistingArchiveIsLeftAlone) {
    Create();
    fs::rename(m_archive / "Corvane.dbc", m_archive / "CORVANE.DBC");  // as copied from Windows
    std::map<fs::path, fs::file_time_type> stamps;
    for (const auto& entry : fs::directory_iterator(m_archive)) stamps[entry.path()] = entry.last_write_time();
    testing_support::WriteFile(m_data / "new.txt", "x");
    m_status.events.clear();
    m_ui.calls.clear();

    Create();

    std::map<fs::path, fs::file_time_type> after;
    for (const auto& entry : fs::directory_iterator(m_archive)) after[entry.path()] = entry.last_write_time();
    EXPECT_EQ(after, stamps);
    EXPECT_TRUE(m_status.events.empty());
    EXPECT_TRUE(m_ui.calls.empty());
}

TEST_F(ArchiveCreationTest, AnArchiveWithoutItsContainerIsCopiedOverAgain) {
    fs::create_directories(m_archive);
    // A stale, read-only copy of a patient table from an earlier attempt.
    testing_support::WriteFile(m_archive / "IdentFil.dbf", "stale");
    fs::permissions(m_archive / "IdentFil.dbf", fs::perms::owner_read);

    Create();

    ExpectEmptiedArchive();
    EXPECT_FALSE(fs::exists(m_archive / "Notes")) << "an existing archive folder gets no Notes folder";
}

TEST_F(ArchiveCreationTest, AnArchiveFolderInAnotherCaseIsTheArchiveAndNoSecondOneIsMade) {
    fs::create_directories(m_data / "ARCHIVE");
    m_archive = m_data / "ARCHIVE";
    Create();  // no container yet: made inside ARCHIVE
    ExpectEmptiedArchive();
    EXPECT_FALSE(fs::exists(m_data / "Archive"));

    const auto before = fs::last_write_time(m_archive / "Corvane.dbc");
    m_status.events.clear();
    Create();  // made already: left alone
    EXPECT_EQ(fs::last_write_time(m_archive / "Corvane.dbc"), before);
    EXPECT_TRUE(m_status.events.empty());
    EXPECT_FALSE(fs::exists(m_data / "Archive"));
}

TEST_F(ArchiveCreationTest, TablesHeldOpenElsewhereAreListedAfterEmptying) {
    Create();
    auto held = engine::Table::Open(m_archive / "Ref.dbf", engine::OpenMode::Shared);
    m_status.events.clear();
    std::unique_ptr<Connection> none;

    EXPECT_TRUE(app::EmptyPatientTables((m_data / "Corvane.dbc").string(), (m_dir / "app").string(), m_status, none));

    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The following tables could not be packed:\r\nRef.dbf");
    EXPECT_EQ(messages[0].title, "Archive");
    EXPECT_EQ(messages[0].icon, ui::Icon::None);
    EXPECT_EQ(messages[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(m_status.events.back(), "hide");
}

TEST_F(ArchiveCreationTest, WithoutTheBlankTemplateTheArchiveListsItsOwnTablesAndIsStillEmptied) {
    fs::remove_all(m_dir / "app" / "BlankDbc");

    EXPECT_FALSE(Create()) << "no template connection to hand back";

    ExpectEmptiedArchive();
    EXPECT_TRUE(m_ui.Messages().empty());
    const auto lines = m_log->Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("AdoTools/Connect_DBC:  Error #: ");
    })) << "the missing template is logged";
}

TEST_F(ArchiveCreationTest, ATableThatCannotBeCopiedLeavesNoArchiveAndIsLogged) {
    // Something in the archive folder that no table can be copied over.
    fs::create_directories(m_archive / "Ref.dbf");
    const std::vector<std::string> practiceRef = Rows(*AdoTools::Connect_DBC(m_data.string(), "Corvane.dbc"), "Ref");

    EXPECT_FALSE(Create());

    EXPECT_FALSE(fs::exists(m_archive / "Corvane.dbc")) << "a half-copied archive is taken away";
    EXPECT_FALSE(fs::exists(m_archive / "IdentFil.dbf"));
    EXPECT_TRUE(fs::is_directory(m_archive / "Ref.dbf")) << "what was there before stays";
    const auto lines = m_log->Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("frmArchive/CreateArchiveDatabase:  Error #: 2, Descr: Cannot copy file '") &&
               line.find("Ref.dbf': ") != std::string::npos;
    })) << "the failed copy is logged with its number and reason";
    EXPECT_TRUE(m_ui.Messages().empty());
    EXPECT_EQ(Rows(*AdoTools::Connect_DBC(m_data.string(), "Corvane.dbc"), "Ref"), practiceRef);

    fs::remove(m_archive / "Ref.dbf");
    Create();
    ExpectEmptiedArchive();
}

TEST_F(ArchiveCreationTest, AFailureEndsTheEmptyingWithALogLineAndNoBox) {
    // No archive folder: the automation server cannot change into it.
    std::unique_ptr<Connection> none;
    EXPECT_FALSE(app::EmptyPatientTables((m_data / "Corvane.dbc").string(), (m_dir / "app").string(), m_status, none));

    EXPECT_TRUE(m_ui.Messages().empty());
    const auto lines = m_log->Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "frmArchive/EmptyPatientTables");
    EXPECT_TRUE(lines[1].starts_with("frmArchive/EmptyPatientTables:  Error #: 202, Descr: ")) << lines[1];
    EXPECT_TRUE(m_status.events.empty());
}

}  // namespace
