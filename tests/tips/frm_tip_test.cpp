#include "tips/frm_tip.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <cstdlib>
#include <ostream>

#include "common/recording_ui.h"
#include "engine/error.h"
#include "support/temp_dir.h"
#include "tips/tip_artwork.h"

// Readable rectangles and points in failure messages.
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << "(" << p.x() << ", " << p.y() << ")"; }
inline void PrintTo(const QSize& s, std::ostream* os) { *os << s.width() << " x " << s.height(); }

namespace tips {
namespace {

class FrmTipTest : public ::testing::Test {
protected:
    FrmTipTest() { ui.screen = {1920, 1080, 15.0, 15.0}; }

    QLabel* Title(frmTip& tip) { return tip.findChild<QLabel*>("lblTitle"); }
    QLabel* Icon(frmTip& tip) { return tip.findChild<QLabel*>("imgDisplayIcon"); }
    QLabel* CloseButton(frmTip& tip) { return tip.findChild<QLabel*>("imgX"); }
    QWidget* CloseGlyph(frmTip& tip) { return tip.findChild<QWidget*>("lblX"); }
    QTextEdit* Text(frmTip& tip) { return tip.findChild<QTextEdit*>("txtTip"); }
    QWidget* TextArea(frmTip& tip) { return Text(tip)->viewport(); }
    QTimer* Timer(frmTip& tip) { return tip.findChild<QTimer*>("timAutoClose"); }

    // Runs the event loop until the condition holds or two seconds have passed.
    template <typename Condition>
    static bool WaitFor(Condition condition) {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < 2000) QTest::qWait(10);
        return condition();
    }

