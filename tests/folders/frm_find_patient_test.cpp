#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "common/recording_ui.h"
#include "find_test_data.h"
#include "folders/find_item.h"
#include "folders/frm_find_patient.h"
#include "settings/xml_reg.h"
#include "support/temp_dir.h"
#include "views/grid_columns.h"
#include "views/record_grid.h"

namespace fs = std::filesystem;

namespace {

using folders::FindItem;
using folders::frmFindPatient;

class FindDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings::XMLReg = std::make_unique<settings::CXMLReg>();
        settings::XMLReg->SetAppName("tester");
        settings::XMLReg->SetAppPath(data.AppFolder());
        patients = data.Open("IdentFil");
    }
    void TearDown() override { settings::XMLReg.reset(); }

    std::unique_ptr<frmFindPatient> Dialog(int kind, const std::shared_ptr<engine::api::Recordset>& records,
                                           FindItem* item) {
        auto dialog = std::make_unique<frmFindPatient>();
        dialog->SetAppPath(data.AppFolder());
        dialog->SetFolderId(kind);
        dialog->SetRecordset(records);
        dialog->SettheItem(item);
        return dialog;
    }
    // Types a text, presses Find Now and then Accept.
    static void FindAndAccept(frmFindPatient& dialog, const QString& text) {
        dialog.show();
        dialog.txtLookFor()->setText(text);
        dialog.cmdFindNow()->click();
        dialog.cmdOK()->click();
    }
    double PatientBookmark(const std::string& ptNum) {
        return folders_testing::BookmarkWhere(*patients, "PtNum", ptNum);
    }
    std::string RememberedPatientMethod() { return settings::XMLReg->GetSetting("Look For", "LFPatient", "none"); }
    // The last name of the grid's selected patient.
    static std::string SelectedLastName(frmFindPatient& dialog) {
        const views::SelectedRowList selected = dialog.grdFind()->SelectedRows();
        if (selected.Count() != 1) return "(" + std::to_string(selected.Count()) + " selected)";
        const int column = dialog.grdFind()->Columns().ItemByPosition(1).Index();
        std::string name = dialog.grdFind()->CellValue(selected.Item(1).RowIndex, column).As<std::string>();
        return name.substr(0, name.find_last_not_of(' ') + 1);
    }

    ui::RecordingUi ui;
    folders_testing::FindTestData data;
    std::shared_ptr<engine::api::Recordset> patients;
};

TEST_F(FindDialogTest, TheKindSetsFolderKeysLayoutCaptionAndIcon) {
    frmFindPatient dialog;
    EXPECT_EQ(dialog.windowTitle(), "Find Patient");
    EXPECT_EQ(dialog.HelpContextID(), 770);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    dialog.SetFolderId(3);  // before AppPath: the layout has no folder
    EXPECT_EQ(dialog.LayoutFile(), "/etc/TFindDoctor.lyt");
    dialog.SetAppPath("/srv/app");
    EXPECT_EQ(dialog.ParameterFile(), "/srv/app/Folders.xml");
    dialog.SetFolderId(23);
    EXPECT_EQ(dialog.Folder(), "Patients");
    EXPECT_EQ(dialog.ItemValueFieldName(), "LastNam");
    EXPECT_EQ(dialog.LookForKey(), "LFPatient");
    EXPECT_EQ(dialog.LayoutFile(), "/srv/app/etc/TFindPatientMru.lyt");
    dialog.SetFolderId(7);
    EXPECT_EQ(dialog.ItemValueFieldName(), "");
    EXPECT_EQ(dialog.windowTitle(), "Find Place of Service (POS)");
    dialog.SetFolderId(8);
    EXPECT_EQ(dialog.windowTitle(), "Find Insurance Carrier");
    EXPECT_FALSE(dialog.windowIcon().isNull());
    dialog.SetFolderId(12);  // no kind: stored, nothing else changes
    EXPECT_EQ(dialog.FolderId(), 12);
    EXPECT_EQ(dialog.Folder(), "Insurance Carriers");
    EXPECT_EQ(dialog.windowTitle(), "Find Insurance Carrier");
}

