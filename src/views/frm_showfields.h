// frmShowfields: the modal dialog "Show Fields", the field chooser. Hidden columns sit in
// "Available fields:" (lstAvail), shown ones in "Show these fields in this order:"
// (lstVisible), both in display order; "Add ->", "<- Remove" (also a double click in either
// list), "Move Up" and "Move Down" work on the lists only. On OK every column's Visible is
// written from the lists and the shown ones get ColPosition 1, 2, ... in list order.
// Help context 710. Opened from the patient grid's popup menu and the view summary.
#pragma once

#include <memory>

#include "views/view_dialog.h"

namespace Ui {
class frmShowfields;
}

class QListWidget;
class QPushButton;

namespace views {

class GridViewModel;

class frmShowfields : public ViewDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 710;

    explicit frmShowfields(QWidget* parent = nullptr);
    ~frmShowfields() override;

    // Modal; true when the user pressed OK and the grid was updated. Errors while the lists
    // are filled are passed on; at OK a column that cannot be set is skipped.
    bool ShowFields(GridViewModel& grid);

    QListWidget* lstAvail() const;
    QListWidget* lstVisible() const;
    QPushButton* cmdAdd() const;
    QPushButton* cmdRemove() const;
    QPushButton* cmdUp() const;
    QPushButton* cmdDown() const;

    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdUp_Click();
    void cmdDown_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    // Enables the four buttons from the lists' selections.
    void UpdateButtons();

private:
    // Moves the selected item of one list to the end of the other.
    void MoveAcross(QListWidget* from, QListWidget* to);
    void MoveWithin(int step);

    std::unique_ptr<Ui::frmShowfields> m_ui;
    bool m_ok = false;
};

}  // namespace views
