#include "tips/tip_geometry.h"

#include <QPainterPath>
#include <QPolygon>
#include <QString>
#include <algorithm>
#include <cmath>

namespace tips {

TipLayout LayoutFor(QSize inner, int titleHeight, QSize closeGlyph, QSize closeButton, QSize icon) {
    const int w = inner.width();
    const int h = inner.height();
    TipLayout layout;
    layout.text = QRect(8, titleHeight + 10, std::max(0, w - 20), std::max(0, h - titleHeight - 20));
    layout.closeGlyph = QRect(QPoint(w - closeGlyph.width() - 13, 5), closeGlyph);
    layout.closeButton = QRect(QPoint(w - closeGlyph.width() - 15, 2), closeButton);
    layout.icon = QRect(QPoint(10, 2), icon);
    layout.title = QRect(0, 1, std::max(0, w), titleHeight);
    return layout;
}

int TitleTextLeft(bool iconShown, const TipLayout& layout) {
    return iconShown ? layout.icon.left() + layout.icon.width() + kTitleIconGap : layout.icon.left();
}

QRegion RoundedRegion(QSize size) {
    QPainterPath path;
    const double radius = kCornerEllipse / 2.0;
    path.addRoundedRect(QRectF(0, 0, size.width(), size.height()), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
}

int TwipsToPixels(double twips, double twipsPerPixel) {
    if (twipsPerPixel <= 0) twipsPerPixel = 15.0;
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

double PixelsToTwips(int pixels, double twipsPerPixel) {
    if (twipsPerPixel <= 0) twipsPerPixel = 15.0;
    return pixels * twipsPerPixel;
}

std::string LowerIconName(const std::string& name) { return QString::fromStdString(name).toLower().toStdString(); }

IconChoice IconFor(const std::string& loweredName) {
    if (loweredName == "i") return {IconSet::Newer, IconKind::Information};
    if (loweredName == "x") return {IconSet::Newer, IconKind::Error};
    if (loweredName == "!") return {IconSet::Newer, IconKind::Warning};
    if (loweredName == "i9") return {IconSet::Older, IconKind::Information};
    if (loweredName == "x9") return {IconSet::Older, IconKind::Error};
    if (loweredName == "!9") return {IconSet::Older, IconKind::Warning};
    return {};
}

}  // namespace tips
