#include "views/frm_group_by.h"

#include "ui_frm_group_by.h"
#include "views/grid_view_model.h"

namespace views {

frmGroupBy::frmGroupBy(QWidget* parent)
    : LevelDialog(parent, kHelpContext, tr("groups")), m_ui(std::make_unique<Ui::frmGroupBy>()) {
    m_ui->setupUi(this);
    m_ui->cboExpand->addItem(tr("All Expanded"), 0);
    m_ui->cboExpand->addItem(tr("All Collapsed"), -1);
    BindControls();
}

frmGroupBy::~frmGroupBy() = default;

QComboBox* frmGroupBy::cboExpand() const { return m_ui->cboExpand; }

void frmGroupBy::GroupGrid(GridViewModel& grid) {
    m_ui->cboExpand->setCurrentIndex(0);
    FillLevels(grid, grid.Groups(), [](const GridColumn& column) { return column.ColumnType() != 1; });
    if (!RunModal() || !Differs(grid.Groups())) return;
    const BusyCursor busy;
    WriteLevels(grid.Groups());
    grid.Regroup(m_ui->cboExpand->currentData().toInt() != 0);
}

}  // namespace views
