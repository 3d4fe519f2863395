#include "views/format_pickers.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontDialog>
#include <QWidget>

#include "views/qt_look.h"

namespace views {

std::optional<OleColor> QtFormatPickers::PickColor(QWidget* parent, OleColor preset) {
    const QPalette palette = parent ? parent->palette() : QApplication::palette();
    const QColor chosen = QColorDialog::getColor(ToQColor(preset, palette), parent);
    if (!chosen.isValid()) return std::nullopt;
    return ToOleColor(chosen);
}

std::optional<FontChoice> QtFormatPickers::PickFont(QWidget* parent, const FontChoice& preset) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, ToQFont(preset.font), parent);
    if (!ok) return std::nullopt;
    FontChoice out = preset;
    out.font.Name = chosen.family().toStdString();
    if (chosen.pointSizeF() > 0) out.font.Size = chosen.pointSizeF();
    out.font.Bold = chosen.bold();
    out.font.Italic = chosen.italic();
    out.font.Underline = chosen.underline();
    out.font.Strikethrough = chosen.strikeOut();
    return out;
}

}  // namespace views
