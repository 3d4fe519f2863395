// frmSummary: the modal dialog "View Summary". For one record grid it states in four lines
// which fields are shown (lblFields), how the rows are grouped (lblGroups) and sorted
// (lblSort), and which kind of view formatting applies (lblformat: "Fonts and other Table
// View settings", or "Card" in card view), with a button beside each line that opens the
// matching view dialog 100 twips right of and below the summary's top-left corner. After a
// dialog closes, the line it can have changed is rebuilt (the fields line only when the field
// chooser was closed with OK). "Group By..." is disabled in card view. Help context 750.
#pragma once

#include <memory>

#include "views/view_dialog.h"

namespace Ui {
class frmSummary;
}

class QLabel;
class QPushButton;

namespace views {

class GridViewModel;

class frmSummary : public ViewDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 750;
    // How far right of and below the summary's corner the dialogs it opens are placed.
    static constexpr int kDialogOffsetTwips = 100;

    explicit frmSummary(QWidget* parent = nullptr);
    ~frmSummary() override;

    // Builds the four lines, shows the summary modally and releases the grid when it closes.
    void ShowSummary(GridViewModel& grid);

    QLabel* lblFields() const;
    QLabel* lblGroups() const;
    QLabel* lblSort() const;
    QLabel* lblformat() const;
    QPushButton* cmdGroup() const;

    void cmdFields_Click();
    void cmdGroup_Click();
    void cmdSort_Click();
    void cmdFormat_Click();
    void cmdOK_Click();

private:
    void ShowFieldsLine();
    void ShowGroupsLine();
    void ShowSortLine();

    std::unique_ptr<Ui::frmSummary> m_ui;
    GridViewModel* m_grid = nullptr;
};

}  // namespace views