    ui::RecordingUi ui;
};

TEST_F(FrmTipTest, TitleAndTextOnlyGiveACentredDefaultTipWithoutIconCloseOrTimer) {
    frmTip tip;
    tip.DisplayMsg("Packing Database", "Packing Database:  /data");
    EXPECT_TRUE(tip.isVisible());
    EXPECT_TRUE(tip.IsTopmost());
    EXPECT_EQ(tip.size(), QSize(312, 108));  // 4680 x 1620 twips at 15 twips per pixel
    EXPECT_EQ(tip.pos(), QPoint((1920 - 312) / 2, (1080 - 108) / 2));
    EXPECT_EQ(Title(tip)->text(), "Packing Database");
    EXPECT_EQ(Text(tip)->toPlainText(), "Packing Database:  /data");
    EXPECT_TRUE(Icon(tip)->isHidden());
    EXPECT_EQ(Title(tip)->indent(), 10);  // the title begins where the icon would be
    EXPECT_TRUE(CloseButton(tip)->isHidden());
    EXPECT_TRUE(CloseGlyph(tip)->isHidden());
    EXPECT_FALSE(Timer(tip)->isActive());
}

TEST_F(FrmTipTest, PositionsAndSizesAreTwipsAtTheScreensResolution) {
    ui.screen = {1600, 1200, 12.0, 12.0};  // 120 dots per inch
    frmTip tip;
    tip.DisplayMsg("T", "x", {.lPosX = 1200, .lPosY = 2400, .lHeight = 2400, .lWidth = 6000});
    EXPECT_EQ(tip.pos(), QPoint(100, 200));
    EXPECT_EQ(tip.size(), QSize(500, 200));
}

TEST_F(FrmTipTest, CentringUsesTheSizeTheTipHadBeforeTheCall) {
    frmTip tip;
    tip.DisplayMsg("T", "x", {.lHeight = 3000, .lWidth = 9000});
    EXPECT_EQ(tip.size(), QSize(600, 200));
    tip.DisplayMsg("T", "x");
    EXPECT_EQ(tip.size(), QSize(312, 108));
    EXPECT_EQ(tip.pos(), QPoint((1920 - 600) / 2, (1080 - 200) / 2));
}

TEST_F(FrmTipTest, EveryResizeLaysThePartsOutAgain) {
    frmTip tip;
    tip.DisplayMsg("T", "x", {.bShowClose = true});
    tip.resize(500, 220);
    QApplication::processEvents();
    EXPECT_EQ(Text(tip)->geometry(), QRect(8, 30, 480, 180));
    const QRect glyph = CloseGlyph(tip)->geometry();
    EXPECT_EQ(glyph.left() + glyph.width(), 500 - 13);
    EXPECT_EQ(glyph.top(), 5);
    EXPECT_EQ(CloseButton(tip)->geometry().topLeft(), QPoint(500 - glyph.width() - 15, 2));
    EXPECT_EQ(Title(tip)->geometry(), QRect(0, 1, 500, 20));
    EXPECT_FALSE(tip.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(tip.mask().contains(QPoint(499, 110)));
    EXPECT_FALSE(tip.mask().contains(QPoint(499, 219)));
}

TEST_F(FrmTipTest, IconNameIsLowerCasedAndPicksAPicture) {
    frmTip tip;
    BalloonArgs args{.sIcon = "I"};
    tip.DisplayMsg("T", "x", args);
    EXPECT_EQ(args.sIcon, "i");
    EXPECT_FALSE(Icon(tip)->isHidden());
    EXPECT_EQ(Icon(tip)->pixmap().toImage(), tip.IconPicture(IconSet::Newer, IconKind::Information).toImage());
    EXPECT_EQ(Title(tip)->indent(), 10 + 16 + kTitleIconGap);

    args.sIcon = "X9";
    tip.SetBalloon("T", "x", args);
    EXPECT_EQ(args.sIcon, "x9");
    EXPECT_EQ(Icon(tip)->pixmap().toImage(), tip.IconPicture(IconSet::Older, IconKind::Error).toImage());

    args.sIcon = "warning";
    tip.SetBalloon("T", "x", args);
    EXPECT_TRUE(Icon(tip)->isHidden());
    EXPECT_EQ(Title(tip)->indent(), Icon(tip)->geometry().left());
}

TEST_F(FrmTipTest, SixIconPicturesDifferFromEachOther) {
    frmTip tip;
    std::vector<QImage> pictures;
    for (IconSet set : {IconSet::Newer, IconSet::Older})
        for (IconKind kind : {IconKind::Information, IconKind::Error, IconKind::Warning})
            pictures.push_back(tip.IconPicture(set, kind).toImage());
    for (size_t a = 0; a < pictures.size(); ++a)
        for (size_t b = a + 1; b < pictures.size(); ++b) EXPECT_NE(pictures[a], pictures[b]) << a << " " << b;
}

TEST_F(FrmTipTest, WithoutCloseButtonClicksOnBackgroundTextOrIconCloseButNotOnTheTitle) {
    frmTip tip;
    tip.DisplayMsg("T", "x", {.sIcon = "!"});
    QTest::mouseClick(Title(tip), Qt::LeftButton, {}, QPoint(100, 10));
    QTest::mouseClick(Title(tip), Qt::RightButton, {}, QPoint(100, 10));
    EXPECT_TRUE(tip.isVisible());
    QTest::mouseClick(TextArea(tip), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_FALSE(tip.isVisible());

    tip.DisplayMsg("T", "x", {.sIcon = "!"});
    QTest::mouseClick(&tip, Qt::LeftButton, {}, QPoint(4, 60));
    EXPECT_FALSE(tip.isVisible());

    tip.DisplayMsg("T", "x", {.sIcon = "!"});
    QTest::mouseClick(Icon(tip), Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_FALSE(tip.isVisible());
}

TEST_F(FrmTipTest, WithCloseButtonATextClickStaysButADoubleClickOrTheCrossCloses) {
    frmTip tip;
    tip.DisplayMsg("T", "x", {.bShowClose = true});
    QTest::mouseClick(TextArea(tip), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_TRUE(tip.isVisible());
    QTest::mouseDClick(TextArea(tip), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_FALSE(tip.isVisible());

    tip.DisplayMsg("T", "x", {.bShowClose = true});
    QTest::mouseClick(CloseGlyph(tip), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_FALSE(tip.isVisible());

    tip.DisplayMsg("T", "x", {.bShowClose = true});
    QTest::mouseClick(CloseButton(tip), Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_FALSE(tip.isVisible());
}

TEST_F(FrmTipTest, CloseButtonShowsItsPressedPictureWhileHeld) {
    frmTip tip;
    tip.DisplayMsg("T", "x", {.bShowClose = true});
    EXPECT_EQ(CloseButton(tip)->pixmap().toImage(), tip.CloseUpPicture().toImage());
    QTest::mousePress(CloseGlyph(tip), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_TRUE(tip.CloseButtonPressed());
    EXPECT_EQ(CloseButton(tip)->pixmap().toImage(), tip.CloseDownPicture().toImage());
    // Released away from the cross: the picture comes back up and the tip stays.
    QTest::mouseRelease(CloseGlyph(tip), Qt::LeftButton, {}, QPoint(60, 60));
    EXPECT_FALSE(tip.CloseButtonPressed());
    EXPECT_EQ(CloseButton(tip)->pixmap().toImage(), tip.CloseUpPicture().toImage());
    EXPECT_TRUE(tip.isVisible());
    EXPECT_NE(tip.CloseUpPicture().toImage(), tip.CloseDownPicture().toImage());
}

TEST_F(FrmTipTest, DraggingTheTitleMovesTheTip) {
    frmTip tip;
    tip.DisplayMsg("T", "x", {.lPosX = 1500, .lPosY = 1500});
    ASSERT_EQ(tip.pos(), QPoint(100, 100));
    QTest::mousePress(Title(tip), Qt::LeftButton, {}, QPoint(50, 10));
    QTest::mouseMove(Title(tip), QPoint(80, 25));
    QTest::mouseRelease(Title(tip), Qt::LeftButton, {}, QPoint(80, 25));
    EXPECT_EQ(tip.pos(), QPoint(130, 115));
    EXPECT_TRUE(tip.isVisible());
}

TEST_F(FrmTipTest, AutoCloseTimerHidesTheTip) {
    frmTip tip;
    tip.DisplayMsg("Invalid Password.", "x", {.bShowClose = true, .lAutoCloseAfter = 3000});
    ASSERT_TRUE(Timer(tip)->isActive());
    EXPECT_EQ(Timer(tip)->interval(), 3000);
    EXPECT_TRUE(tip.isVisible());

    tip.DisplayMsg("T", "x", {.lAutoCloseAfter = 30});
    EXPECT_TRUE(WaitFor([&] { return !tip.isVisible(); }));
    EXPECT_FALSE(Timer(tip)->isActive());

    tip.DisplayMsg("T", "x", {.lAutoCloseAfter = 30});
    tip.DisplayMsg("T", "x", {.lAutoCloseAfter = 0});
    EXPECT_FALSE(Timer(tip)->isActive());
}

TEST_F(FrmTipTest, HidingReturnsTheTipToItsNewState) {
    frmTip tip;
    EXPECT_EQ(Title(tip)->text(), "<Title>");
    tip.DisplayMsg("First", "one");
    tip.DisplayMsg("Second", "");
    EXPECT_EQ(Text(tip)->toPlainText(), "one");  // an empty text leaves the text as it was
    tip.HideBalloon();
    EXPECT_FALSE(tip.isVisible());
    EXPECT_EQ(Title(tip)->text(), "<Title>");
    tip.DisplayMsg("Third", "");
    EXPECT_EQ(Text(tip)->toPlainText(), "");
}

TEST_F(FrmTipTest, AFailingStepSkipsTheRestButTheTipIsStillShown) {
    frmTip tip;
    tip.DisplayMsg("Missing", "text",
                   {.lPosX = 0, .lPosY = 0, .sIcon = "x", .lWidth = 9000, .sRTFFilename = "/no/such/notes.rtf"});
    EXPECT_TRUE(tip.isVisible());
    EXPECT_EQ(Title(tip)->text(), "Missing");
    EXPECT_EQ(Text(tip)->toPlainText(), "text");
    EXPECT_EQ(tip.pos(), QPoint((1920 - 312) / 2, (1080 - 108) / 2));  // where a new tip starts
    EXPECT_EQ(tip.size(), QSize(312, 108));
    EXPECT_FALSE(Icon(tip)->isHidden());
    EXPECT_EQ(Icon(tip)->pixmap().toImage(), tip.IconPicture(IconSet::Newer, IconKind::Information).toImage());

    BalloonArgs args{.sIcon = "X", .bShowClose = true, .lAutoCloseAfter = -5, .lWidth = 9000};
    EXPECT_THROW(tip.SetBalloon("T", "x", args), engine::Error);
    EXPECT_EQ(args.sIcon, "x");
    EXPECT_FALSE(CloseButton(tip)->isHidden());
    EXPECT_FALSE(Timer(tip)->isActive());
    EXPECT_EQ(tip.size(), QSize(312, 108));
}

TEST_F(FrmTipTest, RichTextFileIsShownAsItsTextAndKeepsItsFont) {
    testing_support::TempDir dir;
    const std::string file = (dir / "17.rtf").string();
    testing_support::WriteFile(file, "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Line one\\par Caf\\'e9}");
    frmTip tip;
    tip.DisplayMsg("Notes", "ignored", {.sFont = "Courier", .sRTFFilename = file});
    EXPECT_EQ(Text(tip)->toPlainText(), QString::fromUtf8("Line one\nCaf\u00e9"));
    EXPECT_EQ(Text(tip)->font().family(), "MS Sans Serif");
    EXPECT_EQ(Title(tip)->font().family(), "Courier");
    EXPECT_TRUE(Title(tip)->font().bold());
    EXPECT_EQ(tip.font().family(), "Courier");

    tip.DisplayMsg("Plain", "text", {.sFont = "Courier"});
    EXPECT_EQ(Text(tip)->font().family(), "Courier");
}

TEST_F(FrmTipTest, TopmostCanBeDroppedWithoutMovingTheTip) {
    frmTip tip;
    tip.DisplayMsg("T", "x", {.lPosX = 1500, .lPosY = 3000});
    const QRect where = tip.geometry();
    tip.SetTopmost(false);
    EXPECT_FALSE(tip.IsTopmost());
    EXPECT_EQ(tip.geometry(), where);
    EXPECT_TRUE(tip.isVisible());
    tip.SetTopmost(true);
    EXPECT_TRUE(tip.IsTopmost());
    EXPECT_EQ(tip.geometry(), where);
}

TEST_F(FrmTipTest, ATipLeftToItselfDeletesItselfWhenItCloses) {
    QPointer<frmTip> tip = new frmTip;
    tip->setAttribute(Qt::WA_DeleteOnClose);
    tip->DisplayMsg("Invalid Password.", "x", {.bShowClose = true, .lAutoCloseAfter = 20});
    EXPECT_TRUE(WaitFor([&] { return tip.isNull(); }));
}

TEST_F(FrmTipTest, DrawnTipHasTheTitleBandAndTheCross) {
    frmTip tip;
    tip.DisplayMsg("Updating Archive", "Record 1 of 3.\r\n    Acct #:  17", {.sIcon = "i", .bShowClose = true});
    const QImage image = tip.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(200, 4)), QColor(243, 245, 158));
    const QRect glyph = CloseGlyph(tip)->geometry();
    EXPECT_EQ(QColor(image.pixel(glyph.center())), QColor(Qt::white));
    if (const char* dir = std::getenv("TIP_SCREENSHOT_DIR")) image.save(QString(dir) + "/tip.png");
}

}  // namespace
}  // namespace tips
