// LevelDialog: the four-level chooser that the sort and group-by dialogs share. Each level
// is a fixed list (cboGroups_0 to _3: "(None)", then one entry per offered column, the item
// value being the column's Index) and a choice of direction (optOrder_2i "Ascending",
// optOrder_2i+1 "Descending"). The level rule: a level at "(None)" has its direction reset
// to "Ascending" and disabled, and the level below it set to "(None)" and disabled; a level
// set to a column has its direction reset to "Ascending" and enabled, and the level below it
// enabled. So a level can only be set when the one above it is.
//
// A grid's list with more than four entries, or with entries on columns the lists do not
// offer, is shown as far as it can be (the first four entries that can be shown) and the
// label lblTrimmed says so; the grid then keeps its list unless the user changes a level.
#pragma once

#include <array>
#include <functional>

#include "views/view_dialog.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace views {

class GridColumn;
class GridGroups;
class GridViewModel;

class LevelDialog : public ViewDialog {
    Q_OBJECT
public:
    static constexpr int kLevels = 4;

    QComboBox* cboGroups(int level) const { return m_levels[level]; }
    QRadioButton* optOrder(int index) const { return m_orders[index]; }

    // The level rule for level i (0 to 3), as the dialog runs it when the level's list changes.
    void cboGroups_Click(int level);
    void cmdClearAll_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    // what: "groups" or "sort keys", for the note on lists that cannot be shown whole.
    LevelDialog(QWidget* parent, int helpContextId, QString what);
    // Finds the controls by name (after setupUi) and wires them.
    void BindControls();
    // Fills the lists with "(None)" and the offered columns, then shows the grid's list.
    void FillLevels(const GridViewModel& grid, const GridGroups& keys,
                    const std::function<bool(const GridColumn&)>& offered);
    // Shows the dialog modally; true when it was closed with OK.
    bool RunModal();
    // True when OK is to rebuild the grid's list: the levels differ from it (level by level,
    // up to the first difference), and, for a list that could not be shown whole, the user
    // changed something.
    bool Differs(const GridGroups& keys) const;
    // Replaces the list with the levels that are set, in level order.
    void WriteLevels(GridGroups& keys) const;

private:
    struct Level {
        int colIndex = 0;  // 0 at "(None)"
        int order = 1;
        friend bool operator==(const Level&, const Level&) = default;
    };
    std::array<Level, kLevels> Chosen() const;
    // Selects an entry of a level's list and runs the level rule, whether or not the
    // selection changed.
    void SelectEntry(int level, int entry);

    QString m_what;
    std::array<QComboBox*, kLevels> m_levels{};
    std::array<QRadioButton*, 2 * kLevels> m_orders{};
    QLabel* m_lblTrimmed = nullptr;
    bool m_ok = false;
    bool m_trimmed = false;
    std::array<Level, kLevels> m_shown{};  // the levels as filled from the grid
};

}  // namespace views
