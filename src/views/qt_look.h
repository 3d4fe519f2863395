// Turns the view model's look into Qt terms: OLE colours (with the system colours mapped to
// the widget's palette), fonts, and twips to pixels.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include "views/grid_look.h"

namespace views {

// An OLE colour as a Qt colour; system colours (0x800000nn) come from the palette.
QColor ToQColor(OleColor color, const QPalette& palette);
// A Qt colour as an OLE colour 0x00BBGGRR (alpha dropped).
OleColor ToOleColor(const QColor& color);
QFont ToQFont(const GridFont& font);
// Screen pixels per twip at the usual 96 dots per inch: 15 twips to a pixel.
inline constexpr double kTwipsPerPixel = 15.0;
inline int TwipsToPixels(int twips) { return static_cast<int>(twips / kTwipsPerPixel + 0.5); }
inline int PixelsToTwips(int pixels) { return static_cast<int>(pixels * kTwipsPerPixel); }

}  // namespace views
