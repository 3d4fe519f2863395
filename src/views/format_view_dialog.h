// FormatViewDialog: what the two view format dialogs (frmTableview, frmCardView) share. It
// holds the grid being formatted, the OK flag, the two working fonts (the grid's own font
// objects: index 0 ColumnHeaderFont, index 1 Font) and their saved copies, and drives the
// pieces both dialogs show: the two colour-area lists with their swatches and "..." pickers,
// the two "Font..." buttons with their font descriptions, and "Defaults". Every change is
// written to the grid at once, so the grid behind the dialog previews it; Cancel puts back the
// fonts and the area colours (RestoreFontsAndColors). F1 opens the help at context 740.
//
// A derived dialog lays out its controls (a Designer form), hands them over with AttachPieces
// and runs its own FormatGrid. User-interface thread only.
#pragma once

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "views/format_pickers.h"
#include "views/grid_view_model.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace views {

class FormatViewDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kHelpContext = 740;

    // The description of a font: its point size rounded to a whole number (halves to even),
    // " pt. " and its name ("8 pt. Tahoma").
    static QString FontDescription(const GridFont& font);

    // The pickers the dialog asks (not owned); nullptr restores the platform's pickers.
    void SetPickers(FormatPickers* pickers) { m_pickers = pickers ? pickers : &m_qtPickers; }
    int HelpContextID() const { return kHelpContext; }
    const std::string& HelpFile() const { return m_helpFile; }

protected:
    // One colour-area list: the editable drop-down, its "..." button and swatch, and the
    // grid property behind each item, in item order.
    struct AreaList {
        AreaList() = default;
        AreaList(QComboBox* list, QPushButton* pick, QLabel* swatch, std::vector<ColorArea> areas)
            : list(list), pick(pick), swatch(swatch), areas(std::move(areas)) {}
        QComboBox* list = nullptr;
        QPushButton* pick = nullptr;
        QLabel* swatch = nullptr;
        std::vector<ColorArea> areas;
        bool foreground = false;
        int selected = -1;            // -1: nothing selected (acts as the first item)
        std::vector<OleColor> saved;  // the areas' colours when the dialog opened
        ColorArea Current() const { return areas.at(selected < 0 ? 0 : selected); }
    };

    FormatViewDialog(std::string helpFile, QWidget* parent);

    // Connects the shared controls. defaultsOrder lists the areas "Defaults" resets, in order.
    void AttachPieces(AreaList foreground, AreaList background, std::array<QPushButton*, 2> fontButtons,
                      std::array<QLabel*, 2> descriptions, QPushButton* defaults, std::vector<ColorArea> defaultsOrder);

    // Opening: keeps the grid, clears the OK flag, takes the working and saved fonts, fills the
    // font descriptions, shows BackColor and ForeColor in the swatches with both lists back at
    // "Cell Area", and saves the areas' colours.
    void OpenOn(GridViewModel& grid);
    // Shows the dialog modally until OK or Cancel hides it; true when OK was pressed.
    bool RunModal();
    // Cancel: the fonts and the area colours as they were at opening.
    void RestoreFontsAndColors();
    // OK: the grid's fonts set from the working fonts.
    void KeepWorkingFonts();
    // Drops the grid.
    void Release() { m_grid = nullptr; }

    GridViewModel& Grid() { return *m_grid; }
    void cmdOK_Click();
    void cmdCancel_Click();

    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowSwatch(QLabel* swatch, OleColor color);
    void AreaSelected(AreaList& areas, int index);
    void PickAreaColor(AreaList& areas);
    void PickFont(int index);
    void DefaultColors();
    void FillFontDescriptions();

    std::string m_helpFile;
    QtFormatPickers m_qtPickers;
    FormatPickers* m_pickers = &m_qtPickers;
    GridViewModel* m_grid = nullptr;
    bool m_ok = false;
    AreaList m_foreground;
    AreaList m_background;
    std::array<QPushButton*, 2> m_fontButtons{};
    std::array<QLabel*, 2> m_descriptions{};
    std::vector<ColorArea> m_defaultsOrder;
    std::array<GridFontObject*, 2> m_working{};
    std::array<GridFont, 2> m_savedFonts{};
};

}  // namespace views
