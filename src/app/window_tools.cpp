#include "app/window_tools.h"

#include <QWidget>

namespace app {
namespace {
bool g_topmost = false;
}  // namespace

void SetTopmost(QWidget* window, bool onTop) {
    g_topmost = onTop;
    if (!window) return;
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        // Changing a window flag hides a shown window; show it again where it was.
        const bool wasVisible = window->isVisible();
        const QRect where = window->geometry();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        if (wasVisible) {
            window->setGeometry(where);
            window->show();
        }
    }
    if (onTop && window->isVisible()) window->raise();
}

bool LastTopmost() { return g_topmost; }

}  // namespace app
