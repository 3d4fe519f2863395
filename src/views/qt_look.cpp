#include "views/qt_look.h"

namespace views {

QColor ToQColor(OleColor color, const QPalette& palette) {
    if (!IsSystemColor(color)) return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    switch (color & 0xFF) {
        case 0: return palette.color(QPalette::Mid);   // scroll bar
        case 1: return palette.color(QPalette::Dark);  // desktop
        case 2:
        case 3: return palette.color(QPalette::Highlight);        // caption bars
        case 4: return palette.color(QPalette::Window);           // menu
        case 5: return palette.color(QPalette::Base);             // window background
        case 6: return palette.color(QPalette::Shadow);           // window frame
        case 7: return palette.color(QPalette::WindowText);       // menu text
        case 8: return palette.color(QPalette::Text);             // window text
        case 9: return palette.color(QPalette::HighlightedText);  // caption text
        case 10: return palette.color(QPalette::Button);          // active border
        case 11: return palette.color(QPalette::Button);          // inactive border
        case 12: return palette.color(QPalette::Dark);            // application workspace
        case 13: return palette.color(QPalette::Highlight);
        case 14: return palette.color(QPalette::HighlightedText);
        case 15: return palette.color(QPalette::Button);                    // button face
        case 16: return palette.color(QPalette::Dark);                      // button shadow
        case 17: return palette.color(QPalette::Disabled, QPalette::Text);  // grey text
        case 18: return palette.color(QPalette::ButtonText);
        case 19: return palette.color(QPalette::Disabled, QPalette::WindowText);  // inactive caption text
        case 20: return palette.color(QPalette::Light);                           // button highlight
        case 21: return palette.color(QPalette::Shadow);                          // 3-D dark shadow
        case 22: return palette.color(QPalette::Midlight);                        // 3-D light
        case 23: return palette.color(QPalette::ToolTipText);
        case 24: return palette.color(QPalette::ToolTipBase);
        case 26: return palette.color(QPalette::Link);       // hot-tracked item
        case 27: return palette.color(QPalette::Highlight);  // active caption gradient
        case 28: return palette.color(QPalette::Mid);        // inactive caption gradient
        case 29: return palette.color(QPalette::Highlight);  // flat menu highlight
        case 30: return palette.color(QPalette::Window);     // flat menu bar
        default: return palette.color(QPalette::Window);
    }
}

OleColor ToOleColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<OleColor>(rgb.red()) | static_cast<OleColor>(rgb.green()) << 8 |
           static_cast<OleColor>(rgb.blue()) << 16;
}

QFont ToQFont(const GridFont& font) {
    QFont out(QString::fromStdString(font.Name));
    if (font.Size > 0) out.setPointSizeF(font.Size);
    out.setBold(font.Bold);
    out.setItalic(font.Italic);
    out.setUnderline(font.Underline);
    out.setStrikeOut(font.Strikethrough);
    return out;
}

}  // namespace views
