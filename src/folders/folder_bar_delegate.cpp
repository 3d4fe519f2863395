#include "folders/folder_bar_delegate.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>

namespace folders {

void FolderBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int indent = index.data(kIndentRole).toInt();
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();

    if (indent <= 0) {
        // A heading: a raised bar in the button colour with the caption in bold.
        painter->save();
        QStyleOptionHeader header;
        header.rect = opt.rect;
        header.palette = opt.palette;
        header.state = QStyle::State_Enabled | QStyle::State_Raised;
        header.text = opt.text;
        header.icon = opt.icon;
        header.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        if (opt.state & QStyle::State_Selected) header.state |= QStyle::State_Sunken;
        style->drawControl(QStyle::CE_HeaderSection, &header, painter, widget);
        QFont bold = opt.font;
        bold.setBold(true);
        painter->setFont(bold);
        header.rect = opt.rect.adjusted(4, 0, -4, 0);
        style->drawControl(QStyle::CE_HeaderLabel, &header, painter, widget);
        painter->restore();
        return;
    }

    opt.rect.setLeft(opt.rect.left() + kIndentStep * indent);
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

QSize FolderBarDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const int indent = index.data(kIndentRole).toInt();
    size.setWidth(size.width() + kIndentStep * std::max(indent, 0));
    size.setHeight(std::max(size.height(), option.fontMetrics.height() + (indent <= 0 ? 10 : 6)));
    return size;
}

}  // namespace folders
