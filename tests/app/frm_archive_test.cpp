#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "app/window_tools.h"
#include "archive_window_fixture.h"
#include "common/registry_store.h"
#include "common/registry_value.h"
#include "support/registry_env.h"
#include "views/record_grid.h"

namespace fs = std::filesystem;
using app_testing::FormLoadTest;
using app_testing::kNoDatabase;
using app_testing::TestWindow;
using testing_support::WriteFile;

TEST_F(FormLoadTest, PlainStartLeavesOneLogLineSaysThereIsNoDatabaseAndShowsTheWindow) {
    TestWindow window(environment);
    EXPECT_TRUE(window.Form_Load());
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.Ended());
    EXPECT_EQ(window.windowTitle(), "Corvane Patient Archival");
    EXPECT_EQ(window.HelpContextID(), 1910);
    EXPECT_EQ(window.AppPath(), AppFolder());
    EXPECT_EQ(product::LogFile, AppFolder() + "/Corvane.log");
    EXPECT_EQ(product::DebugFlags, 0);
    EXPECT_EQ(LogTexts(), std::vector<std::string>{"frmArchive/Form_Load:  AppPath = " + AppFolder()});

    const auto messages = rec.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kNoDatabase);
    EXPECT_EQ(messages[0].icon, ui::Icon::None);
    EXPECT_EQ(messages[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(messages[0].title, "Archive");
}

TEST_F(FormLoadTest, DashDLogsTheStartInCorvaneLog) {
    common::SetCommandLine("-D");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_EQ(product::DebugFlags, 1);
    const auto lines = LogTexts();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "frmArchive/Form_Load:  AppPath = " + AppFolder());
    EXPECT_EQ(lines[1], "frmArchive/Form_Load:  -----------------------");
    EXPECT_EQ(lines.back(), "frmArchive/LoadDatabase:  Database = ");
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{kNoDatabase});
}

TEST_F(FormLoadTest, LowerCaseDashDAlsoSwitchesLoggingOnAndLogsAppendToOldContent) {
    WriteFile(root / "app" / "Corvane.log", "old\tline\r\n");
    common::SetCommandLine("-d");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    const auto lines = LogTexts();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "line");
    EXPECT_EQ(lines[2], "frmArchive/Form_Load:  -----------------------");
}

TEST_F(FormLoadTest, DashTShowsLaterLinesInDebugBoxesOnly) {
    common::SetCommandLine("-T");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_EQ(product::DebugFlags, 2);
    EXPECT_EQ(LogTexts().size(), 1u);  // only the forced first line reaches the file
    const auto messages = rec.Messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, "frmArchive/Form_Load:  -----------------------");
    EXPECT_EQ(messages[0].title, "Corvane Debug");
    EXPECT_EQ(messages[0].icon, ui::Icon::Information);
    EXPECT_EQ(messages.back().text, kNoDatabase);
}

TEST_F(FormLoadTest, CreateRunsTheJobAndEndsWithoutShowingTheWindow) {
    common::SetCommandLine("-D -create/data/Corvane.dbc");
    TestWindow window(environment);
    EXPECT_FALSE(window.Form_Load());
    EXPECT_TRUE(window.Ended());
    EXPECT_EQ(window.ExitCode(), 0);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.created, 1);
    EXPECT_EQ(window.DatabasePath(), "/data/Corvane.dbc");
    EXPECT_TRUE(rec.Messages().empty());
    for (const std::string& line : LogTexts()) EXPECT_EQ(line.find("-------"), std::string::npos) << line;
}

TEST_F(FormLoadTest, UpperCaseCreateIsIgnored) {
    common::SetCommandLine("-CREATE/data/Corvane.dbc");
    TestWindow window(environment);
    EXPECT_TRUE(window.Form_Load());
    EXPECT_EQ(window.created, 0);
    EXPECT_EQ(window.DatabasePath(), "");
}

TEST_F(FormLoadTest, PackNamesTheTablesThatCouldNotBePackedAndEnds) {
    common::SetCommandLine("-pack/srv/data");
    TestWindow window(environment);
    window.failedTables = "identfil.dbf,case.dbf";
    EXPECT_FALSE(window.Form_Load());
    EXPECT_EQ(window.ExitCode(), 0);
    EXPECT_EQ(window.packedFolders, std::vector<std::string>{"/srv/data"});
    EXPECT_EQ(window.statusWhilePacking,
              (std::vector<std::string>{"Packing Database", "Packing Database:  /srv/data"}));
    EXPECT_EQ(window.StatusTip(), nullptr);  // released when the program ends
    const auto messages = rec.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The following tables could not be packed:\r\nidentfil.dbf,case.dbf");
    EXPECT_EQ(messages[0].icon, ui::Icon::None);
    EXPECT_EQ(messages[0].title, "Archive");
}

TEST_F(FormLoadTest, PackThatWentWellEndsSilently) {
    common::SetCommandLine("-pack/srv/data");
    TestWindow window(environment);
    EXPECT_FALSE(window.Form_Load());
    EXPECT_TRUE(rec.Messages().empty());
}

TEST_F(FormLoadTest, AnEleventhArgumentIsNeverLookedAt) {
    common::SetCommandLine("a b c d e f g h i j -D");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_EQ(product::DebugFlags, 0);
    EXPECT_EQ(LogTexts().size(), 1u);
}

