#include "views/card_delegate.h"

#include <QFontMetrics>
#include <QPainter>

#include "views/qt_look.h"

namespace views {

namespace {
constexpr int kMargin = 4;
constexpr int kPadding = 4;
}  // namespace

QSize CardDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int bodyLine = QFontMetrics(ToQFont(m_grid.Font())).height() + 2;
    const int headLine = QFontMetrics(ToQFont(m_grid.ColumnHeaderFont())).height() + 4;
    const int lines = m_model.columnCount();
    return QSize(std::max(60, TwipsToPixels(m_grid.CardWidth())) + 2 * kMargin,
                 headLine + lines * bodyLine + 2 * kPadding + 2 * kMargin);
}

void CardDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QPalette& palette = option.palette;
    const QRect card = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QFont headFont = ToQFont(m_grid.ColumnHeaderFont());
    const QFont bodyFont = ToQFont(m_grid.Font());
    const int headLine = QFontMetrics(headFont).height() + 4;
    const int bodyLine = QFontMetrics(bodyFont).height() + 2;
    const bool selected = option.state & QStyle::State_Selected;
    const bool group = index.data(GridTableModel::IsGroupRole).toBool();

    painter->save();
    painter->fillRect(card, ToQColor(m_grid.BackColor(), palette));
    QRect head(card.left(), card.top(), card.width(), headLine);
    painter->fillRect(head, selected
                                ? palette.color(QPalette::Highlight)
                                : ToQColor(group ? m_grid.BackColorGroupRows() : m_grid.BackColorGroupBy(), palette));
    painter->setFont(headFont);
    painter->setPen(selected ? palette.color(QPalette::HighlightedText) : ToQColor(m_grid.ForeColorHeader(), palette));
    const QString heading = m_model.CellText(index.row(), 0);
    painter->drawText(head.adjusted(kPadding, 0, -kPadding, 0), Qt::AlignVCenter | Qt::AlignLeft,
                      QFontMetrics(headFont).elidedText(heading, Qt::ElideRight, head.width() - 2 * kPadding));
    if (!group) {
        painter->setFont(bodyFont);
        const int captionWidth = card.width() * 2 / 5;
        int y = head.bottom() + 1 + kPadding;
        for (int column = 0; column < m_model.columnCount(); ++column, y += bodyLine) {
            const QRect line(card.left() + kPadding, y, card.width() - 2 * kPadding, bodyLine);
            const QString caption = QString::fromStdString(m_model.ColumnAt(column)->Caption()) + QLatin1Char(':');
            painter->setPen(ToQColor(m_grid.ForeColorInfoText(), palette));
            painter->drawText(line.adjusted(0, 0, -(line.width() - captionWidth), 0), Qt::AlignVCenter | Qt::AlignLeft,
                              QFontMetrics(bodyFont).elidedText(caption, Qt::ElideRight, captionWidth));
            painter->setPen(ToQColor(m_grid.ForeColor(), palette));
            const QRect valueRect = line.adjusted(captionWidth + kPadding, 0, 0, 0);
            painter->drawText(valueRect, Qt::AlignVCenter | Qt::AlignLeft,
                              QFontMetrics(bodyFont).elidedText(m_model.CellText(index.row(), column), Qt::ElideRight,
                                                                valueRect.width()));
        }
    }
    painter->setPen(selected ? palette.color(QPalette::Highlight) : ToQColor(m_grid.MaskColor(), palette));
    painter->drawRect(card.adjusted(0, 0, -1, -1));
    painter->restore();
}

}  // namespace views
