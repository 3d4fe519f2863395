// Where the controls of the main window sit, in twips (1/1440 inch), and how they follow the
// window when it is resized. Pure arithmetic over a geometry record, so the window (Qt)
// only converts to pixels and applies it.
#pragma once

namespace app {

struct TwipsRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const TwipsRect&) const = default;
};

// The controls of frmArchive.
struct MainWindowGeometry {
    TwipsRect lblArchive;
    TwipsRect suiFolders;
    TwipsRect grdPatients;
    TwipsRect cmdArchive;
    TwipsRect cmdStop;
    TwipsRect cmdClose;
    bool operator==(const MainWindowGeometry&) const = default;
};

// The client area the window is designed for.
inline constexpr int kDesignInnerWidth = 12255;
inline constexpr int kDesignInnerHeight = 7035;

// Every control where the window's design puts it.
MainWindowGeometry DesignGeometry();

// Lays the controls out for a client area of innerWidth by innerHeight twips: the folder
// bar and the grid stretch, Archive and Close keep to the bottom and Close to the right
// edge. Each step needs at least 100 twips to work with; the first step without that room
// ends the layout and leaves the later controls where they were.
void ResizeLayout(MainWindowGeometry& geometry, int innerWidth, int innerHeight);

}  // namespace app
