#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/holding_child.h"
#include "archive/run_lock.h"
#include "archive_window_fixture.h"
#include "engine/dbf/table.h"
#include "common/process.h"
#include "folders/folder_bar.h"

namespace fs = std::filesystem;
using app_testing::FormLoadTest;
using app_testing::kNoDatabase;
using app_testing::TestWindow;
using testing_support::WriteFile;

namespace {

struct BarRow {
    std::string key;
    int indent;
    bool operator==(const BarRow&) const = default;
};

std::vector<BarRow> BarRows(const folders::FolderBar& bar) {
    std::vector<BarRow> rows;
    for (const folders::FolderBarItem& item : bar.Model().Items()) rows.push_back({item.Key, item.Indent});
    return rows;
}

}  // namespace

// A practice data folder named as the most recent database in the user's parameter file,
// with patient 42 as the most recent patient of that database.
class StartupDatabaseTest : public FormLoadTest {
protected:
    void SetUp() override {
        FormLoadTest::SetUp();
        fs::create_directories(root / "data");
        WriteFile(root / "data" / "Corvane.dbc", "");
        const std::string parameterFile = AppFolder() + "/" + common::GetLoginName() + ".xml";
        WriteFile(parameterFile, "<?xml version=\"1.0\"?>\n<Data>\n\t<Recent-Files>\n\t\t<RecentFile1>" + Database() +
                                     "</RecentFile1>\n\t</Recent-Files>\n</Data>\n");
        settings::CXMLReg store;
        store.SetAppName(common::GetLoginName());
        store.SetAppPath(AppFolder());
        store.SaveSetting(DataFolder() + "/Recent Patients", "RecentFile1", "42");
    }
    std::string DataFolder() const { return (root / "data").string(); }
    std::string Database() const { return DataFolder() + "/Corvane.dbc"; }
    std::string Connection() const { return "connection to " + DataFolder() + "/corvane.dbc"; }
};

TEST_F(StartupDatabaseTest, TheMostRecentDatabaseIsLoggedConnectedAndNamedInTheLabel) {
    common::SetCommandLine("-D");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.DatabasePath(), Database());
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{});

    const std::vector<std::string> expected = {
        "frmArchive/Form_Load:  AppPath = " + AppFolder(),
        "frmArchive/Form_Load:  -----------------------",
        "frmArchive/Form_Load:  User Login = " + common::GetLoginName(),
        "frmArchive/LoadDatabase:  Database = " + Database(),
        "frmArchive/LoadDatabase:  Loading most recent database.",
    };
    EXPECT_EQ(LogTexts(), expected);
    ASSERT_NE(settings::XMLReg, nullptr);
    EXPECT_EQ(settings::XMLReg->AppPath(), AppFolder());

    // Always corvane.dbc in the database's folder, whatever the entry's file name.
    EXPECT_EQ(window.connectedTo, std::vector<std::string>{DataFolder() + "/|corvane.dbc"});
    ASSERT_NE(window.Connection(), nullptr);
    EXPECT_EQ(window.Connection()->ConnectionString(), Connection());
    EXPECT_EQ(window.GridConnectionString(), Connection());
    EXPECT_EQ(window.lblArchive()->text().toStdString(),
              "Select patients to archive and then the Archive button.  (" + Database() + ").");
}

TEST_F(StartupDatabaseTest, WithoutARecentDatabaseNothingIsPackedOrConnected) {
    fs::remove(AppFolder() + "/" + common::GetLoginName() + ".xml");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kNoDatabase});
    EXPECT_TRUE(window.connectedTo.empty());
    EXPECT_TRUE(window.layoutsLoaded.empty());
    EXPECT_EQ(window.Connection(), nullptr);
    EXPECT_EQ(window.StatusTip(), nullptr);
    EXPECT_EQ(BarRows(*window.suiFolders()), (std::vector<BarRow>{{"Corvane", 0}, {"Patients", 1}}));

    // Clicking Patients opens nothing and says nothing more.
    window.suiFolders()->SelectItem("Patients");
    EXPECT_TRUE(window.layoutsLoaded.empty());
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kNoDatabase});
    EXPECT_FALSE(rec.busy);
}

