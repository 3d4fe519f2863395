#include "tips/tip_geometry.h"

#include <gtest/gtest.h>

namespace tips {
namespace {

TEST(TipGeometry, DefaultSizeInPixelsFollowsTheScreenResolution) {
    EXPECT_EQ(TwipsToPixels(kDefaultWidthTwips, 15.0), 312);  // 96 dots per inch
    EXPECT_EQ(TwipsToPixels(kDefaultHeightTwips, 15.0), 108);
    EXPECT_EQ(TwipsToPixels(kDefaultWidthTwips, 12.0), 390);  // 120 dots per inch
    EXPECT_EQ(TwipsToPixels(kDefaultHeightTwips, 12.0), 135);
    EXPECT_EQ(TwipsToPixels(2000, 15.0), 133);
    EXPECT_EQ(TwipsToPixels(-1500, 15.0), -100);
    EXPECT_DOUBLE_EQ(PixelsToTwips(312, 15.0), 4680.0);
}

TEST(TipGeometry, LayoutOfTheDefaultWindow) {
    const TipLayout layout = LayoutFor(QSize(312, 108));
    EXPECT_EQ(layout.text, QRect(8, 30, 292, 68));
    EXPECT_EQ(layout.closeGlyph, QRect(286, 5, 13, 13));
    EXPECT_EQ(layout.closeButton, QRect(284, 2, 17, 18));
    EXPECT_EQ(layout.icon, QRect(10, 2, 16, 16));
    EXPECT_EQ(layout.title, QRect(0, 1, 312, 20));
}

TEST(TipGeometry, TextAndCloseGlyphKeepTheirMarginsAtEverySize) {
    for (const QSize inner : {QSize(200, 80), QSize(312, 108), QSize(640, 300), QSize(1001, 77)}) {
        for (const QSize glyph : {QSize(13, 13), QSize(20, 16)}) {
            const TipLayout layout = LayoutFor(inner, 24, glyph);
            SCOPED_TRACE(testing::Message() << inner.width() << "x" << inner.height());
            EXPECT_EQ(layout.text.left(), 8);
            EXPECT_EQ(layout.text.width(), inner.width() - 20);
            EXPECT_EQ(layout.text.top(), 24 + 10);
            EXPECT_EQ(layout.text.height(), inner.height() - 24 - 20);
            EXPECT_EQ(layout.closeGlyph.left() + layout.closeGlyph.width(), inner.width() - 13);
            EXPECT_EQ(layout.closeGlyph.size(), glyph);
            EXPECT_EQ(layout.closeButton.left(), layout.closeGlyph.left() - 2);
            EXPECT_EQ(layout.title.width(), inner.width());
        }
    }
}

TEST(TipGeometry, TooSmallWindowGivesTheTextBoxNoSizeRatherThanANegativeOne) {
    const TipLayout layout = LayoutFor(QSize(10, 30));
    EXPECT_EQ(layout.text.width(), 0);
    EXPECT_EQ(layout.text.height(), 0);
}

TEST(TipGeometry, TitleTextStartsAfterTheIconOrInItsPlace) {
    const TipLayout layout = LayoutFor(QSize(312, 108));
    EXPECT_EQ(TitleTextLeft(false, layout), 10);
    EXPECT_EQ(TitleTextLeft(true, layout), 10 + 16 + kTitleIconGap);
}

TEST(TipGeometry, IconNamesAreComparedLowerCased) {
    EXPECT_EQ(LowerIconName("I"), "i");
    EXPECT_EQ(LowerIconName("X9"), "x9");
    EXPECT_EQ(LowerIconName("!9"), "!9");
    EXPECT_EQ(IconFor("i"), (IconChoice{IconSet::Newer, IconKind::Information}));
    EXPECT_EQ(IconFor("x"), (IconChoice{IconSet::Newer, IconKind::Error}));
    EXPECT_EQ(IconFor("!"), (IconChoice{IconSet::Newer, IconKind::Warning}));
    EXPECT_EQ(IconFor("i9"), (IconChoice{IconSet::Older, IconKind::Information}));
    EXPECT_EQ(IconFor("x9"), (IconChoice{IconSet::Older, IconKind::Error}));
    EXPECT_EQ(IconFor("!9"), (IconChoice{IconSet::Older, IconKind::Warning}));
    for (const char* other : {"", "I", "info", " i", "i ", "9", "?"})
        EXPECT_EQ(IconFor(other).set, IconSet::None) << '"' << other << '"';
}

TEST(TipGeometry, RoundedRegionCutsTheCornersOnly) {
    const QRegion region = RoundedRegion(QSize(312, 108));
    EXPECT_TRUE(region.contains(QPoint(156, 54)));
    EXPECT_TRUE(region.contains(QPoint(156, 0)));
    EXPECT_TRUE(region.contains(QPoint(0, 54)));
    EXPECT_TRUE(region.contains(QPoint(311, 54)));
    for (const QPoint corner : {QPoint(0, 0), QPoint(311, 0), QPoint(0, 107), QPoint(311, 107), QPoint(2, 2)})
        EXPECT_FALSE(region.contains(corner)) << corner.x() << "," << corner.y();
    EXPECT_FALSE(region.contains(QPoint(312, 54)));
    EXPECT_LE(region.boundingRect().right(), 311);
    EXPECT_LE(region.boundingRect().bottom(), 107);
}

}  // namespace
}  // namespace tips
