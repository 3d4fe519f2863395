// GroupByBox: the band above a record grid's columns that states the grouping in force
// ("Grouped by: Initial (ascending)"), with a "Group By..." button that asks for the group-by
// dialog. A column heading dragged from the grid and dropped on the band asks for that column
// to become the next group level; the grid does the work.
#pragma once

#include <QLabel>

class QPushButton;

namespace views {

class GridViewModel;

// The drag data of a column heading: the column's Index as decimal text.
inline constexpr const char* kColumnMimeType = "application/x-archive-grid-column";

class GroupByBox : public QLabel {
    Q_OBJECT
public:
    explicit GroupByBox(QWidget* parent = nullptr);
    // Rewrites the text and colours from the grid's groups and look.
    void ShowGroups(const GridViewModel& grid);
    QPushButton* GroupByButton() const { return m_groupBy; }

signals:
    // "Group By..." was pressed.
    void GroupByRequested();
    // A column heading (by column Index) was dropped on the band.
    void ColumnDropped(int colIndex);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void PlaceButton();

    QPushButton* m_groupBy;
};

}  // namespace views
