// tip_artwork: the pictures of the balloon tip, drawn with QPainter so that no image files or
// platform fonts are needed: the six icons (information, error, warning, each in a newer,
// soft-shaded style and an older, flat style), the close button's normal and pressed
// pictures, and the white cross drawn over the button.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QSize>

#include "tips/tip_geometry.h"

class QPainter;

namespace tips {

// One icon picture of the given set (Newer or Older) and kind, of the given size.
// IconSet::None gives a transparent picture.
QPixmap DrawTipIcon(IconSet set, IconKind kind, QSize size = kIconSize);

// The close button's picture: normal (pressed false) or pressed.
QPixmap DrawCloseButton(bool pressed, QSize size = kCloseButtonSize);

// The close cross, pixel-aligned and centred in box, in the given colour.
void DrawCloseCross(QPainter& painter, const QRect& box, const QColor& color);

}  // namespace tips
