#include "views/frm_summary.h"

#include "ui_frm_summary.h"
#include "views/format_dialog_hook.h"
#include "views/frm_group_by.h"
#include "views/frm_showfields.h"
#include "views/frm_sort.h"
#include "views/grid_view_model.h"
#include "views/key_description.h"

namespace views {

frmSummary::frmSummary(QWidget* parent) : ViewDialog(parent, kHelpContext), m_ui(std::make_unique<Ui::frmSummary>()) {
    m_ui->setupUi(this);
    connect(m_ui->cmdFields, &QPushButton::clicked, this, [this] { cmdFields_Click(); });
    connect(m_ui->cmdGroup, &QPushButton::clicked, this, [this] { cmdGroup_Click(); });
    connect(m_ui->cmdSort, &QPushButton::clicked, this, [this] { cmdSort_Click(); });
    connect(m_ui->cmdFormat, &QPushButton::clicked, this, [this] { cmdFormat_Click(); });
    connect(m_ui->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
}

frmSummary::~frmSummary() = default;

QLabel* frmSummary::lblFields() const { return m_ui->lblFields; }
QLabel* frmSummary::lblGroups() const { return m_ui->lblGroups; }
QLabel* frmSummary::lblSort() const { return m_ui->lblSort; }
QLabel* frmSummary::lblformat() const { return m_ui->lblformat; }
QPushButton* frmSummary::cmdGroup() const { return m_ui->cmdGroup; }

void frmSummary::ShowSummary(GridViewModel& grid) {
    m_grid = &grid;
    ShowFieldsLine();
    ShowGroupsLine();
    ShowSortLine();
    const bool cards = grid.View() == 1;
    m_ui->lblformat->setText(QStringLiteral("Fonts and other ") +
                             (cards ? QStringLiteral("Card") : QStringLiteral("Table")) +
                             QStringLiteral(" View settings"));
    m_ui->cmdGroup->setEnabled(!cards);
    FitToContents();
    exec();
    m_grid = nullptr;
}

void frmSummary::ShowFieldsLine() { m_ui->lblFields->setText(QString::fromStdString(DescribeVisibleFields(*m_grid))); }
void frmSummary::ShowGroupsLine() {
    m_ui->lblGroups->setText(QString::fromStdString(DescribeKeys(*m_grid, m_grid->Groups())));
}
void frmSummary::ShowSortLine() {
    m_ui->lblSort->setText(QString::fromStdString(DescribeKeys(*m_grid, m_grid->SortKeys())));
}

void frmSummary::cmdFields_Click() {
    if (!m_grid) return;
    frmShowfields dialog(this);
    dialog.PlaceBeside(*this, kDialogOffsetTwips, kDialogOffsetTwips);
    if (dialog.ShowFields(*m_grid)) ShowFieldsLine();
}

void frmSummary::cmdGroup_Click() {
    if (!m_grid) return;
    frmGroupBy dialog(this);
    dialog.PlaceBeside(*this, kDialogOffsetTwips, kDialogOffsetTwips);
    dialog.GroupGrid(*m_grid);
    ShowGroupsLine();
}

void frmSummary::cmdSort_Click() {
    if (!m_grid) return;
    frmSort dialog(this);
    dialog.PlaceBeside(*this, kDialogOffsetTwips, kDialogOffsetTwips);
    dialog.SortGrid(*m_grid);
    ShowSortLine();
}

void frmSummary::cmdFormat_Click() {
    if (!m_grid) return;
    FormatDialogRequest request;
    request.grid = m_grid;
    request.cards = m_grid->View() != 0;
    request.parent = this;
    request.topLeft = CornerBeside(*this, kDialogOffsetTwips, kDialogOffsetTwips);
    OpenFormatDialog(request);
}

void frmSummary::cmdOK_Click() { accept(); }

}  // namespace views
