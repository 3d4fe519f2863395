// The find dialog reached from the program: Ctrl+F / "Find..." in the main window over the
// patient grid, and the --find command line, on a generated practice database with the demo
// application folder's Folders.xml and layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/find_command.h"
#include "archive_window_fixture.h"
#include "common/process.h"
#include "folders/find_selection.h"
#include "folders/frm_find_patient.h"
#include "practice_data.h"
#include "views/record_grid.h"
#include "views/recordset_source.h"

namespace fs = std::filesystem;
using app_testing::FormLoadTest;
using testing_support::WriteFile;

namespace {

class EngineWindow : public app::frmArchive {
public:
    using frmArchive::frmArchive;

protected:
    std::string PackDatabase(const std::string&) override { return {}; }
};

// Runs work on the find dialog once it shows modally.
void WhenTheDialogShows(std::function<void(folders::frmFindPatient&)> work) {
    QTimer::singleShot(0, [work = std::move(work)] {
        auto* dialog = qobject_cast<folders::frmFindPatient*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        work(*dialog);
    });
}

void Search(folders::frmFindPatient& dialog, const std::string& text) {
    dialog.txtLookFor()->setText(QString::fromStdString(text));
    dialog.cmdFindNow()->click();
}

class FindWindowTest : public FormLoadTest {
protected:
    void SetUp() override {
        FormLoadTest::SetUp();
        fs::copy(fs::path(ARCHIVE_SOURCE_DIR) / "demo" / "etc", root / "app" / "etc");
        fs::copy_file(fs::path(ARCHIVE_SOURCE_DIR) / "demo" / "Folders.xml", root / "app" / "Folders.xml",
                      fs::copy_options::overwrite_existing);
        WriteFile(AppFolder() + "/" + common::GetLoginName() + ".xml",
                  "<?xml version=\"1.0\"?>\n<Data>\n\t<Recent-Files>\n\t\t<RecentFile1>" + data.Container() +
                      "</RecentFile1>\n\t</Recent-Files>\n</Data>\n");
    }
    // Last and first name of the patient in a grid row, trimmed.
    static std::pair<std::string, std::string> NameOfRow(views::RecordGrid& grid, int rowIndex) {
        const auto recordset = views::RecordsetOf(grid.BoundRecordset())->Clone();
        recordset->SetBookmark(static_cast<double>(grid.RowBookmark(rowIndex)));
        const auto text = [&](const char* field) {
            std::string value = folders::ValueAsText(recordset->Fields().Item(field).Value());
            return value.substr(0, value.find_last_not_of(' ') + 1);
        };
        return {text("LastNam"), text("FirstNam")};
    }

    app_testing::PracticeData data{40};
};

TEST_F(FindWindowTest, AcceptMovesThePatientGridToThePatientAndCloseLeavesItAsItWas) {
    EngineWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    views::RecordGrid& grid = *window.grdPatients();
    EXPECT_EQ(window.cmdFind()->text(), "Find...");
    const auto [last, first] = NameOfRow(grid, grid.RowCount());

    WhenTheDialogShows([&, last = last, first = first](folders::frmFindPatient& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Find Patient");
        EXPECT_EQ(dialog.cboLookForMethod()->currentText(), "Last Name, First Name");
        Search(dialog, last + ", " + first);
        dialog.cmdOK()->click();
    });
    window.cmdFind()->click();
    const views::SelectedRowList selected = grid.SelectedRows();
    ASSERT_EQ(selected.Count(), 1);
    EXPECT_EQ(NameOfRow(grid, selected.Item(1).RowIndex), std::make_pair(last, first));
    EXPECT_EQ(grid.CurrentRowIndex(), selected.Item(1).RowIndex);

    const int current = grid.CurrentRowIndex();
    WhenTheDialogShows([](folders::frmFindPatient& dialog) {
        Search(dialog, "a");
        dialog.cmdCancel()->click();
    });
    window.cmdFind_Click();
    EXPECT_EQ(grid.CurrentRowIndex(), current);
    ASSERT_EQ(grid.SelectedRows().Count(), 1);
    EXPECT_EQ(grid.SelectedRows().Item(1).RowIndex, current);
    EXPECT_TRUE(rec.Messages().empty());
}

TEST_F(FindWindowTest, FindCommandPrintsTheAcceptedDoctor) {
    data.Connect()->Execute(
        "INSERT INTO DocIdent (Typ, Hsp, Doc, Name, FirstName) VALUES ('A', '', 'D77', 'Zeller', 'Hanna')");
    std::ostringstream out, err;
    WhenTheDialogShows([](folders::frmFindPatient& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Find Doctor");
        Search(dialog, "zell");
        dialog.cmdOK()->click();
    });
    EXPECT_EQ(app::RunFindCommand("3", AppFolder(), out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "False\nZeller, Hanna\nD77  \n");

    out.str("");
    WhenTheDialogShows([](folders::frmFindPatient& dialog) { dialog.cmdCancel()->click(); });
    EXPECT_EQ(app::RunFindCommand("8", AppFolder(), out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "True\n\n\n");

    EXPECT_EQ(app::RunFindCommand("7", AppFolder(), out, err), 2);
    EXPECT_EQ(app::RunFindCommand("3x", AppFolder(), out, err), 2);
}

}  // namespace
