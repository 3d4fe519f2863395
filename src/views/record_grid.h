// RecordGrid: the record grid widget. It is a GridViewModel (so the view dialogs work on it
// directly) drawn as a table with collapsible group rows, or as cards (View 1), with the
// group-by box above and the record navigator below. Several rows may be selected when
// MultiSelect is on; a click on a column heading sorts by that column, a double click on a
// group row, a click on its expander (or + and - on it) opens or closes it. A right click on
// a selected row keeps the selection; on another row it selects that row alone. The group-by
// box states the grouping, opens the group-by dialog, and takes column headings dropped on it
// as the next group level.
//
// What the look properties colour: the cells take BackColor and ForeColor, or OddRowsColor
// and EvenRowsColor when UseEvenOddColor is on (the first row is odd); group rows
// BackColorGroupRows and ForeColorGroupRows; column headings BackColorHeader and
// ForeColorHeader; grid lines GridLinesColor; the space around the rows BackColorNonCellArea;
// the group-by box BackColorGroupBy with its text in ForeColorInfoText; the record navigator
// strip BackColorInfoText and ForeColorInfoText; the row selectors left of the rows MaskColor.
// In card view a card's heading is drawn in BackColorGroupBy and ForeColorHeader with
// ColumnHeaderFont, its body in BackColor and ForeColor with Font, the field captions in
// ForeColorInfoText, and its frame in MaskColor. With AllowRowSizing a row can be dragged
// higher or lower, which sets RowHeight for every row.
//
// Row indices: see GridViewModel. A selected row's position is its 1-based place among the
// rows shown (group rows included).
#pragma once

#include <QWidget>
#include <vector>

#include "views/grid_view_model.h"

class QAbstractItemView;
class QListView;
class QTableView;

namespace views {

class CardDelegate;
class GridTableModel;
class GroupByBox;
class RecordNavigatorBar;

// The selected rows of a grid when it was asked, top to bottom.
class SelectedRowList {
public:
    struct Entry {
        int RowIndex = 0;  // below 1 for a group row
        int Position = 0;  // the row's place among the rows shown, from 1
    };
    explicit SelectedRowList(std::vector<Entry> entries) : m_entries(std::move(entries)) {}
    int Count() const { return static_cast<int>(m_entries.size()); }
    // Entry i, from 1 to Count. Throws engine::Error when out of range.
    const Entry& Item(int i) const;

private:
    std::vector<Entry> m_entries;
};

class RecordGrid : public QWidget, public GridViewModel {
    Q_OBJECT
public:
    explicit RecordGrid(QWidget* parent = nullptr);
    ~RecordGrid() override;

    SelectedRowList SelectedRows() const;
    // Selects or deselects the row shown at a position (from 1); other rows keep their state.
    void SetRowSelected(int position, bool selected);
    // Makes the record's row current and the only one selected, opening its groups.
    // Throws engine::Error when no row has the bookmark.
    void MoveToBookmark(Bookmark bookmark);
    // The row index of the current row; 0 when there is none.
    int CurrentRowIndex() const;
    // The text of the record navigator ("Record n of m").
    QString NavigatorText() const;
    // Appends a group level on a column (by Index), ascending, and regroups with all groups
    // open. A column that does not exist is ignored.
    void AddGroupLevel(int colIndex);

    QTableView* Table() const { return m_table; }
    QListView* Cards() const { return m_cards; }
    GridTableModel* Model() const { return m_model; }
    GroupByBox* GroupBox() const { return m_groupBox; }
    RecordNavigatorBar* Navigator() const { return m_navigator; }

signals:
    // A mouse button released over the rows: button 1 left, 2 right, 4 middle; shift 1 Shift,
    // 2 Ctrl, 4 Alt; x and y in pixels of the grid widget.
    void MouseUp(int button, int shift, int x, int y);
    void Click();
    void DblClick();

protected:
    void Changed(Change what) override;
    void RowsAboutToChange() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void ApplyLook();
    void ApplyColumns();
    void ApplySpans();
    void UpdateNavigator();
    void MoveCurrent(int display);
    void MoveToRecord(int step);
    void ToggleGroupAt(int display, int collapse);
    void SortByHeader(int section);
    void RightPressAt(QAbstractItemView* view, const QPoint& at);

    GridTableModel* m_model;
    QTableView* m_table;
    QListView* m_cards;
    CardDelegate* m_cardDelegate;
    GroupByBox* m_groupBox;
    RecordNavigatorBar* m_navigator;
    bool m_applying = false;
};

}  // namespace views
