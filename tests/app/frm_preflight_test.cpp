// The pre-flight dialog: it shows the sheet's counts, Archive is the default button (Enter)
// and Cancel the escape (Escape), and Confirm answers which one was pressed. Filled with the
// counts of a generated database it is drawn offscreen; with ARCHIVE_SHOTS_DIR set the picture
// is kept there, beside one of the message that refuses a second run.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/frm_preflight.h"
#include "archive/run_lock.h"
#include "practice_data.h"
#include "support/holding_child.h"

namespace {

archive::PreflightSheet Sheet() {
    archive::PreflightSheet sheet;
    sheet.patients = 3;
    sheet.rows = {{"IdentFil", 3}, {"Appointment", 9}, {"Case", 4},   {"BillOthe", 1},
                  {"MngCare", 0},  {"PostFile", 12},   {"PatIns", 3}, {"PmtAndChrg", 20}};
    sheet.notesFiles = 2;
    sheet.today = "6/30/2021";
    sheet.withFutureAppointments = 1;
    sheet.futureAppointmentPatients = {{1924, "Smith, John"}};
    sheet.alreadyArchived = 0;
    sheet.archiveFolder = "/srv/data/Archive";
    sheet.archiveExists = true;
    return sheet;
}

template <class T>
T* Find(QWidget& dialog, const char* name) {
    T* widget = dialog.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Presses a button of the modal dialog once it is up.
void PressWhenShown(const char* button) {
    QTimer::singleShot(0, [button] {
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->findChild<QPushButton*>(button)->click();
    });
}

}  // namespace

TEST(frmPreflight, ShowsEveryCountOfTheSheet) {
    app::frmPreflight dialog(Sheet());
    EXPECT_EQ(dialog.windowTitle(), "Archive");
    EXPECT_EQ(Find<QLabel>(dialog, "lblPatients")->text(), "Patients to archive: 3");
    EXPECT_EQ(Find<QLabel>(dialog, "lblArchiveFolder")->text(), "Archive folder: /srv/data/Archive");
    QTableWidget* rows = Find<QTableWidget>(dialog, "tblRows");
    ASSERT_EQ(rows->rowCount(), 9);
    EXPECT_EQ(rows->item(1, 0)->text(), "Appointment");
    EXPECT_EQ(rows->item(1, 1)->text(), "9");
    EXPECT_EQ(rows->item(8, 0)->text(), "Total");
    EXPECT_EQ(rows->item(8, 1)->text(), "52");
    EXPECT_EQ(Find<QLabel>(dialog, "lblNotes")->text(), "Notes files: 2");
    EXPECT_EQ(Find<QLabel>(dialog, "lblFutureAppointments")->text(), "Patients with appointments after 6/30/2021: 1");
    QListWidget* future = Find<QListWidget>(dialog, "lstFutureAppointments");
    ASSERT_EQ(future->count(), 1);
    EXPECT_EQ(future->item(0)->text(), "1924  Smith, John");
    EXPECT_EQ(Find<QLabel>(dialog, "lblAlreadyArchived")->text(),
              "Patients already in the archive (their archive copy will be replaced): 0");
    EXPECT_TRUE(Find<QListWidget>(dialog, "lstAlreadyArchived")->isHidden());
    EXPECT_TRUE(Find<QLabel>(dialog, "lblNotInPractice")->isHidden());

    archive::PreflightSheet missing = Sheet();
    missing.archiveExists = false;
    missing.notInPractice = 1;
    missing.alreadyArchived = 25;
    for (int i = 1; i <= 20; ++i) missing.alreadyArchivedPatients.push_back({i, "P" + std::to_string(i)});
    app::frmPreflight second(missing);
    EXPECT_EQ(Find<QLabel>(second, "lblArchiveFolder")->text(), "Archive folder: /srv/data/Archive (will be created)");
    EXPECT_EQ(Find<QListWidget>(second, "lstAlreadyArchived")->count(), 21);
    EXPECT_EQ(Find<QListWidget>(second, "lstAlreadyArchived")->item(20)->text(), "... and 5 more");
    EXPECT_EQ(Find<QLabel>(second, "lblNotInPractice")->text(),
              "Patients no longer in the practice database (skipped): 1");
}

TEST(frmPreflight, ArchiveIsTheDefaultAndCancelTheEscape) {
    {
        app::frmPreflight dialog(Sheet());
        QPushButton* archive = Find<QPushButton>(dialog, "cmdArchive");
        EXPECT_EQ(archive->text(), "Archive");
        EXPECT_TRUE(archive->isDefault());
        EXPECT_EQ(Find<QPushButton>(dialog, "cmdCancel")->text(), "Cancel");
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    {
        app::frmPreflight dialog(Sheet());
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    PressWhenShown("cmdArchive");
    EXPECT_TRUE(app::frmPreflight::Confirm(Sheet()));
    PressWhenShown("cmdCancel");
    EXPECT_FALSE(app::frmPreflight::Confirm(Sheet()));
}

TEST(frmPreflight, FilledWithTheCountsOfADatabaseItIsDrawnWhole) {
    app_testing::PracticeData practice(300);
    sample::Options blank;
    blank.blank = true;
    sample::WriteSampleDatabase(practice.Folder() + "/Archive", blank);
    {
        auto archive = std::make_unique<engine::api::Connection>();
        archive->Open({}, {}, "SourceDB=" + practice.Folder() + "/Archive/Corvane.dbc;SourceType=DBC;");
        archive->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (290, 'Earlier copy')");
        archive->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (281, 'Earlier copy')");
    }
    auto connection = practice.Connect();
    std::vector<int32_t> patients;
    for (int32_t p = 300; p > 253; --p) patients.push_back(p);
    const archive::PreflightSheet sheet =
        archive::ComputePreflight(patients, *connection, practice.Folder(), archive::Today());
    app::frmPreflight dialog(sheet);
    dialog.show();
    const QPixmap picture = dialog.grab();
    EXPECT_GE(picture.height(), Find<QPushButton>(dialog, "cmdArchive")->geometry().bottom());
    EXPECT_EQ(Find<QListWidget>(dialog, "lstAlreadyArchived")->count(), 2);

    // The message a second run gets while this process holds the run lock.
    const std::string archiveFolder = practice.Folder() + "/Archive";
    testing_support::HoldingChild run([&] {
        return (new archive::RunLock(archive::RunLock::TryAcquire(archiveFolder, archive::LockPurpose::Run)))->Held();
    });
    ASSERT_TRUE(run.Took());
    const archive::RunLock refused = archive::RunLock::TryAcquire(archiveFolder, archive::LockPurpose::Run);
    ASSERT_FALSE(refused.Held());
    QMessageBox box(QMessageBox::Warning, "Archive", QString::fromStdString(refused.RefusalText()), QMessageBox::Ok);
    box.show();
    const QPixmap refusal = box.grab();

    if (const char* shots = std::getenv("ARCHIVE_SHOTS_DIR")) {
        EXPECT_TRUE(picture.save(QString(shots) + "/j-preflight.png"));
        EXPECT_TRUE(refusal.save(QString(shots) + "/j-refused.png"));
    }
}