TEST_F(FindDialogTest, AcceptWritesEachKindsTextAndValue) {
    FindItem patient;
    auto dialog = Dialog(1, patients, &patient);
    FindAndAccept(*dialog, "smith, jo");
    EXPECT_FALSE(dialog->Cancelled());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(patient.Text(), engine::Value("Smith, John"));
    EXPECT_EQ(patient.Value(), engine::Value(PatientBookmark("2")));
    EXPECT_EQ(dialog->Bookmark(), PatientBookmark("2"));

    FindItem doctor;
    dialog = Dialog(3, data.Open("SELECT * FROM DocIdent WHERE NOT EMPTY(Doc)"), &doctor);
    FindAndAccept(*dialog, "zeller");
    EXPECT_EQ(doctor.Text(), engine::Value("Zeller, Hanna"));
    EXPECT_EQ(doctor.Value(), engine::Value("D77  "));  // as the field holds it

    FindItem carrier;
    dialog = Dialog(8, data.Open("InsIdent"), &carrier);
    FindAndAccept(*dialog, "zenith");
    EXPECT_EQ(carrier.Text(), engine::Value("Zenith Mutual" + std::string(27, ' ')));
    EXPECT_EQ(carrier.Value(), engine::Value("77:Zenith Mutual:R77:MC:S7   "));
    // Nothing selected: the empty forms.
    dialog->cmdClear()->click();
    EXPECT_EQ(carrier.Value(), engine::Value(int64_t{-1}));
    dialog->cmdOK()->click();
    EXPECT_EQ(carrier.Text(), engine::Value(""));
    EXPECT_EQ(carrier.Value(), engine::Value("::::"));

    FindItem place;
    dialog = Dialog(7, data.Open("SELECT * FROM Ref WHERE RefNum < 0"), &place);
    dialog->show();
    dialog->cmdOK()->click();
    EXPECT_EQ(place.Text(), engine::Value(";;;;"));
    EXPECT_EQ(place.Value(), engine::Value(int64_t{-1}));
    dialog->cmdClear()->click();
    EXPECT_EQ(place.Text(), engine::Value(""));
}

TEST_F(FindDialogTest, ActivationSearchesThePrefilledTextAndCloseRestoresItemAndBookmark) {
    FindItem item;
    item.SetText("Smith, John");
    item.SetValue("key");
    item.SetState(7);
    auto dialog = Dialog(1, patients, &item);
    dialog->SetBookmark(PatientBookmark("4"));
    dialog->show();
    EXPECT_TRUE(dialog->Cancelled());
    EXPECT_EQ(dialog->txtLookFor()->text(), "Smith, John");
    EXPECT_EQ(dialog->cmdFindNow()->text(), "Find Next");
    EXPECT_EQ(item.Value(), engine::Value(PatientBookmark("2")));  // already the row found

    dialog->cmdCancel()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->Cancelled());
    EXPECT_EQ(item.Text(), engine::Value("Smith, John"));
    EXPECT_EQ(item.Value(), engine::Value("key"));
    EXPECT_EQ(item.State(), 7);
    EXPECT_EQ(dialog->Bookmark(), PatientBookmark("4"));

    // Destroyed without Accept, the dialog puts the item back as well.
    dialog->show();
    dialog->grdFind()->MoveToBookmark(std::llround(PatientBookmark("3")));
    dialog->cmdOK()->click();
    EXPECT_EQ(item.Text(), engine::Value("Smithers, Joanne"));
    dialog->show();
    item.SetValue("changed by the caller");
    dialog.reset();
    EXPECT_EQ(item.Text(), engine::Value("Smithers, Joanne"));
}

