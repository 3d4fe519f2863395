// The look of a record grid: its two fonts and its fourteen area colours. Colours are OLE
// colours: 0x00BBGGRR, or with the top bit set 0x800000nn, the system colour of index nn
// (5 window background, 15 button face, 16 button shadow, 18 button text), which the widget
// maps to its palette. No Qt.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace views {

using OleColor = uint32_t;

struct GridFont {
    std::string Name = "Tahoma";
    double Size = 8.25;  // points
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    friend bool operator==(const GridFont&, const GridFont&) = default;
};

// The colour areas, foreground ones first, each with its property name and default.
enum class ColorArea {
    ForeColor,
    ForeColorHeader,
    ForeColorInfoText,
    ForeColorGroupRows,
    GridLinesColor,
    MaskColor,
    EvenRowsColor,
    OddRowsColor,
    BackColor,
    BackColorNonCellArea,
    BackColorHeader,
    BackColorGroupBy,
    BackColorInfoText,
    BackColorGroupRows,
};
inline constexpr int kColorAreaCount = 14;

struct ColorAreaInfo {
    const char* name;
    OleColor defaultColor;
};

inline constexpr std::array<ColorAreaInfo, kColorAreaCount> kColorAreas{{
    {"ForeColor", 0x00000000},
    {"ForeColorHeader", 0x80000012},
    {"ForeColorInfoText", 0x80000010},
    {"ForeColorGroupRows", 0x80000012},
    {"GridLinesColor", 0x80000010},
    {"MaskColor", 0x00C0C0C0},
    {"EvenRowsColor", 0x00C1D7B0},
    {"OddRowsColor", 0x00BFFFFF},
    {"BackColor", 0x80000005},
    {"BackColorNonCellArea", 0x80000005},
    {"BackColorHeader", 0x80000010},
    {"BackColorGroupBy", 0x8000000F},
    {"BackColorInfoText", 0x8000000F},
    {"BackColorGroupRows", 0x8000000F},
}};

inline constexpr bool IsSystemColor(OleColor color) { return (color & 0x80000000u) != 0; }

}  // namespace views
