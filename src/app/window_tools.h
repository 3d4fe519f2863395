// Small window services shared by the program's windows.
#pragma once

class QWidget;

namespace app {

// Places window above all windows that are not topmost (onTop true) or back among them,
// without moving or resizing it, and records onTop as the program's last topmost request.
void SetTopmost(QWidget* window, bool onTop);

// What the last SetTopmost call asked for.
bool LastTopmost();

}  // namespace app
