// tip_geometry: the numbers of the balloon tip window as plain functions, so that the window
// (frm_tip.h) and its tests share one source: the default size, the twips-to-pixels
// conversion, the layout of the parts after every resize, the rounded outline, and which
// icon picture an icon name selects. Everything here is in pixels unless a name says twips.
#pragma once

#include <QRect>
#include <QRegion>
#include <QSize>
#include <string>

namespace tips {

// Size of a tip when the caller gives none, in twips.
inline constexpr int kDefaultWidthTwips = 4680;
inline constexpr int kDefaultHeightTwips = 1620;
// The corner ellipse of the window's outline and border.
inline constexpr int kCornerEllipse = 25;
// Fixed sizes of the parts (their size never changes with the window).
inline constexpr int kTitleHeight = 20;
inline constexpr QSize kIconSize{16, 16};
inline constexpr QSize kCloseGlyphSize{13, 13};
inline constexpr QSize kCloseButtonSize{17, 18};
// Gap between a shown icon and the start of the title text.
inline constexpr int kTitleIconGap = 4;

// Where each part sits inside a window of the given inner size.
struct TipLayout {
    QRect text;         // txtTip
    QRect closeGlyph;   // lblX
    QRect closeButton;  // imgX
    QRect icon;         // imgDisplayIcon
    QRect title;        // lblTitle, also the band filled with the title colour
};

// Lays the parts out for an inner size. Sizes of the parts other than the text box and the
// title width stay as given. A window too small for the text box gives it a zero size.
TipLayout LayoutFor(QSize inner, int titleHeight = kTitleHeight, QSize closeGlyph = kCloseGlyphSize,
                    QSize closeButton = kCloseButtonSize, QSize icon = kIconSize);

// Left edge of the title text inside the title band: after the icon when one is shown,
// otherwise where the icon's left edge is.
int TitleTextLeft(bool iconShown, const TipLayout& layout);

// The rounded outline of a window of the given size: a rectangle from (0, 0) to the size
// with a kCornerEllipse-pixel corner ellipse. Pixels outside it are not part of the window.
QRegion RoundedRegion(QSize size);

// Twips to whole pixels (rounded to nearest) and back, at a screen's twips per pixel.
int TwipsToPixels(double twips, double twipsPerPixel);
double PixelsToTwips(int pixels, double twipsPerPixel);

// The six stored icon pictures: a set (newer or older style) and a number in it.
enum class IconSet { None, Newer, Older };
enum class IconKind { Information = 0, Error = 1, Warning = 2 };
struct IconChoice {
    IconSet set = IconSet::None;
    IconKind kind = IconKind::Information;
    bool operator==(const IconChoice&) const = default;
};

// The icon name lower-cased, the way names are compared.
std::string LowerIconName(const std::string& name);
// The picture an already lower-cased icon name selects: "i", "x", "!" the newer set,
// "i9", "x9", "!9" the older set; any other name (the empty one too) none.
IconChoice IconFor(const std::string& loweredName);

}  // namespace tips
