// The restore dialog offscreen: it lists the archive's patients in the patient grid, restores
// the selected ones after its pre-flight sheet, reads the archive again and says what it did.
#include "app/frm_restore.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "app/engine_record_sources.h"
#include "app/frm_restore_sheet.h"
#include "restore_fixture.h"
#include "support/temp_dir.h"
#include "views/record_grid.h"

namespace {

using namespace restore_testing;
using testing_support::TempDir;

// Runs user on the pre-flight sheet once it is up.
void WhenSheetShown(std::function<void(app::frmRestoreSheet&)> user) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [user, attempt](int left) {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* sheet = qobject_cast<app::frmRestoreSheet*>(widget); sheet && sheet->isVisible()) {
                user(*sheet);
                return;
            }
        if (left > 0) QTimer::singleShot(10, [attempt, left] { (*attempt)(left - 1); });
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(500); });
}

class FrmRestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        app::InstallEngineRecordSources();
        MakePractice(Data(), 8, 21);
        MakeArchiveLike(Data(), Data() / "Archive");
        original = Read(Data());
        for (const Row& row : original.at("IdentFil")) all.push_back(row.patient);
        chosen = {all[1], all[4], all[6]};
        ArchiveAndPack(Data(), chosen);
        practice = AdoTools::Connect_DBC(Data().string(), "Corvane.dbc");
    }
    fs::path Data() const { return dir / "Data"; }

    TempDir dir;
    Snapshot original;
    std::vector<int32_t> all, chosen;
    std::unique_ptr<engine::api::Connection> practice;
    RecordingStatus balloon;
};

TEST_F(FrmRestoreTest, ListsTheArchiveAndRestoresTheSelectedPatientsAfterTheSheet) {
    ui::RecordingUi shown;
    app::frmRestore dialog((Data() / "Corvane.dbc").string(), practice.get(), balloon, "", "/app/Corvane.chm");
    dialog.LoadArchive();
    dialog.show();
    views::RecordGrid* grid = dialog.grdArchive();
    ASSERT_EQ(grid->RowCount(), 3);
    ASSERT_NE(dialog.findChild<QPushButton*>("cmdRestore"), nullptr);
    ASSERT_NE(dialog.findChild<QPushButton*>("cmdClose"), nullptr);
    EXPECT_FALSE(dialog.findChild<QPushButton*>("cmdStop")->isVisible());

    grid->SetRowSelected(1, true);
    grid->SetRowSelected(3, true);
    std::vector<int32_t> selected = dialog.SelectedPatients();
    ASSERT_EQ(selected.size(), 2u);
    std::vector<std::string> skippedShown;
    bool sheetShown = false;
    WhenSheetShown([&](app::frmRestoreSheet& sheet) {
        sheetShown = true;
        EXPECT_FALSE(sheet.findChild<QListWidget*>("lstSkipped")->isVisible());
        QTest::mouseClick(sheet.findChild<QPushButton*>("cmdRestore"), Qt::LeftButton);
    });
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdRestore"), Qt::LeftButton);
    EXPECT_TRUE(sheetShown);
    ASSERT_EQ(shown.Messages().size(), 1u);
    EXPECT_EQ(shown.Messages()[0].title, "Restore Complete");
    EXPECT_EQ(shown.Messages()[0].text, "Restored 2 of 2 patients; 0 skipped.");
    EXPECT_TRUE(dialog.RestoredAny());
    EXPECT_EQ(grid->RowCount(), 1);  // read again: one patient left in the archive

    const Snapshot now = Read(Data());
    for (int32_t p : selected) EXPECT_EQ(RowsOf(now, p, false), RowsOf(original, p, false)) << p;
}

TEST_F(FrmRestoreTest, CancellingTheSheetMovesNothingAndF1OpensTheRestoreTopic) {
    ui::RecordingUi shown;
    app::frmRestore dialog((Data() / "Corvane.dbc").string(), practice.get(), balloon, "", "/app/Corvane.chm");
    dialog.LoadArchive();
    dialog.show();
    dialog.grdArchive()->SetRowSelected(2, true);
    WhenSheetShown([](app::frmRestoreSheet& sheet) {
        QTest::mouseClick(sheet.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    });
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdRestore"), Qt::LeftButton);
    EXPECT_TRUE(shown.Messages().empty());
    EXPECT_FALSE(dialog.RestoredAny());
    EXPECT_EQ(dialog.grdArchive()->RowCount(), 3);

    shown.calls.clear();
    QTest::keyClick(&dialog, Qt::Key_F1);
    ASSERT_EQ(shown.calls.size(), 1u);
    EXPECT_EQ(shown.calls[0].kind, ui::Shown::Kind::Help);
    EXPECT_EQ(shown.calls[0].number, app::frmRestore::kHelpContext);
}

TEST_F(FrmRestoreTest, NothingSelectedSaysSo) {
    ui::RecordingUi shown;
    app::frmRestore dialog((Data() / "Corvane.dbc").string(), practice.get(), balloon, "", "/app/Corvane.chm");
    dialog.LoadArchive();
    QTest::mouseClick(dialog.findChild<QPushButton*>("cmdRestore"), Qt::LeftButton);
    ASSERT_EQ(shown.Messages().size(), 1u);
    EXPECT_EQ(shown.Messages()[0].text, archive::kSelectRestorePatientsFirst);
}

}  // namespace

namespace {

// The dialog's grid keeps its archive rows open through the program's record sources; a
// later archive run in the same program must still be able to replace and pack the archive.
TEST_F(FrmRestoreTest, AfterTheDialogTheArchiveRunStillPacksTheArchive) {
    {
        ui::RecordingUi shown;
        app::frmRestore dialog((Data() / "Corvane.dbc").string(), practice.get(), balloon, "", "/app/Corvane.chm");
        dialog.LoadArchive();
        dialog.show();
        dialog.grdArchive()->SetRowSelected(1, true);
        WhenSheetShown([](app::frmRestoreSheet& sheet) {
            QTest::mouseClick(sheet.findChild<QPushButton*>("cmdRestore"), Qt::LeftButton);
        });
        QTest::mouseClick(dialog.findChild<QPushButton*>("cmdRestore"), Qt::LeftButton);
        ASSERT_TRUE(dialog.RestoredAny());
    }
    practice.reset();
    // Archived again: its rows marked deleted in the archive are removed and the archive packed.
    const std::string shown = ArchiveAndPack(Data(), chosen);
    EXPECT_EQ(shown.find("already in archive"), std::string::npos) << shown;
    const Snapshot archived = Read(Data() / "Archive");
    for (int32_t p : chosen) EXPECT_EQ(RowsOf(archived, p, false), RowsOf(original, p, false)) << p;
}

}  // namespace
