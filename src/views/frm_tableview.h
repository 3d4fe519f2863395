// frmTableview: the modal dialog "Format Table View". FormatGrid lets the user change how a
// grid shown as a table looks: the fonts of the column headings and rows, fourteen area
// colours, grid lines, shaded group headings, alternating row colours, and the record
// navigator, row sizing and group-by box switches. Changes show in the grid at once; OK keeps
// them; Cancel (or closing the window) puts back the fonts, the colours, the grid lines, the
// alternating colours and in-cell editing, but not the three switches nor "Resize Rows".
// Enter presses OK, Esc Cancel, F1 opens the help at context 740.
//
// Opened by the grid popup menu's "Format View..." and by the view summary. User-interface
// thread only.
#pragma once

#include <memory>

#include "views/format_view_dialog.h"

namespace Ui {
class frmTableview;
}

namespace views {

class frmTableview : public FormatViewDialog {
    Q_OBJECT
public:
    // helpFile: the help file F1 opens.
    explicit frmTableview(QWidget* parent = nullptr, std::string helpFile = "Corvane.chm");
    ~frmTableview() override;

    // Shows the dialog modally on the grid and returns when it is closed.
    void FormatGrid(GridViewModel& grid);

private:
    void Open(GridViewModel& grid);
    void ApplyOk();
    void Restore();

    std::unique_ptr<Ui::frmTableview> m_ui;
    bool m_filling = false;
    // Saved at opening for Cancel.
    bool m_savedAllowEdit = false;
    int m_savedGridLines = -1;
    bool m_savedUseEvenOddColor = false;
};

}  // namespace views
