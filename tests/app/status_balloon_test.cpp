#include <gtest/gtest.h>

#include <QLabel>
#include <QTextEdit>

#include "app/window_tools.h"
#include "archive_window_fixture.h"

using app_testing::FormLoadTest;
using app_testing::TestWindow;

namespace {

std::string TitleOf(const tips::frmTip& tip) { return tip.findChild<QLabel*>("lblTitle")->text().toStdString(); }
std::string TextOf(const tips::frmTip& tip) { return tip.findChild<QTextEdit*>("txtTip")->toPlainText().toStdString(); }

}  // namespace

class StatusBalloonTest : public FormLoadTest {};

TEST_F(StatusBalloonTest, ShowStatusCentresTheInformationBalloon2000TwipsDownAndRaisesItWithoutPinning) {
    rec.screen = {1600, 1200, 12.0, 15.0};
    rec.recordDoEvents = true;
    TestWindow window(environment);
    auto now = std::chrono::steady_clock::now();
    window.SetStatusClock([&] { return now; });
    EXPECT_EQ(window.StatusTip(), nullptr);

    window.ShowStatus("Archiving", "Patient 42", true);
    tips::frmTip* tip = window.StatusTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->isVisible());
    EXPECT_EQ(TitleOf(*tip), "Archiving");
    EXPECT_EQ(TextOf(*tip), "Patient 42");
    EXPECT_EQ(tip->y(), qRound(2000 / 15.0));
    EXPECT_EQ(tip->x(), qRound((1600 * 12 - 4680) / 2 / 12.0));  // centred on the design width
    EXPECT_EQ(tip->size(), QSize(qRound(4680 / 12.0), qRound(1620 / 15.0)));
    EXPECT_TRUE(tip->findChild<QLabel*>("imgDisplayIcon")->isVisibleTo(tip));
    EXPECT_TRUE(tip->findChild<QLabel*>("imgX")->isVisibleTo(tip));
    EXPECT_EQ(tip->findChild<QLabel*>("lblTitle")->font().family(), "MS Sans Serif");
    EXPECT_FALSE(tip->IsTopmost());
    EXPECT_FALSE(app::LastTopmost());
    ASSERT_FALSE(rec.calls.empty());
    EXPECT_EQ(rec.calls.back().kind, ui::Shown::Kind::DoEvents);

    // The same balloon shows the next message; without bringing to front it stays topmost
    // as the balloon itself makes it.
    app::SetTopmost(nullptr, false);
    now += app::frmArchive::kEventInterval;
    window.ShowStatus("Archiving", "Patient 43", false);
    EXPECT_EQ(window.StatusTip(), tip);
    EXPECT_EQ(TextOf(*tip), "Patient 43");
    EXPECT_TRUE(tip->IsTopmost());
    EXPECT_FALSE(app::LastTopmost());
}

TEST_F(StatusBalloonTest, HideStatusCreatesTheBalloonWhenNeededAndUnloadReleasesIt) {
    TestWindow window(environment);
    window.HideStatus();
    ASSERT_NE(window.StatusTip(), nullptr);
    EXPECT_FALSE(window.StatusTip()->isVisible());

    window.ShowStatus("Packing", "Packing Database:  /data", true);
    window.HideStatus();
    EXPECT_FALSE(window.StatusTip()->isVisible());

    window.Form_Unload();
    EXPECT_EQ(window.StatusTip(), nullptr);
}
