// The main window while an archive run goes on: the status balloon and the stop check process
// window events only so often, Close asks whether to stop the run instead of closing, and the
// folder bar is out of reach. The run is a fake that reports its progress as the real one does.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include "archive_window_fixture.h"
#include "folders/folder_bar.h"
#include "views/record_grid.h"

using app_testing::FormLoadTest;
using app_testing::TestWindow;
using namespace std::chrono_literals;

namespace {

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point{} + 1h;
    app::frmArchive::Clock Function() {
        return [this] { return now; };
    }
};

// A window whose archive run is a fake: patients one after another, each with the stop check
// and eight status updates, 5 ms apart on the test's clock.
class RunningWindow : public TestWindow {
public:
    RunningWindow(app::StartupEnvironment environment, ManualClock& clock)
        : TestWindow(std::move(environment)), m_clock(clock) {
        SetStatusClock(clock.Function());
    }

    int patients = 10;
    int handled = 0;
    int inHand = 0;  // the patient being handled, 0 between patients
    bool hiddenDuringRun = false;
    bool folderBarEnabledDuringRun = false;
    bool gridEnabledDuringRun = true;

protected:
    void RunArchive() override {
        SetStopFlag(false);
        cmdStop()->show();
        for (int patient = 1; patient <= patients; ++patient) {
            if (StopRequested()) break;
            inHand = patient;
            for (int table = 1; table <= 8; ++table) {
                ShowStatus("Updating Archive", "Patient " + std::to_string(patient) + " table " + std::to_string(table),
                           true);
                m_clock.now += 5ms;
            }
            inHand = 0;
            ++handled;
            hiddenDuringRun |= !isVisible();
            folderBarEnabledDuringRun |= suiFolders()->isEnabled();
            gridEnabledDuringRun &= grdPatients()->isEnabled();
        }
        HideStatus();
        cmdStop()->hide();
    }

private:
    ManualClock& m_clock;
};

std::string BalloonText(const app::frmArchive& window) {
    return window.StatusTip()->findChild<QTextEdit*>("txtTip")->toPlainText().toStdString();
}

long DoEventsCount(const ui::RecordingUi& rec) {
    long count = 0;
    for (const ui::Shown& call : rec.calls) count += call.kind == ui::Shown::Kind::DoEvents;
    return count;
}

}  // namespace

class RunningWindowTest : public FormLoadTest {
protected:
    ManualClock clock;
};

TEST_F(RunningWindowTest, StatusUpdatesWithinTheIntervalWaitForTheNextRoundOfEvents) {
    rec.recordDoEvents = true;
    TestWindow window(environment);
    window.SetStatusClock(clock.Function());

    for (int i = 1; i <= 1000; ++i) window.ShowStatus("Updating Archive", "Record " + std::to_string(i), true);
    EXPECT_EQ(DoEventsCount(rec), 1);            // the first, which showed the balloon
    EXPECT_EQ(BalloonText(window), "Record 1");  // the others wait for the next round
    for (int i = 0; i < 1000; ++i) EXPECT_FALSE(window.StopRequested());
    EXPECT_EQ(DoEventsCount(rec), 1);

    // Once the interval has passed, the next call repaints and processes events again.
    clock.now += app::frmArchive::kEventInterval;
    window.ShowStatus("Updating Archive", "Record 1001", true);
    EXPECT_EQ(DoEventsCount(rec), 2);
    EXPECT_EQ(BalloonText(window), "Record 1001");
    // A stop check that processes events shows the latest words first.
    window.ShowStatus("Updating Archive", "Record 1002", true);
    window.ShowStatus("Updating Archive", "Record 1003", true);
    EXPECT_EQ(BalloonText(window), "Record 1001");
    clock.now += app::frmArchive::kEventInterval;
    EXPECT_FALSE(window.StopRequested());
    EXPECT_EQ(DoEventsCount(rec), 3);
    EXPECT_EQ(BalloonText(window), "Record 1003");

    // A hidden balloon is shown at once, whatever the clock says.
    window.HideStatus();
    window.ShowStatus("Updating Archive", "Record 1004", true);
    EXPECT_TRUE(window.StatusTip()->isVisible());
    EXPECT_EQ(BalloonText(window), "Record 1004");
}

TEST_F(RunningWindowTest, AStopClickIsHeardAtTheFirstStopCheckThatProcessesEvents) {
    TestWindow window(environment);
    window.SetStatusClock(clock.Function());
    window.cmdStop()->show();
    rec.onDoEvents = [&] { window.cmdStop()->click(); };  // the click waiting in the queue

    window.ShowStatus("Updating Archive", "Record 1", true);  // processes events: the click lands
    rec.onDoEvents = nullptr;
    EXPECT_TRUE(window.StopRequested());  // the flag is answered as it is, without waiting

    window.SetStopFlag(false);
    rec.onDoEvents = [&] { window.cmdStop()->click(); };
    EXPECT_FALSE(window.StopRequested());  // within the interval: not yet heard
    clock.now += app::frmArchive::kEventInterval;
    EXPECT_TRUE(window.StopRequested());
}

TEST_F(RunningWindowTest, CloseAnsweredYesStopsTheRunAfterTheCurrentPatientAndThenCloses) {
    RunningWindow window(environment, clock);
    window.show();
    rec.answers.push_back(ui::Answer::Yes);
    bool clicked = false;
    rec.onDoEvents = [&] {
        if (window.inHand == 3 && !clicked) {
            clicked = true;
            window.cmdClose()->click();
        }
    };

    window.cmdArchive_Click();

    ASSERT_EQ(rec.Messages().size(), 1u);
    EXPECT_EQ(rec.Messages()[0].text, "An archive run is in progress. Stop it after the current patient?");
    EXPECT_EQ(rec.Messages()[0].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(rec.Messages()[0].icon, ui::Icon::Question);
    EXPECT_EQ(rec.Messages()[0].title, "Archive");
    EXPECT_EQ(window.handled, 3);  // the patient in hand was finished, no other begun
    EXPECT_FALSE(window.hiddenDuringRun);
    EXPECT_FALSE(window.RunInProgress());
    EXPECT_FALSE(window.isVisible());        // closed once the run had ended
    EXPECT_EQ(window.StatusTip(), nullptr);  // unloaded
}

TEST_F(RunningWindowTest, CloseAnsweredNoKeepsTheRunAndTheWindow) {
    RunningWindow window(environment, clock);
    window.show();
    rec.answers.push_back(ui::Answer::No);
    bool clicked = false;
    rec.onDoEvents = [&] {
        if (window.inHand == 3 && !clicked) {
            clicked = true;
            window.cmdClose()->click();
        }
    };

    window.cmdArchive_Click();

    EXPECT_EQ(rec.Messages().size(), 1u);
    EXPECT_EQ(window.handled, window.patients);
    EXPECT_FALSE(window.StopFlag());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.hiddenDuringRun);

    // After the run Close closes at once, without a question.
    rec.onDoEvents = nullptr;
    window.cmdClose()->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(rec.Messages().size(), 1u);
}

TEST_F(RunningWindowTest, TheFolderBarIsDisabledForTheRunAndTheGridIsNot) {
    RunningWindow window(environment, clock);
    window.show();
    EXPECT_TRUE(window.suiFolders()->isEnabled());

    window.cmdArchive_Click();

    EXPECT_FALSE(window.folderBarEnabledDuringRun);
    EXPECT_TRUE(window.gridEnabledDuringRun);
    EXPECT_TRUE(window.suiFolders()->isEnabled());
    EXPECT_TRUE(window.cmdArchive()->isEnabled());
    EXPECT_EQ(window.handled, window.patients);
}
