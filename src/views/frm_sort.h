// frmSort: the modal dialog "Sort", the twin of the group-by dialog on a grid's sort keys:
// up to four levels ("Sort Items by", then "Then by"), every column offered. On OK, and only
// if the levels differ from the grid's sort keys, the keys are rebuilt and the grid re-sorts;
// Cancel changes nothing. Help context 720. Opened from the patient grid's popup menu and
// the view summary.
#pragma once

#include <memory>

#include "views/level_dialog.h"

namespace Ui {
class frmSort;
}

namespace views {

class frmSort : public LevelDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 720;

    explicit frmSort(QWidget* parent = nullptr);
    ~frmSort() override;

    // Modal. Passes on any error the grid raises.
    void SortGrid(GridViewModel& grid);

private:
    std::unique_ptr<Ui::frmSort> m_ui;
};

}  // namespace views
