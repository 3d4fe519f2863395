// frmArchive's Archive button: the window's side of the archive run. The run itself lives in
// archive_run.cpp behind the ArchiveWindow interface; this adapter answers it from the
// window's state, its patient grid and its folder bar.
#include <QPushButton>

#include "app/frm_archive.h"
#include "app/frm_preflight.h"
#include "app/password_dialog.h"
#include "app/recordset_source.h"
#include "archive/archive_run.h"
#include "common/exception_text.h"
#include "common/process.h"
#include "common/product.h"
#include "folders/folder_bar.h"
#include "views/record_grid.h"

namespace app {
namespace {

class WindowArchiveAdapter final : public ArchiveWindow {
public:
    explicit WindowArchiveAdapter(frmArchive& window)
        : m_window(window), m_prompt(window.AppPath() + "/" + frmArchive::kHelpFile) {}

    const std::string& DatabasePath() const override { return m_window.DatabasePath(); }
    engine::api::Connection* PracticeConnection() override { return m_window.Connection(); }
    StatusServices& Status() override { return m_window; }
    void SetStopFlag(bool stop) override { m_window.SetStopFlag(stop); }
    void ShowStopButton(bool visible) override { m_window.cmdStop()->setVisible(visible); }

    long SelectedCount() override { return m_window.grdPatients()->SelectedRows().Count(); }
    long SelectedRowIndex(long entry) override {
        return m_window.grdPatients()->SelectedRows().Item(static_cast<int>(entry)).RowIndex;
    }
    // The patient of a grid row: the grid's recordset moved to the row's bookmark.
    int32_t PatientNumberOfRow(long rowIndex) override {
        views::RecordGrid* grid = m_window.grdPatients();
        const std::shared_ptr<engine::api::Recordset> recordset = RecordsetOf(grid->BoundRecordset());
        if (!recordset) return 0;
        recordset->SetBookmark(static_cast<double>(grid->RowBookmark(static_cast<int>(rowIndex))));
        return GetPatientNumber(*recordset);
    }
    // Opens the folder selected in the folder bar once more, exactly as a click on it would.
    void ReloadCurrentFolder() override {
        const folders::FolderBarItem* item = m_window.suiFolders()->Model().Selected();
        if (!item) item = m_window.suiFolders()->Model().Current();
        if (item) m_window.suiFolders_ItemClick(*item);
    }
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return m_prompt; }
    std::string ProgramPath() override { return common::ProgramPath(); }
    // The window shows the pre-flight sheet and runs only when the user chooses Archive.
    bool WantsPreflight() const override { return true; }
    bool ConfirmPreflight(const archive::PreflightSheet& sheet) override {
        return frmPreflight::Confirm(sheet, &m_window);
    }

private:
    frmArchive& m_window;
    deletion::DialogPasswordPrompt m_prompt;
};

}  // namespace

void frmArchive::RunArchive() {
    WindowArchiveAdapter adapter(*this);
    app::cmdArchive_Click(adapter);
}

void frmArchive::cmdArchive_Click() {
    if (m_runInProgress) return;
    // For the run: no second run from this window, and no folder change under it (the grid
    // stays scrollable). Close asks instead of closing (closeEvent).
    m_runInProgress = true;
    m_closeAfterRun = false;
    m_cmdArchive->setEnabled(false);
    m_suiFolders->setEnabled(false);
    try {
        RunArchive();
    } catch (...) {
        product::ReportError("frmArchive", "cmdArchive_Click", common::CurrentErrorText(), true);
    }
    m_suiFolders->setEnabled(true);
    m_cmdArchive->setEnabled(true);
    m_runInProgress = false;
    if (m_closeAfterRun) close();
}

}  // namespace app
