#include "app/main_window_layout.h"

namespace app {
namespace {
constexpr int kMargin = 100;
constexpr int kLeastSize = 100;
}  // namespace

MainWindowGeometry DesignGeometry() {
    MainWindowGeometry g;
    g.lblArchive = {60, 60, 480, 195};
    g.suiFolders = {0, 360, 3435, 6375};
    g.grdPatients = {3540, 360, 8640, 6015};
    g.cmdArchive = {3540, 6480, 1155, 315};
    g.cmdStop = {4800, 6420, 615, 555};
    g.cmdClose = {11040, 6480, 1155, 315};
    return g;
}

void ResizeLayout(MainWindowGeometry& g, int innerWidth, int innerHeight) {
    const int barHeight = innerHeight - g.suiFolders.top - kMargin;
    if (barHeight < kLeastSize) return;
    g.suiFolders.height = barHeight;

    const int buttonTop = innerHeight - g.cmdArchive.height - kMargin;
    if (buttonTop < kLeastSize) return;
    g.cmdArchive.top = buttonTop;
    g.cmdClose.top = g.cmdArchive.top;

    // Close's right edge touches the window's right edge.
    const int closeLeft = innerWidth - g.cmdClose.width;
    if (closeLeft < kLeastSize) return;
    g.cmdClose.left = closeLeft;

    const int gridHeight = g.cmdArchive.top - g.grdPatients.top - kMargin;
    if (gridHeight < kLeastSize) return;
    g.grdPatients.height = gridHeight;

    const int gridWidth = innerWidth - (g.suiFolders.left + g.suiFolders.width) - kMargin;
    if (gridWidth < kLeastSize) return;
    g.grdPatients.width = gridWidth;
}

}  // namespace app