TEST_F(StartupDatabaseTest, TheArchiveIsPackedUnderTheBalloonAndTablesThatFailAreNamed) {
    fs::create_directories(root / "data" / "Archive");
    TestWindow window(environment);
    window.failedTables = "identfil.dbf, case.dbf";
    ASSERT_TRUE(window.Form_Load());
    EXPECT_EQ(window.packedFolders, std::vector<std::string>{DataFolder() + "/Archive"});
    EXPECT_EQ(window.statusWhilePacking, (std::vector<std::string>{"Packing Archive Database",
                                                                   "Packing Database:  " + DataFolder() + "/Archive"}));
    const auto messages = rec.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The following archive tables could not be packed:\r\nidentfil.dbf, case.dbf");
    EXPECT_EQ(messages[0].icon, ui::Icon::None);
    EXPECT_EQ(messages[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(messages[0].title, "Archive");
    ASSERT_NE(window.StatusTip(), nullptr);
    EXPECT_FALSE(window.StatusTip()->isVisible());
    EXPECT_EQ(window.connectedTo.size(), 1u);  // start-up goes on
}

TEST_F(StartupDatabaseTest, AnArchiveFolderCopiedInAnotherCaseIsPackedAndAMissingOneIsNot) {
    {
        TestWindow window(environment);
        window.failedTables = "never.dbf";
        ASSERT_TRUE(window.Form_Load());
        EXPECT_TRUE(window.packedFolders.empty());
        EXPECT_TRUE(rec.Messages().empty());
    }
    fs::create_directories(root / "data" / "ARCHIVE");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_EQ(window.packedFolders, std::vector<std::string>{DataFolder() + "/ARCHIVE"});
}

TEST_F(StartupDatabaseTest, AFailingConnectionIsReportedAndEndsTheProgram) {
    TestWindow window(environment);
    window.throwOnConnect = true;
    EXPECT_FALSE(window.Form_Load());
    EXPECT_TRUE(window.Ended());
    EXPECT_NE(window.ExitCode(), 0);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"frmArchive/Form_Load:  Error #: 1, Descr: Connection failed."});
}

TEST_F(StartupDatabaseTest, TheFolderBarListsTheShownSubFoldersAndOpensPatientsAtTheRecentPatient) {
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    const folders::FolderBar& bar = *window.suiFolders();
    EXPECT_EQ(bar.objectName(), "suiFolders");
    EXPECT_EQ(bar.Caption(), "Folder List");
    EXPECT_EQ(BarRows(bar),
              (std::vector<BarRow>{{"Corvane", 0}, {"Patients", 1}, {"Active Patients", 2}, {"New Patients", 2}}));
    const folders::FolderBarItem& heading = bar.Model().Item(1);
    EXPECT_EQ(heading.ImageKey, "Corvane");
    EXPECT_EQ(heading.Style, 901);
    EXPECT_EQ(bar.Model().Item(2).ImageKey, "Patients");
    ASSERT_NE(bar.Model().Selected(), nullptr);
    EXPECT_EQ(bar.Model().Selected()->Key, "Patients");

    ASSERT_EQ(window.layoutsLoaded.size(), 1u);
    EXPECT_EQ(window.layoutsLoaded[0].file, AppFolder() + "/etc/patients.lyt");
    EXPECT_EQ(window.layoutsLoaded[0].connectionString, Connection());
    EXPECT_EQ(window.patientsMovedTo, std::vector<std::string>{"42"});
}

TEST_F(StartupDatabaseTest, AClickAfterStartUpStillFindsTheRecentPatientAndRestoresThePointer) {
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    rec.calls.clear();
    ASSERT_TRUE(window.suiFolders()->SelectItem("Active Patients"));
    ASSERT_EQ(window.layoutsLoaded.size(), 2u);
    EXPECT_EQ(window.layoutsLoaded[1].file, AppFolder() + "/etc/active.lyt");
    EXPECT_EQ(window.patientsMovedTo, (std::vector<std::string>{"42", "42"}));
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[0].kind, ui::Shown::Kind::BusyCursor);
    EXPECT_EQ(rec.calls[0].number, 1);
    EXPECT_EQ(rec.calls[1].number, 0);
    // The list was pointed back at the recent files.
    EXPECT_EQ(settings::XMLReg->GetSetting("Recent Files", "RecentFile1"), Database());
}

TEST_F(StartupDatabaseTest, TheHeadingOpensNothingAndRestoresThePointer) {
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    rec.calls.clear();
    window.suiFolders()->SelectItem("Corvane");
    EXPECT_EQ(window.layoutsLoaded.size(), 1u);
    EXPECT_EQ(window.patientsMovedTo.size(), 1u);
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[0].number, 1);
    EXPECT_EQ(rec.calls[1].kind, ui::Shown::Kind::BusyCursor);
    EXPECT_EQ(rec.calls[1].number, 0);
}

TEST_F(StartupDatabaseTest, AnErrorOpeningAFolderIsReportedAndTheProgramGoesOn) {
    TestWindow window(environment);
    window.throwOnLayout = true;
    ASSERT_TRUE(window.Form_Load());  // the Patients folder fails at start-up
    EXPECT_FALSE(window.Ended());
    EXPECT_TRUE(window.isVisible());
    const std::string report = "frmArchive/suiFolders_ItemClick:  Error #: 2, Descr: Layout file cannot be read.";
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{report});
    EXPECT_EQ(rec.Messages()[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(LogTexts().back(), report);
    EXPECT_TRUE(window.patientsMovedTo.empty());
    EXPECT_FALSE(rec.busy);

    rec.calls.clear();
    window.suiFolders_ItemClick(window.suiFolders()->Model().Item(3));
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{report});
    EXPECT_FALSE(rec.busy);
}

