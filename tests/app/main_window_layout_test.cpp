#include <gtest/gtest.h>

#include "app/main_window_layout.h"

using app::DesignGeometry;
using app::MainWindowGeometry;
using app::ResizeLayout;
using app::TwipsRect;

TEST(ResizeLayout, StretchesBarAndGridAndKeepsButtonsAtTheBottomRight) {
    MainWindowGeometry g = DesignGeometry();
    ResizeLayout(g, 15000, 9000);
    EXPECT_EQ(g.suiFolders, (TwipsRect{0, 360, 3435, 9000 - 360 - 100}));
    EXPECT_EQ(g.cmdArchive, (TwipsRect{3540, 9000 - 315 - 100, 1155, 315}));
    EXPECT_EQ(g.cmdClose, (TwipsRect{15000 - 1155, 8585, 1155, 315}));
    EXPECT_EQ(g.grdPatients, (TwipsRect{3540, 360, 15000 - 3435 - 100, 8585 - 360 - 100}));
    // What the layout never touches keeps its design.
    EXPECT_EQ(g.lblArchive, DesignGeometry().lblArchive);
    EXPECT_EQ(g.cmdStop, DesignGeometry().cmdStop);
}

TEST(ResizeLayout, ABarShorterThan100MovesNothing) {
    MainWindowGeometry g = DesignGeometry();
    ResizeLayout(g, 2000, 360 + 100 + 99);
    EXPECT_EQ(g, DesignGeometry());
    ResizeLayout(g, 0, 0);  // minimised
    EXPECT_EQ(g, DesignGeometry());
}

TEST(ResizeLayout, TooNarrowForCloseLeavesTheGridAlone) {
    MainWindowGeometry g = DesignGeometry();
    ResizeLayout(g, 1154 + 100, 5000);
    EXPECT_EQ(g.suiFolders.height, 5000 - 460);
    EXPECT_EQ(g.cmdArchive.top, 5000 - 415);
    EXPECT_EQ(g.cmdClose.top, 5000 - 415);
    EXPECT_EQ(g.cmdClose.left, DesignGeometry().cmdClose.left);
    EXPECT_EQ(g.grdPatients, DesignGeometry().grdPatients);
}

TEST(ResizeLayout, EachLaterStepStopsOnItsOwnLimit) {
    // Room for the bar and the buttons but a grid shorter than 100: its height and width stay.
    MainWindowGeometry g = DesignGeometry();
    ResizeLayout(g, 12255, 974);
    EXPECT_EQ(g.suiFolders.height, 974 - 460);
    EXPECT_EQ(g.cmdClose, (TwipsRect{12255 - 1155, 974 - 415, 1155, 315}));
    EXPECT_EQ(g.grdPatients, DesignGeometry().grdPatients);

    // At 975 the grid gets exactly 100.
    g = DesignGeometry();
    ResizeLayout(g, 12255, 975);
    EXPECT_EQ(g.grdPatients.height, 100);

    // Tall but too narrow for the grid beside the bar: height follows, width stays.
    g = DesignGeometry();
    ResizeLayout(g, 3634, 7035);
    EXPECT_EQ(g.grdPatients.height, 7035 - 415 - 460);
    EXPECT_EQ(g.grdPatients.width, DesignGeometry().grdPatients.width);
}
