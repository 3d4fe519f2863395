// The colour and font pickers of the view format dialogs. A dialog asks through this
// interface, so that tests can answer in place of the platform's modal pickers. Each picker
// starts from preset values and returns nothing when the user cancels.
#pragma once

#include <optional>

#include "views/grid_look.h"

class QWidget;

namespace views {

// A font with the colour its text is drawn in.
struct FontChoice {
    GridFont font;
    OleColor color = 0;
};

class FormatPickers {
public:
    virtual ~FormatPickers() = default;
    // The colour picker, preset to a colour.
    virtual std::optional<OleColor> PickColor(QWidget* parent, OleColor preset) = 0;
    // The font picker, preset to a font and its colour; offers only fonts that exist, with the
    // effects underline and strikeout.
    virtual std::optional<FontChoice> PickFont(QWidget* parent, const FontChoice& preset) = 0;
};

// QColorDialog and QFontDialog. The font dialog has no colour of its own: the preset colour
// comes back unchanged.
class QtFormatPickers final : public FormatPickers {
public:
    std::optional<OleColor> PickColor(QWidget* parent, OleColor preset) override;
    std::optional<FontChoice> PickFont(QWidget* parent, const FontChoice& preset) override;
};

}  // namespace views
