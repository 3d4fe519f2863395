// GridTableModel: the one Qt item model over a grid's rows. It shows the rows of the view
// model's arrangement (group rows and records, in display order) and its visible columns in
// display order; values are read from the record source on demand and formatted by column.
// Colours and fonts follow the view model. The owner tells the model when the view model
// changes (BeginRowsChange/EndRowsChange around a rearrangement, ColumnsChanged, LookChanged).
#pragma once

#include <QAbstractTableModel>
#include <QPalette>
#include <vector>

#include "views/grid_view_model.h"

namespace views {

class GridTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Extra roles: the row index as callers see it (below 1 for a group row), and whether a
    // row is a group row.
    enum Role { RowIndexRole = Qt::UserRole + 1, IsGroupRole };

    GridTableModel(const GridViewModel& grid, QObject* parent = nullptr);

    void SetPalette(const QPalette& palette) { m_palette = palette; }
    void BeginRowsChange();
    void EndRowsChange();
    void ColumnsChanged();
    void LookChanged();

    // The column shown in a model column, and the model column of a column (-1 when hidden).
    const GridColumn* ColumnAt(int modelColumn) const { return m_visible.at(modelColumn); }
    int ModelColumnOf(int colIndex) const;
    // The text of a cell as shown; the caption of a group row in column 0.
    QString CellText(int row, int modelColumn) const;
    QString GroupCaption(int group) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void ReadColumns();
    bool IsCell(const QModelIndex& index) const;

    const GridViewModel& m_grid;
    QPalette m_palette;
    std::vector<const GridColumn*> m_visible;
    std::vector<int> m_fields;  // source field of each visible column, -1 when none
    bool m_resetting = false;
};

}  // namespace views
