#include "views/view_dialog.h"

#include <QKeyEvent>
#include <QLayout>

#include "common/ui.h"

namespace views {

namespace {
std::string& HelpFilePath() {
    static std::string path;
    return path;
}
}  // namespace

void SetViewHelpFile(std::string path) { HelpFilePath() = std::move(path); }
const std::string& ViewHelpFile() { return HelpFilePath(); }

BusyCursor::BusyCursor() { ui::Current().SetBusyCursor(true); }
BusyCursor::~BusyCursor() { ui::Current().SetBusyCursor(false); }

ViewDialog::ViewDialog(QWidget* parent, int helpContextId) : QDialog(parent), m_helpContextId(helpContextId) {
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void ViewDialog::FitToContents() {
    if (layout()) layout()->activate();
    resize(size().expandedTo(sizeHint()));
}

void ViewDialog::CentreOnScreen() {
    FitToContents();
    const ui::ScreenSize screen = ui::Current().Screen();
    if (screen.widthPixels <= 0 || screen.heightPixels <= 0) return;
    move((screen.widthPixels - width()) / 2, (screen.heightPixels - height()) / 2);
}

QPoint ViewDialog::CornerBeside(const QWidget& other, int twipsRight, int twipsDown) {
    const ui::ScreenSize screen = ui::Current().Screen();
    const QPoint corner = other.isWindow() ? other.pos() : other.mapToGlobal(QPoint(0, 0));
    if (screen.twipsPerPixelX <= 0 || screen.twipsPerPixelY <= 0) return corner;
    return corner + QPoint(static_cast<int>(twipsRight / screen.twipsPerPixelX),
                           static_cast<int>(twipsDown / screen.twipsPerPixelY));
}

void ViewDialog::PlaceBeside(const QWidget& other, int twipsRight, int twipsDown) {
    move(CornerBeside(other, twipsRight, twipsDown));
}

void ViewDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        ui::Current().ShowHelp(ViewHelpFile(), m_helpContextId);
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace views