TEST_F(FormLoadTest, AnUnexpectedErrorIsReportedAndEndsTheProgram) {
    common::SetCommandLine("-create/data/Corvane.dbc");
    TestWindow window(environment);
    window.throwOnCreate = true;
    EXPECT_FALSE(window.Form_Load());
    EXPECT_TRUE(window.Ended());
    EXPECT_NE(window.ExitCode(), 0);
    const std::string report = "frmArchive/Form_Load:  Error #: 1705, Descr: File is in use.";
    const auto messages = rec.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, report);
    EXPECT_EQ(messages[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(messages[0].title, "Archive");
    EXPECT_EQ(LogTexts().back(), report);
}

TEST_F(FormLoadTest, WithoutAnyMarkerTheTypedFolderBecomesAppPath) {
    fs::remove(root / "app" / "corvane.xml");
    rec.inputs.push_back(AppFolder() + "/");
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_EQ(window.AppPath(), AppFolder());
    ASSERT_FALSE(rec.calls.empty());
    EXPECT_EQ(rec.calls[0].kind, ui::Shown::Kind::InputBox);
    EXPECT_EQ(rec.calls[0].text, "Enter Path:  ");
    EXPECT_EQ(rec.calls[0].title, "Enter path");
    EXPECT_EQ(LogTexts(), std::vector<std::string>{"frmArchive/Form_Load:  AppPath = " + AppFolder()});
}

TEST_F(FormLoadTest, WithoutAnyMarkerTheInstallFolderRegisteredForTheMachineBecomesAppPath) {
    testing_support::ScopedRegistry registry;
    fs::remove(root / "app" / "corvane.xml");
    ASSERT_EQ(common::reg::SetValue(common::kHkeyLocalMachine, "SOFTWARE\\RArozu\\DerazoRI", "Corvane",
                                    common::reg::StringValue(AppFolder() + "/Corvane")),
              common::reg::kOk);
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_EQ(window.AppPath(), AppFolder());
    for (const auto& call : rec.calls) EXPECT_NE(call.kind, ui::Shown::Kind::InputBox);
    EXPECT_EQ(LogTexts(), std::vector<std::string>{"frmArchive/Form_Load:  AppPath = " + AppFolder()});
}

TEST_F(FormLoadTest, AKnownDatabaseIsNamedInTheLabelInFull) {
    const std::string database = "/srv/practice/a-rather-long-folder-name/with/more/levels/Corvane.dbc";
    TestWindow window(environment);
    window.SetDatabasePath(database);
    ASSERT_TRUE(window.Form_Load());
    EXPECT_TRUE(rec.Messages().empty());
    const QLabel* label = window.lblArchive();
    EXPECT_EQ(label->text().toStdString(),
              "Select patients to archive and then the Archive button.  (" + database + ").");
    EXPECT_GE(label->width(), label->sizeHint().width());
}

class MainWindowTest : public FormLoadTest {};

TEST_F(MainWindowTest, ControlsStartWhereTheDesignPutsThem) {
    TestWindow window(environment);
    EXPECT_EQ(window.cmdArchive()->text(), "Archive");
    EXPECT_EQ(window.cmdClose()->text(), "Close");
    EXPECT_TRUE(window.cmdStop()->text().isEmpty());
    EXPECT_TRUE(window.cmdStop()->isHidden());
    const double tx = window.TwipsPerPixelX();
    EXPECT_NEAR(window.width(), app::kDesignInnerWidth / tx, 1.0);
    EXPECT_NEAR(window.cmdArchive()->x(), 3540 / tx, 1.0);
    EXPECT_NEAR(window.grdPatients()->x(), 3540 / tx, 1.0);
}

TEST_F(MainWindowTest, ResizingKeepsCloseOnTheRightEdgeAndStretchesTheGrid) {
    TestWindow window(environment);
    window.resize(1000, 700);
    window.Form_Resize();
    const double tx = window.TwipsPerPixelX();
    EXPECT_NEAR(window.cmdClose()->geometry().right() + 1, 1000, 1.0);
    EXPECT_NEAR(window.cmdClose()->y(), window.cmdArchive()->y(), 0.0);
    EXPECT_NEAR(window.grdPatients()->width(), 1000 - (3435 + 100) / tx, 1.5);
    EXPECT_EQ(window.Geometry().cmdClose.left, qRound(1000 * tx) - 1155);
}

TEST_F(MainWindowTest, F1OpensTheHelpFileAtTheWindowsContext) {
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    rec.calls.clear();
    QKeyEvent press(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
    window.Form_KeyUp(113, 0);  // F2: nothing
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].kind, ui::Shown::Kind::Help);
    EXPECT_EQ(rec.calls[0].text, AppFolder() + "/Corvane.chm");
    EXPECT_EQ(rec.calls[0].number, 1910);
}

TEST_F(MainWindowTest, StopSetsTheFlagThatStopRequestedReports) {
    TestWindow window(environment);
    EXPECT_FALSE(window.StopRequested());
    window.cmdStop()->show();
    window.cmdStop()->click();
    EXPECT_TRUE(window.StopFlag());
    EXPECT_TRUE(window.StopRequested());
}

TEST_F(MainWindowTest, CloseUnloadsTheWindow) {
    TestWindow window(environment);
    ASSERT_TRUE(window.Form_Load());
    window.cmdClose()->click();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, AReplacedGridTakesThePlaceOfTheOldOne) {
    TestWindow window(environment);
    const QRect gridPlace = window.grdPatients()->geometry();
    auto* grid = new views::RecordGrid;
    window.ReplaceGrid(grid);
    EXPECT_EQ(window.grdPatients(), grid);
    EXPECT_EQ(grid->parentWidget(), &window);
    EXPECT_EQ(grid->geometry(), gridPlace);
    window.resize(900, 600);
    EXPECT_EQ(grid->geometry().bottom() < window.cmdArchive()->y(), true);
}

TEST(SetTopmost, RecordsTheLastRequest) {
    QWidget window;
    app::SetTopmost(&window, true);
    EXPECT_TRUE(app::LastTopmost());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    app::SetTopmost(&window, false);
    EXPECT_FALSE(app::LastTopmost());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}
