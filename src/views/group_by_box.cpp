#include "views/group_by_box.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>

#include "views/grid_view_model.h"
#include "views/key_description.h"
#include "views/qt_look.h"

namespace views {

namespace {
// The column Index a drag carries; 0 when it carries none.
int DraggedColumn(const QMimeData* data) {
    if (!data || !data->hasFormat(kColumnMimeType)) return 0;
    bool ok = false;
    const int colIndex = QString::fromLatin1(data->data(kColumnMimeType)).toInt(&ok);
    return ok && colIndex > 0 ? colIndex : 0;
}
}  // namespace

GroupByBox::GroupByBox(QWidget* parent) : QLabel(parent) {
    setAutoFillBackground(true);
    setMargin(6);
    setAcceptDrops(true);
    m_groupBy = new QPushButton(tr("Group By..."), this);
    m_groupBy->setObjectName("cmdGroupBy");
    m_groupBy->setAutoDefault(false);
    m_groupBy->setFocusPolicy(Qt::TabFocus);
    connect(m_groupBy, &QPushButton::clicked, this, &GroupByBox::GroupByRequested);
    // The text keeps clear of the button at the right.
    setContentsMargins(0, 0, m_groupBy->sizeHint().width() + 8, 0);
    setMinimumHeight(m_groupBy->sizeHint().height() + 6);
    setToolTip(tr("Drag a column heading here to group the rows by that column."));
}

void GroupByBox::ShowGroups(const GridViewModel& grid) {
    QString text;
    if (grid.Groups().Count() == 0)
        text = tr("Not grouped. Drag a column heading here, or use Group By..., to group the rows.");
    else text = tr("Grouped by: ") + QString::fromStdString(DescribeKeys(grid, grid.Groups()));
    setText(text);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ToQColor(grid.BackColorGroupBy(), colours));
    colours.setColor(QPalette::WindowText, ToQColor(grid.ForeColorInfoText(), colours));
    setPalette(colours);
    setFont(ToQFont(grid.Font()));
}

void GroupByBox::PlaceButton() {
    const QSize size = m_groupBy->sizeHint();
    m_groupBy->setGeometry(width() - size.width() - 4, (height() - size.height()) / 2, size.width(), size.height());
}

void GroupByBox::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    PlaceButton();
}

void GroupByBox::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedColumn(event->mimeData()) > 0) event->acceptProposedAction();
}

void GroupByBox::dragMoveEvent(QDragMoveEvent* event) {
    if (DraggedColumn(event->mimeData()) > 0) event->acceptProposedAction();
}

void GroupByBox::dropEvent(QDropEvent* event) {
    const int colIndex = DraggedColumn(event->mimeData());
    if (colIndex == 0) return;
    event->acceptProposedAction();
    emit ColumnDropped(colIndex);
}

}  // namespace views
