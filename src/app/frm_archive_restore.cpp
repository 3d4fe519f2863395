// frmArchive's restore: the "Restore..." button beside Archive (past Find...) opens the
// restore dialog over the archive database in the Patients folder's layout.
#include <QPushButton>

#include "app/frm_archive.h"
#include "app/frm_restore.h"
#include "archive/archive_run.h"
#include "archive/restore_run.h"
#include "common/exception_text.h"
#include "common/product.h"
#include "folders/folder_bar.h"
#include "folders/folder_bar_loading.h"
#include "views/record_grid.h"

namespace app {
namespace {
constexpr int kRestoreGapTwips = 105;
}  // namespace

void frmArchive::CreateRestoreButton() {
    m_cmdRestore = new QPushButton("Restore...", this);
    m_cmdRestore->setObjectName("cmdRestore");
    m_cmdRestore->setToolTip("Bring archived patients back into the practice database");
    connect(m_cmdRestore, &QPushButton::clicked, this, [this] { cmdRestore_Click(); });
}

void frmArchive::PlaceRestoreButton() {
    if (!m_cmdRestore) return;
    TwipsRect rect = m_geometry.cmdArchive;
    rect.left = m_geometry.cmdStop.left + m_geometry.cmdStop.width + kRestoreGapTwips;
    if (m_cmdFind) rect.left += m_geometry.cmdArchive.width + kRestoreGapTwips;
    Place(m_cmdRestore, rect);
}

void frmArchive::cmdRestore_Click() {
    if (m_databasePath.empty() || !m_connection || ArchiveRunInProgress() || archive::RestoreInProgress()) return;
    try {
        // The Patients folder's layout, over the archive instead of the practice.
        folders::FolderBarItem patients;
        patients.Key = "Patients";
        patients.Indent = 1;
        const std::optional<std::string> layout = folders::FolderLayoutFile(patients, m_folderDoc, m_appPath);
        bool restored = false;
        {
            frmRestore dialog(m_databasePath, m_connection.get(), *this, layout.value_or(""),
                              m_appPath + "/" + kHelpFile, this);
            dialog.LoadArchive();
            dialog.exec();
            restored = dialog.RestoredAny();
        }
        if (!restored) return;
        const folders::FolderBarItem* item = m_suiFolders->Model().Selected();
        if (!item) item = m_suiFolders->Model().Current();
        if (item) suiFolders_ItemClick(*item);
    } catch (...) {
        product::ReportError("frmArchive", "cmdRestore_Click", common::CurrentErrorText());
    }
}

}  // namespace app
