#include "tips/tip_artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

namespace tips {
namespace {

struct Palette {
    QColor light, dark, outline, mark;
};

Palette ColoursFor(IconKind kind) {
    switch (kind) {
        case IconKind::Information: return {QColor(122, 176, 255), QColor(24, 82, 200), QColor(14, 52, 140), Qt::white};
        case IconKind::Error: return {QColor(255, 128, 110), QColor(200, 30, 15), QColor(130, 16, 8), Qt::white};
        case IconKind::Warning: return {QColor(255, 236, 140), QColor(236, 176, 0), QColor(150, 105, 0), Qt::black};
    }
    return {};
}

// The outline of the icon's body: a circle, or for the warning a triangle with its point up.
QPainterPath BodyPath(IconKind kind, const QRectF& r) {
    QPainterPath path;
    if (kind == IconKind::Warning) {
        path.addPolygon(QPolygonF({QPointF(r.center().x(), r.top()), r.bottomRight(), r.bottomLeft()}));
        path.closeSubpath();
    } else {
        path.addEllipse(r);
    }
    return path;
}

// The mark on the body ("i", "x" or "!"), scaled to the body's rectangle.
void DrawMark(QPainter& p, IconKind kind, const QRectF& r, const QColor& color) {
    const double w = r.width();
    const double h = r.height();
    const double cx = r.center().x();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    switch (kind) {
        case IconKind::Information:
            p.drawEllipse(QPointF(cx, r.top() + h * 0.25), w * 0.09, w * 0.09);
            p.drawRect(QRectF(cx - w * 0.08, r.top() + h * 0.40, w * 0.16, h * 0.40));
            break;
        case IconKind::Error: {
            QPen pen(color, w * 0.14, Qt::SolidLine, Qt::RoundCap);
            p.setPen(pen);
            const double d = w * 0.22;
            const QPointF c = r.center();
            p.drawLine(QPointF(c.x() - d, c.y() - d), QPointF(c.x() + d, c.y() + d));
            p.drawLine(QPointF(c.x() + d, c.y() - d), QPointF(c.x() - d, c.y() + d));
            break;
        }
        case IconKind::Warning:
            p.drawRect(QRectF(cx - w * 0.07, r.top() + h * 0.33, w * 0.14, h * 0.36));
            p.drawRect(QRectF(cx - w * 0.07, r.top() + h * 0.76, w * 0.14, h * 0.13));
            break;
    }
}

void DrawNewer(QPainter& p, IconKind kind, const QRectF& r, const Palette& c) {
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPainterPath body = BodyPath(kind, r);
    QRadialGradient shade(QPointF(r.left() + r.width() * 0.35, r.top() + r.height() * 0.3), r.width() * 0.8);
    shade.setColorAt(0.0, c.light.lighter(115));
    shade.setColorAt(1.0, c.dark);
    p.setPen(QPen(c.outline, 1.0));
    p.setBrush(shade);
    p.drawPath(body);
    DrawMark(p, kind, r, c.mark);
}

void DrawOlder(QPainter& p, IconKind kind, const QRectF& r, const Palette& c) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 128, 128));
    p.drawPath(BodyPath(kind, r.translated(1, 1)));
    p.setPen(QPen(Qt::black, 1.0));
    p.setBrush(kind == IconKind::Warning ? QColor(255, 255, 0)
               : kind == IconKind::Error ? QColor(255, 0, 0)
                                         : QColor(0, 0, 255));
    p.drawPath(BodyPath(kind, r));
    DrawMark(p, kind, r, kind == IconKind::Warning ? QColor(Qt::black) : QColor(Qt::white));
}

}  // namespace

QPixmap DrawTipIcon(IconSet set, IconKind kind, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    if (set == IconSet::None) return pixmap;
    QPainter p(&pixmap);
    const Palette colours = ColoursFor(kind);
    if (set == IconSet::Newer) DrawNewer(p, kind, QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0), colours);
    else DrawOlder(p, kind, QRectF(0, 0, size.width() - 2.0, size.height() - 2.0), colours);
    return pixmap;
}

QPixmap DrawCloseButton(bool pressed, QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r(0.5, 0.5, size.width() - 1.0, size.height() - 1.0);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    if (pressed) {
        fill.setColorAt(0.0, QColor(150, 36, 18));
        fill.setColorAt(1.0, QColor(205, 80, 56));
    } else {
        fill.setColorAt(0.0, QColor(236, 128, 104));
        fill.setColorAt(1.0, QColor(196, 52, 28));
    }
    p.setPen(QPen(pressed ? QColor(96, 18, 8) : QColor(140, 32, 16), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
    if (!pressed) {
        p.setPen(QPen(QColor(255, 255, 255, 110), 1.0));
        p.drawLine(QPointF(3, 1.5), QPointF(size.width() - 3, 1.5));
    }
    return pixmap;
}

void DrawCloseCross(QPainter& painter, const QRect& box, const QColor& color) {
    // Two diagonal strokes, each two pixels wide, over a 7 x 7 square in the box's centre.
    constexpr int kSpan = 7;
    const int x0 = box.left() + (box.width() - kSpan - 1) / 2;
    const int y0 = box.top() + (box.height() - kSpan) / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < kSpan; ++i) {
        painter.fillRect(QRect(x0 + i, y0 + i, 2, 1), color);
        painter.fillRect(QRect(x0 + kSpan - 1 - i, y0 + i, 2, 1), color);
    }
    painter.restore();
}

}  // namespace tips
