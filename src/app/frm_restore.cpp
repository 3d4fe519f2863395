#include "app/frm_restore.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "app/frm_restore_sheet.h"
#include "app/patient_grid.h"
#include "archive/archive_paths.h"
#include "archive/archive_run.h"
#include "common/exception_text.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "ui_frm_restore.h"
#include "views/record_grid.h"
#include "views/record_source.h"
#include "views/recordset_source.h"

namespace app {
namespace {
constexpr const char* kModule = "frmRestore";
}  // namespace

frmRestore::frmRestore(std::string databasePath, engine::api::Connection* practice, StatusServices& balloon,
                       std::string layoutFile, std::string helpFile, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::frmRestore>()),
      m_databasePath(std::move(databasePath)),
      m_practice(practice),
      m_balloon(balloon),
      m_layoutFile(std::move(layoutFile)),
      m_helpFile(std::move(helpFile)),
      m_prompt(m_helpFile) {
    m_ui->setupUi(this);
    m_grid = MakePatientGrid(m_ui->pnlGrid);
    m_grid->setObjectName("grdArchive");
    m_ui->pnlGrid->layout()->addWidget(m_grid);
    m_ui->cmdStop->hide();
    connect(m_ui->cmdRestore, &QPushButton::clicked, this, [this] { cmdRestore_Click(); });
    connect(m_ui->cmdStop, &QPushButton::clicked, this, [this] { m_stopFlag = true; });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &frmRestore::reject);
    m_ui->lblRestore->setText(QString::fromStdString("Select patients to restore and then the Restore button.  (" +
                                                     archive::ArchiveFolderOfDatabase(m_databasePath) + ")."));
}

frmRestore::~frmRestore() = default;

void frmRestore::LoadArchive() {
    try {
        const std::string archiveFolder = archive::ArchiveFolderOfDatabase(m_databasePath);
        if (archive::ArchiveNeedsCreating(archiveFolder)) {
            m_grid->SetBoundRecordset(nullptr);
            return;
        }
        std::string connectionString;
        {
            std::unique_ptr<engine::api::Connection> archive =
                AdoTools::Connect_DBC(archiveFolder, archive::kArchiveContainer);
            connectionString = archive->ConnectionString();
            archive->Close();
        }
        if (!m_layoutFile.empty()) {
            m_grid->LoadLayoutFile(m_layoutFile, true, connectionString);
        } else {
            ApplyPatientGridDesign(*m_grid);
            m_grid->SetConnectionString(connectionString);
            m_grid->SetBoundRecordset(views::OpenRecordSource(connectionString, m_grid->RecordSourceSql()));
        }
        m_grid->SetMultiSelect(true);
    } catch (...) {
        product::ReportError(kModule, "LoadArchive", common::CurrentErrorText(), true);
    }
}

std::vector<int32_t> frmRestore::SelectedPatients() const {
    std::vector<int32_t> patients;
    const std::shared_ptr<engine::api::Recordset> recordset = views::RecordsetOf(m_grid->BoundRecordset());
    if (!recordset) return patients;
    const views::SelectedRowList selected = m_grid->SelectedRows();
    for (int i = 1; i <= selected.Count(); ++i) {
        const int rowIndex = selected.Item(i).RowIndex;
        if (rowIndex < 1) continue;  // a group heading
        recordset->SetBookmark(static_cast<double>(m_grid->RowBookmark(rowIndex)));
        if (const int32_t patient = GetPatientNumber(*recordset); patient > 0) patients.push_back(patient);
    }
    return patients;
}

void frmRestore::cmdRestore_Click() {
    if (m_running) return;
    m_running = true;
    m_ui->cmdRestore->setEnabled(false);
    m_ui->cmdClose->setEnabled(false);
    archive::RestoreSummary summary;
    try {
        summary = archive::RestorePatients(*this, SelectedPatients());
    } catch (...) {
        product::ReportError(kModule, "cmdRestore_Click", common::CurrentErrorText(), true);
        summary.ending = archive::RestoreSummary::Ending::Refused;
    }
    m_ui->cmdClose->setEnabled(true);
    m_ui->cmdRestore->setEnabled(true);
    m_running = false;
    using Ending = archive::RestoreSummary::Ending;
    if (summary.ending == Ending::Refused || summary.ending == Ending::Cancelled) return;
    if (summary.restored > 0) m_restoredAny = true;
    LoadArchive();
    ui::MsgBox(archive::RestoreCompleteText(summary), ui::Icon::Information, "Restore Complete");
}

void frmRestore::ShowStopButton(bool visible) { m_ui->cmdStop->setVisible(visible); }

bool frmRestore::ConfirmRestore(const archive::RestoreSheet& sheet) { return frmRestoreSheet::Confirm(sheet, this); }

void frmRestore::ShowStatus(const std::string& title, const std::string& text, bool bringToFront) {
    m_balloon.ShowStatus(title, text, bringToFront);
}

void frmRestore::HideStatus() { m_balloon.HideStatus(); }

bool frmRestore::StopRequested() {
    ui::Current().DoEvents();
    return m_stopFlag;
}

void frmRestore::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        ui::Current().ShowHelp(m_helpFile, kHelpContext);
        return;
    }
    QDialog::keyPressEvent(event);
}

// Escape and the window's close box close the dialog, but not while a restore runs.
void frmRestore::reject() {
    if (m_running) return;
    QDialog::reject();
}

}  // namespace app
