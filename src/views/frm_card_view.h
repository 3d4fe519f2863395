// frmCardView: the modal dialog "Format Card View". FormatGrid does for a grid shown as cards
// what frmTableview does for a table, with fewer areas: the fonts of the card headings and
// body, four foreground and four background colours (the "Header" background is the grid's
// BackColorGroupBy), in-cell editing, the record navigator (at once, kept on Cancel) and the
// card width, shown in screen pixels and written back in twips by OK only. Neither OK nor
// Cancel is a default or cancel button: Enter and Esc press nothing. F1 opens the help at
// context 740.
//
// Opened by the view summary for a grid in card view. User-interface thread only.
#pragma once

#include <memory>

#include "views/format_view_dialog.h"

namespace Ui {
class frmCardView;
}

namespace views {

class frmCardView : public FormatViewDialog {
    Q_OBJECT
public:
    // helpFile: the help file F1 opens.
    explicit frmCardView(QWidget* parent = nullptr, std::string helpFile = "Corvane.chm");
    ~frmCardView() override;

    // Shows the dialog modally on the grid and returns when it is closed.
    void FormatGrid(GridViewModel& grid);

    // The card width as the box shows it: twips to pixels in single precision, seven
    // significant digits ("200", "199.3333").
    static QString CardWidthText(int twips, double twipsPerPixel);
    // The card width in twips for the text of the box (pixels), rounded with halves to even;
    // nothing when the text is not a positive number that fits.
    static std::optional<int> CardWidthTwips(const QString& text, double twipsPerPixel);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<Ui::frmCardView> m_ui;
    bool m_savedAllowEdit = false;
    double m_twipsPerPixel = 15.0;
};

}  // namespace views
