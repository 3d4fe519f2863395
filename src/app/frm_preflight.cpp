#include "app/frm_preflight.h"

#include <algorithm>

#include <QHeaderView>
#include <QListWidget>
#include <QTableWidget>

#include "ui_frm_preflight.h"

namespace app {
namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

void FillList(QListWidget& list, const std::vector<archive::PatientLine>& lines, long count) {
    list.clear();
    for (const archive::PatientLine& line : lines) list.addItem(QString("%1  %2").arg(line.ptNum).arg(Text(line.name)));
    if (count > static_cast<long>(lines.size()))
        list.addItem(QString("... and %1 more").arg(count - static_cast<long>(lines.size())));
    list.setVisible(count > 0);
    // As tall as its lines, up to eight; longer lists scroll.
    const int shown = std::min(list.count(), 8);
    list.setFixedHeight(list.sizeHintForRow(0) * std::max(shown, 1) + 2 * list.frameWidth() + 2);
}

QTableWidgetItem* Cell(const QString& text, bool number, bool bold = false) {
    auto* item = new QTableWidgetItem(text);
    if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (bold) {
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
    }
    return item;
}

}  // namespace

frmPreflight::frmPreflight(const archive::PreflightSheet& sheet, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::frmPreflight>()) {
    m_ui->setupUi(this);
    Fill(sheet);
    m_ui->cmdArchive->setFocus();
}

frmPreflight::~frmPreflight() = default;

bool frmPreflight::Confirm(const archive::PreflightSheet& sheet, QWidget* parent) {
    frmPreflight dialog(sheet, parent);
    return dialog.exec() == QDialog::Accepted;
}

void frmPreflight::Fill(const archive::PreflightSheet& sheet) {
    m_ui->lblPatients->setText(QString("Patients to archive: %1").arg(sheet.patients));
    m_ui->lblArchiveFolder->setText("Archive folder: " + Text(sheet.archiveFolder) +
                                    (sheet.archiveExists ? QString() : QString(" (will be created)")));

    QTableWidget& rows = *m_ui->tblRows;
    rows.setRowCount(static_cast<int>(sheet.rows.size()) + 1);
    int row = 0;
    for (const archive::TableRows& table : sheet.rows) {
        rows.setItem(row, 0, Cell(Text(table.table), false));
        rows.setItem(row, 1, Cell(QString::number(table.rows), true));
        ++row;
    }
    rows.setItem(row, 0, Cell("Total", false, true));
    rows.setItem(row, 1, Cell(QString::number(sheet.TotalRows()), true, true));
    rows.resizeColumnsToContents();
    rows.horizontalHeader()->setStretchLastSection(true);
    rows.setFixedHeight(rows.horizontalHeader()->height() + rows.rowHeight(0) * rows.rowCount() +
                        2 * rows.frameWidth());

    m_ui->lblNotes->setText(QString("Notes files: %1").arg(sheet.notesFiles));
    const QString after = "Patients with appointments after " + Text(sheet.today) + ": ";
    m_ui->lblFutureAppointments->setText(
        after + (sheet.appointmentDatesKnown ? QString::number(sheet.withFutureAppointments) : QString("not known")));
    FillList(*m_ui->lstFutureAppointments, sheet.futureAppointmentPatients, sheet.withFutureAppointments);
    m_ui->lblAlreadyArchived->setText(
        QString("Patients already in the archive (their archive copy will be replaced): %1")
            .arg(sheet.alreadyArchived));
    FillList(*m_ui->lstAlreadyArchived, sheet.alreadyArchivedPatients, sheet.alreadyArchived);
    m_ui->lblNotInPractice->setText(
        sheet.notInPractice > 0
            ? QString("Patients no longer in the practice database (skipped): %1").arg(sheet.notInPractice)
            : QString());
    m_ui->lblNotInPractice->setVisible(sheet.notInPractice > 0);
    adjustSize();
}

}  // namespace app
