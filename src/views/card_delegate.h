// CardDelegate: draws each record of a grid as a card (a heading with the first visible
// column's value, then one "Caption: value" line per visible column); a group row, should
// one be shown, as a heading card. Used by the grid's card view over the same model as the
// table.
#pragma once

#include <QStyledItemDelegate>

#include "views/grid_table_model.h"

namespace views {

class CardDelegate : public QStyledItemDelegate {
public:
    CardDelegate(const GridViewModel& grid, const GridTableModel& model, QObject* parent = nullptr)
        : QStyledItemDelegate(parent), m_grid(grid), m_model(model) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const GridViewModel& m_grid;
    const GridTableModel& m_model;
};

}  // namespace views
