#include "views/header_drag.h"

#include <QApplication>
#include <QDrag>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>

#include "views/group_by_box.h"

namespace views {

HeaderDrag::HeaderDrag(QHeaderView* header, std::function<int(int)> columnAt)
    : QObject(header), m_header(header), m_columnAt(std::move(columnAt)) {
    header->viewport()->installEventFilter(this);
}

QMimeData* HeaderDrag::MimeFor(int colIndex) {
    auto* data = new QMimeData;
    data->setData(kColumnMimeType, QByteArray::number(colIndex));
    return data;
}

bool HeaderDrag::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressedSection =
            mouse->button() == Qt::LeftButton ? m_header->logicalIndexAt(mouse->position().toPoint()) : -1;
        m_pressAt = mouse->position().toPoint();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pressedSection = -1;
    } else if (event->type() == QEvent::MouseMove && m_pressedSection >= 0) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton) ||
            (mouse->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance()) {
            return false;
        }
        const int section = m_pressedSection;
        m_pressedSection = -1;
        const int colIndex = m_columnAt(section);
        if (colIndex <= 0) return false;
        auto* drag = new QDrag(m_header);
        drag->setMimeData(MimeFor(colIndex));
        const QRect rect(m_header->sectionViewportPosition(section), 0, m_header->sectionSize(section),
                         m_header->height());
        drag->setPixmap(m_header->viewport()->grab(rect));
        drag->setHotSpot(m_pressAt - rect.topLeft());
        drag->exec(Qt::CopyAction);
        // The drag took the release: tell the header that the press is over, off any section,
        // so that it neither sorts nor keeps the heading drawn pressed.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(-1, -1), QPointF(-1, -1), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(m_header->viewport(), &release);
        return true;
    }
    return false;
}

}  // namespace views
