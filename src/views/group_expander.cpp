#include "views/group_expander.h"

#include <QFontMetrics>
#include <QStyle>
#include <QTableView>

#include "views/grid_table_model.h"

namespace views {

bool IsOnGroupExpander(const QTableView& table, const QModelIndex& index, const QPoint& at) {
    if (!index.isValid() || !index.data(GridTableModel::IsGroupRole).toBool()) return false;
    // The caption is the level's indent (blanks), the triangle and a blank, then the text;
    // the view draws it after the style's text margin.
    const QString caption = index.data(Qt::DisplayRole).toString();
    qsizetype blanks = 0;
    while (blanks < caption.size() && caption[blanks] == QLatin1Char(' ')) ++blanks;
    const QVariant font = index.data(Qt::FontRole);
    const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : table.font());
    const int margin = table.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &table) + 1;
    const int left = table.visualRect(index).left() + margin + metrics.horizontalAdvance(caption.left(blanks));
    const int right = left + metrics.horizontalAdvance(caption.mid(blanks, 2));
    // A little slack either side: the triangle is small.
    return at.x() >= left - 3 && at.x() <= right + 3;
}

}  // namespace views
