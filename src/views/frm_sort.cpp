#include "views/frm_sort.h"

#include "ui_frm_sort.h"
#include "views/grid_view_model.h"

namespace views {

frmSort::frmSort(QWidget* parent)
    : LevelDialog(parent, kHelpContext, tr("sort keys")), m_ui(std::make_unique<Ui::frmSort>()) {
    m_ui->setupUi(this);
    BindControls();
}

frmSort::~frmSort() = default;

void frmSort::SortGrid(GridViewModel& grid) {
    FillLevels(grid, grid.SortKeys(), [](const GridColumn&) { return true; });
    if (!RunModal() || !Differs(grid.SortKeys())) return;
    const BusyCursor busy;
    WriteLevels(grid.SortKeys());
    grid.Resort();
}

}  // namespace views
