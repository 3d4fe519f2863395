// The Archive program: installs the Qt user-interface seam and loads the main window.
#include <QApplication>
#include <QMainWindow>

#include "app/qt_ui.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::QtUi qtUi;
    ui::Install(&qtUi);
    QMainWindow window;
    window.setWindowTitle("Corvane Patient Archival");
    window.show();
    const int rc = application.exec();
    ui::Install(nullptr);
    return rc;
}
