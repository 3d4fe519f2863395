// frmRestore: the "Restore..." dialog of the main window. It lists the archive's patients in
// the grid of the Patients folder (the folder's layout over the archive database; the
// designed patient grid when the folder names none), several rows selectable, with "Restore"
// and "Close". Restore runs archive::RestorePatients (restore_run.h) for the selected patients
// with this dialog as its face: the password dialog, the pre-flight sheet (frmRestoreSheet),
// the main window's status balloon, and a Stop button of its own that shows during the run.
// Afterwards the grid is read again and the closing message tells what was restored. F1
// opens the help at restoring (help context kHelpContext). Layout in frm_restore.ui.
// User-interface thread only; the modal dialog lives on the caller's stack.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "app/password_dialog.h"
#include "archive/restore_run.h"

namespace Ui {
class frmRestore;
}  // namespace Ui

namespace views {
class RecordGrid;
}  // namespace views

namespace app {

class frmRestore : public QDialog, public archive::RestoreFace, public StatusServices {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 1920;

    // databasePath: the practice container; practice: its connection; balloon: the main
    // window's status balloon; layoutFile: the Patients folder's layout file (empty: the
    // designed grid); helpFile: the program's help file.
    frmRestore(std::string databasePath, engine::api::Connection* practice, StatusServices& balloon,
               std::string layoutFile, std::string helpFile, QWidget* parent = nullptr);
    ~frmRestore() override;

    // Reads the archive's patients into the grid; reports an error and leaves it empty when
    // the archive cannot be read.
    void LoadArchive();
    // The patient numbers of the selected grid rows, in selection order.
    std::vector<int32_t> SelectedPatients() const;
    void cmdRestore_Click();
    // True once a restore moved a patient back (the main window then reads its grid again).
    bool RestoredAny() const { return m_restoredAny; }
    views::RecordGrid* grdArchive() const { return m_grid; }

    // RestoreFace
    const std::string& DatabasePath() const override { return m_databasePath; }
    engine::api::Connection* PracticeConnection() override { return m_practice; }
    StatusServices& Status() override { return *this; }
    void SetStopFlag(bool stop) override { m_stopFlag = stop; }
    void ShowStopButton(bool visible) override;
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return m_prompt; }
    bool ConfirmRestore(const archive::RestoreSheet& sheet) override;
    std::string StartedBy() const override { return "window"; }

    // StatusServices: the balloon is the main window's; the stop flag is this dialog's.
    void ShowStatus(const std::string& title, const std::string& text, bool bringToFront) override;
    void HideStatus() override;
    bool StopRequested() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    std::unique_ptr<Ui::frmRestore> m_ui;
    views::RecordGrid* m_grid = nullptr;
    std::string m_databasePath;
    engine::api::Connection* m_practice;
    StatusServices& m_balloon;
    std::string m_layoutFile;
    std::string m_helpFile;
    deletion::DialogPasswordPrompt m_prompt;
    bool m_stopFlag = false;
    bool m_running = false;
    bool m_restoredAny = false;
};

}  // namespace app