TEST_F(FindDialogTest, FindNowBecomesFindNextAndTypingStartsAgainFromTheTop) {
    FindItem item;
    auto dialog = Dialog(1, patients, &item);
    dialog->show();
    EXPECT_EQ(SelectedLastName(*dialog), "Brown");  // the first row as the grid comes up
    QTest::keyClicks(dialog->txtLookFor(), "smith");
    EXPECT_EQ(dialog->cmdFindNow()->text(), "Find Now");
    dialog->cmdFindNow()->click();
    EXPECT_EQ(dialog->cmdFindNow()->text(), "Find Next");
    EXPECT_EQ(SelectedLastName(*dialog), "Smith");
    dialog->cmdFindNow()->click();
    EXPECT_EQ(SelectedLastName(*dialog), "Smith");  // Jolene
    dialog->cmdFindNow()->click();
    EXPECT_EQ(SelectedLastName(*dialog), "Smithers");
    QTest::keyClick(dialog->txtLookFor(), Qt::Key_Backspace);
    EXPECT_EQ(dialog->cmdFindNow()->text(), "Find Now");
    QTest::keyClick(dialog->txtLookFor(), Qt::Key_Return);  // Enter presses Find Now
    EXPECT_EQ(dialog->cmdFindNow()->text(), "Find Next");
    dialog->cmdOK()->click();
    EXPECT_EQ(item.Text(), engine::Value("Smith, John"));
    // Clear leaves no row selected.
    dialog->show();
    dialog->cmdClear()->click();
    EXPECT_EQ(dialog->grdFind()->SelectedRows().Count(), 0);
    EXPECT_EQ(item.Text(), engine::Value(""));
    EXPECT_EQ(item.Value(), engine::Value(int64_t{-1}));
}

TEST_F(FindDialogTest, SearchOnUsesThatMethodOnceAndKeepsTheRememberedOne) {
    settings::XMLReg->SaveSetting("Look For", "LFPatient", "1");
    FindItem item;
    item.SetText("5");
    auto dialog = Dialog(1, patients, &item);
    dialog->SetSearchOn(2);  // "Patient Number"
    dialog->show();
    EXPECT_EQ(dialog->cboLookForMethod()->currentIndex(), 1);
    EXPECT_EQ(RememberedPatientMethod(), "1");
    EXPECT_EQ(item.Text(), engine::Value("Smith, Jolene"));
    // Choosing a method is remembered.
    dialog->cboLookForMethod()->setCurrentIndex(4);
    EXPECT_EQ(RememberedPatientMethod(), "4");
    EXPECT_EQ(dialog->cboLookForMethod()->count(), 5);
}

TEST_F(FindDialogTest, SearchOnMinusTwoShowsTheCallersBookmark) {
    FindItem item;
    auto dialog = Dialog(1, patients, &item);
    dialog->SetBookmark(PatientBookmark("6"));
    dialog->SetSearchOn(-2);
    dialog->show();
    EXPECT_EQ(SelectedLastName(*dialog), "Jordan");
    EXPECT_EQ(item.Text(), engine::Value("Jordan, Smithy"));
}

