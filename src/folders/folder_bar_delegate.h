// FolderBarDelegate: draws one row of the folder bar: a heading (indent 0) as a bold group bar
// across the whole width, a folder or sub-folder as a small icon and caption moved right by
// its indent, with the usual highlight for the selected row.
#pragma once

#include <QStyledItemDelegate>

namespace folders {

// Item data roles the bar stores on each list row.
inline constexpr int kIndentRole = Qt::UserRole + 1;

class FolderBarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Pixels each indent level moves a row's icon and caption to the right.
    static constexpr int kIndentStep = 16;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace folders
