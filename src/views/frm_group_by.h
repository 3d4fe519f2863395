// frmGroupBy: the modal dialog "Group By". GroupGrid shows a grid's grouping as up to four
// levels ("Group Items by", then "Then by"), each a column and a direction, with the choice
// "Expand/Collapse:" ("All Expanded" or "All Collapsed") for the rebuilt groups. On OK, and
// only if the levels differ from the grid's groups, the groups are rebuilt and the grid
// regroups; Cancel changes nothing. Columns of ColumnType 1 cannot be grouped by and are not
// offered. Help context 730. Opened from the patient grid's popup menu, the group-by box and
// the view summary.
#pragma once

#include <memory>

#include "views/level_dialog.h"

namespace Ui {
class frmGroupBy;
}

class QComboBox;

namespace views {

class frmGroupBy : public LevelDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 730;

    explicit frmGroupBy(QWidget* parent = nullptr);
    ~frmGroupBy() override;

    // Modal. Passes on any error the grid raises.
    void GroupGrid(GridViewModel& grid);

    QComboBox* cboExpand() const;

private:
    std::unique_ptr<Ui::frmGroupBy> m_ui;
};

}  // namespace views
