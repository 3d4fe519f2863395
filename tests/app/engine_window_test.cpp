// The main window on a generated practice database, with the real connection, grid and
// layouts of the demo application folder.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include <QPushButton>

#include "app/recordset_source.h"
#include "archive/archive_creation.h"
#include "archive/archive_run.h"
#include "archive_window_fixture.h"
#include "common/process.h"
#include "db/ado_tools.h"
#include "folders/folder_bar.h"
#include "practice_data.h"
#include "views/record_grid.h"

namespace fs = std::filesystem;
using app_testing::FormLoadTest;
using testing_support::WriteFile;

namespace {

constexpr const char* kRecentPatient = "42";

// A window whose only fake is the archive pack (there is no archive yet).
class EngineWindow : public app::frmArchive {
public:
    using frmArchive::frmArchive;
    using frmArchive::MoveGridToPatient;

protected:
    std::string PackDatabase(const std::string&) override { return {}; }
};

class EngineWindowTest : public FormLoadTest {
protected:
    void SetUp() override {
        FormLoadTest::SetUp();
        fs::copy(fs::path(ARCHIVE_SOURCE_DIR) / "demo" / "etc", root / "app" / "etc");
        WriteFile(root / "app" / "Folders.xml", FoldersXml());
        const std::string parameterFile = AppFolder() + "/" + common::GetLoginName() + ".xml";
        WriteFile(parameterFile, "<?xml version=\"1.0\"?>\n<Data>\n\t<Recent-Files>\n\t\t<RecentFile1>" +
                                     data.Container() + "</RecentFile1>\n\t</Recent-Files>\n</Data>\n");
        settings::CXMLReg store;
        store.SetAppName(common::GetLoginName());
        store.SetAppPath(AppFolder());
        store.SaveSetting(data.Folder() + "/Recent Patients", "RecentFile1", kRecentPatient);
    }
    static std::string FoldersXml() {
        return R"(<Data>
  <Patients><SubFolder>Active Patients</SubFolder></Patients>
  <Patients><SubFolder>By Number</SubFolder></Patients>
  <Patients><SubFolder>Lost Layout</SubFolder></Patients>
  <Folder><Name>Patients</Name><Layout>patients.lyt</Layout><LookInTitle>Last Name</LookInTitle></Folder>
  <Folder><Name>Active Patients</Name><Layout>active.lyt</Layout><LookInTitle>Last Name</LookInTitle></Folder>
  <Folder><Name>By Number</Name><Layout>by_number.lyt</Layout><LookInTitle>Last Name</LookInTitle></Folder>
  <Folder><Name>Lost Layout</Name><Layout>missing.lyt</Layout><LookInTitle>Last Name</LookInTitle></Folder>
</Data>)";
    }
    // The patient number of the grid's selected rows, read as the archive run reads it.
    static std::vector<long> SelectedPatients(views::RecordGrid& grid) {
        std::vector<long> numbers;
        const views::SelectedRowList selected = grid.SelectedRows();
        const auto recordset = app::RecordsetOf(grid.BoundRecordset());
        for (int i = 1; i <= selected.Count(); ++i) {
            recordset->SetBookmark(static_cast<double>(grid.RowBookmark(selected.Item(i).RowIndex)));
            engine::api::Field* field = AdoTools::GetField(*recordset, "PtNum");
            if (!field) field = AdoTools::GetField(*recordset, "Patient Number");
            numbers.push_back(static_cast<long>(field->Value().As<int64_t>()));
        }
        return numbers;
    }

    app_testing::PracticeData data;
};

TEST_F(EngineWindowTest, StartUpConnectsAndShowsThePatientsOfTheDatabaseAtTheRecentPatient) {
    EngineWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_TRUE(rec.Messages().empty());
    ASSERT_NE(window.Connection(), nullptr);
    EXPECT_EQ(window.Connection()->State(), 1);
    EXPECT_EQ(window.GridConnectionString(), window.Connection()->ConnectionString());

    std::vector<std::string> bar;
    for (const folders::FolderBarItem& item : window.suiFolders()->Model().Items()) bar.push_back(item.Key);
    EXPECT_EQ(bar, (std::vector<std::string>{"Corvane", "Patients", "Active Patients", "By Number", "Lost Layout"}));

    views::RecordGrid& grid = *window.grdPatients();
    EXPECT_EQ(grid.objectName(), "grdPatients");
    EXPECT_TRUE(grid.MultiSelect());
    EXPECT_EQ(grid.ConnectionString(), window.GridConnectionString());
    EXPECT_EQ(grid.RowCount(), data.Count("IdentFil"));
    EXPECT_EQ(grid.Columns().Item(2).Caption(), "Last Name");
    EXPECT_EQ(SelectedPatients(grid), std::vector<long>{42});
}