TEST_F(FindDialogTest, TheLayoutIsSavedOnlyWhenChangedAndNeverCreated) {
    const fs::path layout = data.AppPath() / "etc" / "TFindPatient.lyt";
    const std::string original = testing_support::ReadFile(layout);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(layout, old);
    FindItem item;
    Dialog(1, patients, &item)->show();
    EXPECT_EQ(fs::last_write_time(layout), old);

    // A changed column width rewrites the file, read-only or not.
    fs::permissions(layout, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    auto dialog = Dialog(1, patients, &item);
    dialog->show();
    dialog->grdFind()->Columns().Item(1).SetWidth(2500);
    dialog.reset();
    const std::string saved = testing_support::ReadFile(layout);
    EXPECT_NE(saved, original);
    EXPECT_NE(saved.find("Width=\"2500\""), std::string::npos);
    EXPECT_NE(fs::status(layout).permissions() & fs::perms::owner_write, fs::perms::none);

    fs::remove(layout);
    dialog = Dialog(1, patients, &item);
    dialog->show();
    dialog->grdFind()->SetRowHeight(400);  // without its file the grid has no columns
    dialog.reset();
    EXPECT_FALSE(fs::exists(layout));
}

TEST_F(FindDialogTest, ABrokenFolderFileIsReportedAndTheMethodListKept) {
    testing_support::WriteFile(data.AppPath() / "Folders.xml", "<Data><LookIn>\n<Folder>");
    FindItem item;
    auto dialog = Dialog(1, patients, &item);
    dialog->show();
    ASSERT_FALSE(ui.Messages().empty());
    EXPECT_NE(ui.Messages().front().text.find("frmFindPatient/LoadLookFor:  Error loading Folders file.\r\n"),
              std::string::npos);
    EXPECT_EQ(dialog->cboLookForMethod()->count(), 5);
    EXPECT_EQ(dialog->cboLookForMethod()->itemText(0), "Patient Number");
}

TEST_F(FindDialogTest, KeysAcceptCloseAndMoveTheFocus) {
    FindItem item;
    auto dialog = Dialog(1, patients, &item);
    dialog->show();
    QTest::keyClicks(dialog->txtLookFor(), "jor");
    QTest::keyClick(dialog->txtLookFor(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_EQ(dialog->txtLookFor()->text(), "jor");  // swallowed
    EXPECT_EQ(dialog->focusWidget(), dialog->grdFind()->Table());
    QTest::keyClick(dialog->grdFind()->Table(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(dialog->focusWidget(), dialog->txtLookFor());
    QTest::keyClick(dialog->txtLookFor(), Qt::Key_F1);
    ASSERT_FALSE(ui.calls.empty());
    EXPECT_EQ(ui.calls.back().kind, ui::Shown::Kind::Help);
    EXPECT_EQ(ui.calls.back().number, 770);
    QTest::keyClick(dialog->txtLookFor(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->Cancelled());

    dialog->show();
    dialog->cmdFindNow()->click();
    QTest::keyClick(dialog->txtLookFor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->Cancelled());
    EXPECT_EQ(item.Text(), engine::Value("Jordan, Smithy"));
}

TEST_F(FindDialogTest, AFailingAcceptSaysInvalidSelectionAndStaysOpen) {
    auto dialog = Dialog(1, patients, nullptr);
    dialog->show();
    dialog->cmdOK()->click();
    ASSERT_EQ(ui.Messages().size(), 1u);
    EXPECT_EQ(ui.Messages()[0].text, "Invalid selection.");
    EXPECT_EQ(ui.Messages()[0].icon, ui::Icon::Exclamation);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->Cancelled());
}

TEST_F(FindDialogTest, TheDialogIsKeptOnTheScreen) {
    ui.screen = {800, 600, 15.0, 15.0};
    FindItem item;
    auto dialog = Dialog(1, patients, &item);
    dialog->resize(600, 400);
    dialog->move(300, 500);
    dialog->show();
    EXPECT_EQ(dialog->frameGeometry().bottom() + 1, 600);
    EXPECT_EQ(dialog->frameGeometry().right() + 1, 800);
}

TEST_F(FindDialogTest, WritingBookmarkPositionsTheClone) {
    frmFindPatient dialog;
    dialog.SetRecordset(patients);
    dialog.SetBookmark(PatientBookmark("3"));
    EXPECT_EQ(dialog.Bookmark(), PatientBookmark("3"));
    dialog.SetBookmark(0);
    EXPECT_TRUE(dialog.Recordset()->Bof());
    EXPECT_EQ(dialog.Bookmark(), 0);
    // The caller's recordset keeps its place.
    EXPECT_FALSE(patients->Bof());
}

}  // namespace
