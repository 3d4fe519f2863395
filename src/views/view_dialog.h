// ViewDialog: what the modal view dialogs (sort, group by, field chooser, view summary) share:
// a help context that F1 opens in the program's help file through the user-interface seam,
// and placing the dialog before it is shown (centred on the screen, or at a point given in
// twips from another window's top-left corner).
#pragma once

#include <QDialog>
#include <string>

namespace views {

// The help file the view dialogs open with F1; the program sets it once it knows its folder.
void SetViewHelpFile(std::string path);
const std::string& ViewHelpFile();

// The hourglass pointer for as long as it lives.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

class ViewDialog : public QDialog {
    Q_OBJECT
public:
    int HelpContextID() const { return m_helpContextId; }
    // Moves the dialog to the centre of the screen.
    void CentreOnScreen();
    // Moves the dialog's top-left corner to another window's top-left corner plus an offset
    // in twips (to the right and down).
    void PlaceBeside(const QWidget& other, int twipsRight, int twipsDown);
    // The screen point that lies an offset in twips right of and below a window's top-left.
    static QPoint CornerBeside(const QWidget& other, int twipsRight, int twipsDown);

protected:
    ViewDialog(QWidget* parent, int helpContextId);
    // Sizes the dialog to its laid-out contents; call once the controls are filled.
    void FitToContents();
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_helpContextId;
};

}  // namespace views
