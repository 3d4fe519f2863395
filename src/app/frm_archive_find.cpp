// frmArchive's find: the "Find..." button beside Archive and Ctrl+F open the find dialog for
// patients over the records of the patient grid.
#include <cmath>

#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>

#include "app/frm_archive.h"
#include "common/exception_text.h"
#include "common/product.h"
#include "folders/find_item.h"
#include "folders/find_kinds.h"
#include "folders/frm_find_patient.h"
#include "views/record_grid.h"
#include "views/recordset_source.h"

namespace app {
namespace {
constexpr int kFindGapTwips = 105;
}  // namespace

void frmArchive::CreateFindButton() {
    m_cmdFind = new QPushButton("Find...", this);
    m_cmdFind->setObjectName("cmdFind");
    m_cmdFind->setToolTip("Find a patient (Ctrl+F)");
    connect(m_cmdFind, &QPushButton::clicked, this, [this] { cmdFind_Click(); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(shortcut, &QShortcut::activated, this, [this] { cmdFind_Click(); });
}

// Beside Archive, past the place where Stop shows during a run.
void frmArchive::PlaceFindButton() {
    if (!m_cmdFind) return;
    TwipsRect rect = m_geometry.cmdArchive;
    rect.left = m_geometry.cmdStop.left + m_geometry.cmdStop.width + kFindGapTwips;
    Place(m_cmdFind, rect);
}

void frmArchive::cmdFind_Click() {
    try {
        const std::shared_ptr<engine::api::Recordset> recordset = views::RecordsetOf(m_grdPatients->BoundRecordset());
        if (!recordset) return;  // no database open: nothing to look in
        folders::FindItem item;
        bool accepted = false;
        {
            folders::frmFindPatient dialog(this);
            dialog.SetAppPath(m_appPath);
            dialog.SetFolderId(folders::kFindPatients);
            dialog.SetRecordset(recordset);
            dialog.SettheItem(&item);
            dialog.exec();
            accepted = !dialog.Cancelled();
        }
        if (!accepted) return;
        // The patients kind returns the record's bookmark; -1 means that none was chosen.
        const double* bookmark = item.Value().If<double>();
        if (bookmark && *bookmark >= 1) m_grdPatients->MoveToBookmark(std::llround(*bookmark));
    } catch (...) {
        product::ReportError("frmArchive", "cmdFind_Click", common::CurrentErrorText());
    }
}

}  // namespace app
