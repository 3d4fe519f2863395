#include "app/frm_restore_sheet.h"

#include <QHeaderView>

#include "ui_frm_restore_sheet.h"

namespace app {

frmRestoreSheet::frmRestoreSheet(const archive::RestoreSheet& sheet, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmRestoreSheet>()) {
    m_ui->setupUi(this);
    connect(m_ui->cmdRestore, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    m_ui->lblPatients->setText(QString::number(sheet.toRestore.size()) + " of " + QString::number(sheet.patients));
    m_ui->lblArchiveFolder->setText(QString::fromStdString(sheet.archiveFolder));
    m_ui->lblNotes->setText(QString::number(sheet.notesFiles));
    m_ui->lblRows->setText(QString::number(sheet.TotalRows()));
    m_ui->tblRows->setRowCount(static_cast<int>(sheet.rows.size()));
    for (int r = 0; r < static_cast<int>(sheet.rows.size()); ++r) {
        m_ui->tblRows->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(sheet.rows[r].table)));
        auto* count = new QTableWidgetItem(QString::number(sheet.rows[r].rows));
        count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_ui->tblRows->setItem(r, 1, count);
    }
    m_ui->tblRows->horizontalHeader()->setStretchLastSection(true);
    m_ui->tblRows->verticalHeader()->hide();
    // Compact rows, all eight tables in sight.
    m_ui->tblRows->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_ui->tblRows->setMinimumHeight((fontMetrics().height() + 6) * (static_cast<int>(sheet.rows.size()) + 1) + 8);
    m_ui->tblRows->setFocusPolicy(Qt::NoFocus);
    m_ui->lstSkipped->setWordWrap(true);
    for (const archive::RestoreRefusal& refusal : sheet.refused)
        m_ui->lstSkipped->addItem(QString::fromStdString("Patient " + std::to_string(refusal.ptNum) +
                                                         (refusal.name.empty() ? "" : " (" + refusal.name + ")") +
                                                         ": " + refusal.reason));
    const bool anySkipped = !sheet.refused.empty();
    m_ui->lblSkippedCaption->setVisible(anySkipped);
    m_ui->lstSkipped->setVisible(anySkipped);
    // Nothing to restore: only Cancel makes sense.
    m_ui->cmdRestore->setEnabled(!sheet.toRestore.empty());
    if (sheet.toRestore.empty()) m_ui->cmdCancel->setDefault(true);
}

frmRestoreSheet::~frmRestoreSheet() = default;

bool frmRestoreSheet::Confirm(const archive::RestoreSheet& sheet, QWidget* parent) {
    frmRestoreSheet dialog(sheet, parent);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace app