TEST_F(StartupDatabaseTest, AnUndefinedFolderLeavesTheGridAsItIs) {
    WriteFile(
        root / "app" / "Folders.xml",
        "<Data><Patients><SubFolder>Lost</SubFolder></Patients>"
        "<Folder><Name>Patients</Name><Layout>patients.lyt</Layout><LookInTitle>Name</LookInTitle></Folder></Data>");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    rec.calls.clear();
    window.suiFolders()->SelectItem("Lost");
    EXPECT_EQ(window.layoutsLoaded.size(), 1u);
    EXPECT_EQ(rec.Messages().size(), 1u);  // the user is told about the folder
    EXPECT_FALSE(rec.busy);
}

// ---- the start-up pack never disturbs a run elsewhere ----

namespace {

// A child holding the run lock of folder for an archive run.
std::unique_ptr<testing_support::HoldingChild> RunningElsewhere(const std::string& folder) {
    return std::make_unique<testing_support::HoldingChild>([folder] {
        return (new archive::RunLock(archive::RunLock::TryAcquire(folder, archive::LockPurpose::Run)))->Held();
    });
}

}  // namespace

TEST_F(StartupDatabaseTest, AnArchiveInUseByARunOrAnotherConnectionIsNotPackedAndOnlyTheLogSaysSo) {
    common::SetCommandLine("-D");
    fs::create_directories(root / "data" / "ARCHIVE");
    const std::string archiveFolder = DataFolder() + "/ARCHIVE";
    {
        auto run = RunningElsewhere(archiveFolder);
        ASSERT_TRUE(run->Took());
        TestWindow window(environment);
        window.failedTables = "never.dbf";
        ASSERT_TRUE(window.Form_Load());
        EXPECT_TRUE(window.packedFolders.empty());
        EXPECT_TRUE(rec.Messages().empty());
        EXPECT_EQ(window.connectedTo.size(), 1u);  // start-up goes on
        const auto lines = LogTexts();
        const std::string expected =
            "frmArchive/LoadDatabase:  Archive not packed: An archive run by " + common::GetLoginName() + " on ";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& line) { return line.rfind(expected, 0) == 0; }),
                  1);
    }
    // A table held open by another process (a program that takes no run lock).
    engine::Table::Create(root / "data" / "ARCHIVE" / "identfil.dbf", {{.name = "PtNum", .type = 'I'}})->Close();
    testing_support::HoldingChild holder([&] {
        return (new std::unique_ptr<engine::Table>(engine::Table::Open(root / "data" / "ARCHIVE" / "identfil.dbf")))
                   ->get() != nullptr;
    });
    ASSERT_TRUE(holder.Took());
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_TRUE(window.packedFolders.empty());
    EXPECT_TRUE(rec.Messages().empty());
    const auto lines = LogTexts();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "frmArchive/LoadDatabase:  Archive not packed: These tables are in use by another connection: "
                        "identfil.dbf."),
              lines.end());
    // Nothing holds it any more: the next start packs, holding the run lock while it does.
    holder.Kill();
    TestWindow later(environment);
    ASSERT_TRUE(later.Form_Load());
    EXPECT_EQ(later.packedFolders, std::vector<std::string>{archiveFolder});
    EXPECT_FALSE(archive::RunLock::CurrentHolder(archiveFolder).has_value());  // let go after the pack
}

TEST_F(StartupDatabaseTest, DashPackOfAnArchiveOrItsDataFolderDuringARunSaysSoAndChangesNothing) {
    fs::create_directories(root / "data" / "Archive");
    auto run = RunningElsewhere(DataFolder() + "/Archive");
    ASSERT_TRUE(run->Took());
    for (const std::string& folder : {DataFolder() + "/Archive", DataFolder()}) {
        rec.calls.clear();
        common::SetCommandLine("-pack" + folder);
        TestWindow window(environment);
        EXPECT_FALSE(window.Form_Load());
        EXPECT_EQ(window.ExitCode(), 1);
        EXPECT_TRUE(window.packedFolders.empty()) << folder;
        const auto messages = rec.Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text.rfind("The database was not packed.\r\nAn archive run by ", 0), 0u)
            << messages[0].text;
        EXPECT_NE(messages[0].text.find(". Try again when it has finished."), std::string::npos);
        EXPECT_EQ(messages[0].icon, ui::Icon::Exclamation);
        EXPECT_EQ(messages[0].title, "Archive");
    }
}