TEST_F(EngineWindowTest, ASubFolderClickLoadsItsLayoutOverTheSameDatabase) {
    data.Connect()->Execute("UPDATE IdentFil SET Deceased = .T. WHERE PtNum <= 4");
    EngineWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    ASSERT_TRUE(window.suiFolders()->SelectItem("Active Patients"));
    views::RecordGrid& grid = *window.grdPatients();
    EXPECT_EQ(grid.RowCount(), data.Count("SELECT PtNum FROM IdentFil WHERE NOT Deceased"));
    EXPECT_EQ(grid.RowCount(), data.Count("IdentFil") - 4);
    EXPECT_EQ(grid.Groups().Count(), 1);
    EXPECT_EQ(SelectedPatients(grid), std::vector<long>{42});
    EXPECT_TRUE(rec.Messages().empty());
}

TEST_F(EngineWindowTest, ARecordSourceWithoutPtNumIsSearchedByPatientNumber) {
    views::RecordGrid grid;
    grid.SetConnectionString(data.ConnectionString());
    grid.SetRecordSourceSql("SELECT PtNum AS [Patient Number], LastNam FROM IdentFil");
    grid.Columns().Add("Patient Number", "Patient Number");
    grid.SaveLayoutFile((root / "app" / "etc" / "by_number.lyt").string());

    EngineWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    ASSERT_TRUE(window.suiFolders()->SelectItem("By Number"));
    EXPECT_TRUE(rec.Messages().empty());
    ASSERT_EQ(window.grdPatients()->Columns().Count(), 1);
    EXPECT_EQ(SelectedPatients(*window.grdPatients()), std::vector<long>{42});
    window.MoveGridToPatient("7");
    EXPECT_EQ(SelectedPatients(*window.grdPatients()), std::vector<long>{7});
    window.MoveGridToPatient("99999");  // not there: the grid stays put
    EXPECT_EQ(SelectedPatients(*window.grdPatients()), std::vector<long>{7});
}

TEST_F(EngineWindowTest, AMissingLayoutIsReportedAndLeavesTheGridAsItWas) {
    EngineWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    views::RecordGrid& grid = *window.grdPatients();
    const std::string layout = grid.LayoutText();
    const auto rows = grid.BoundRecordset();
    ASSERT_TRUE(window.suiFolders()->SelectItem("Lost Layout"));
    const std::string missing = AppFolder() + "/etc/missing.lyt";
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"frmArchive/suiFolders_ItemClick:  Error #: 1, Descr: File '" +
                                                       missing + "' does not exist."});
    EXPECT_EQ(grid.LayoutText(), layout);
    EXPECT_EQ(grid.BoundRecordset(), rows);
    EXPECT_EQ(grid.RowCount(), data.Count("IdentFil"));
}

TEST_F(EngineWindowTest, ALayoutWhoseSelectFailsKeepsTheRowsShown) {
    views::RecordGrid broken;
    broken.SetRecordSourceSql("SELECT NoSuchField FROM IdentFil");
    broken.Columns().Add("Nothing", "NoSuchField");
    broken.SaveLayoutFile((root / "app" / "etc" / "by_number.lyt").string());
    EngineWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    views::RecordGrid& grid = *window.grdPatients();
    const std::string layout = grid.LayoutText();
    window.suiFolders()->SelectItem("By Number");
    ASSERT_EQ(rec.Messages().size(), 1u);
    EXPECT_EQ(grid.LayoutText(), layout);
    EXPECT_EQ(grid.RowCount(), data.Count("IdentFil"));
    EXPECT_EQ(grid.Columns().Count(), 9);
}

}  // namespace

// The Archive button on the real window: the selected patient leaves the grid and the practice
// database, the archive holds it, and the run ends with the completion message.
TEST_F(EngineWindowTest, TheArchiveButtonArchivesTheSelectedPatientAndReloadsTheFolder) {
    EngineWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    ASSERT_EQ(SelectedPatients(*window.grdPatients()), std::vector<long>{42});
    {
        // The archive exists already, so the run does not start the program with -create.
        std::unique_ptr<engine::api::Connection> practice = data.Connect();
        app::CreateArchiveDatabase(data.Container(), AppFolder(), window, practice);
    }
    const long before = window.grdPatients()->RowCount();
    rec.calls.clear();

    window.cmdArchive()->click();

    const auto shown = rec.Messages();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().title, "Archive Complete");
    EXPECT_EQ(shown.back().text, "Archived 1 of 1 patient; 0 skipped.\r\n\r\n" + app::ArchiveCompleteText());
    EXPECT_TRUE(window.cmdArchive()->isEnabled());
    EXPECT_FALSE(window.cmdStop()->isVisibleTo(&window));
    EXPECT_EQ(window.grdPatients()->RowCount(), before - 1);
    EXPECT_EQ(data.Count("SELECT * FROM IdentFil WHERE PtNum = 42"), 0);
    std::unique_ptr<engine::api::Connection> archive = AdoTools::Connect_DBC(data.Folder() + "/Archive", "Corvane.dbc");
    engine::api::Recordset archived;
    archived.Open("SELECT * FROM IdentFil WHERE PtNum = 42", *archive);
    EXPECT_EQ(archived.RecordCount(), 1);
}
