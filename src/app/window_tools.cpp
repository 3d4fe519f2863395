#include "app/window_tools.h"

#include <QWidget>
#include <QWindow>

namespace app {
namespace {
bool g_topmost = false;
}  // namespace

void SetTopmost(QWidget* window, bool onTop) {
    g_topmost = onTop;
    if (!window) return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    if (flags != window->windowFlags()) {
        if (QWindow* native = window->windowHandle()) {
            // Changing the flags of the native window keeps it where it is and visible.
            window->overrideWindowFlags(flags);
            native->setFlags(flags);
        } else {
            const QRect where = window->geometry();
            window->setWindowFlags(flags);
            window->setGeometry(where);
        }
    }
    if (onTop && window->isVisible()) window->raise();
}

bool LastTopmost() { return g_topmost; }

}  // namespace app
