// What surrounds the archive run, with a stand-in window on generated databases: nothing
// selected, the run lock held for the run and a second run refused before anything is
// touched, the pre-flight sheet (counted under the lock, cancel touches nothing), the ArchLog
// row every run past the password leaves, and the failure paths of the run: an archive table
// that cannot be packed after removing an earlier copy, an archive folder without its
// container, an archive folder named in upper case, a data folder that may not be written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>

#include "archive/preflight.h"
#include "archive/run_lock.h"
#include "archive_run_fixture.h"
#include "common/process.h"
#include "common/recording_ui.h"
#include "engine/dbf/table.h"
#include "support/as_other_user.h"
#include "support/holding_child.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace archive_run_testing;
using testing_support::TempDir;

// A window that shows the pre-flight sheet: it keeps the sheet and answers as told, and notes
// whether the run lock was held while the sheet was up.
class SheetWindow : public FakeWindow {
public:
    using FakeWindow::FakeWindow;
    bool WantsPreflight() const override { return true; }
    bool ConfirmPreflight(const archive::PreflightSheet& sheet) override {
        shown = sheet;
        lockHeldMeanwhile = archive::RunLock::CurrentHolder(sheet.archiveFolder).has_value();
        return answer;
    }
    std::optional<archive::PreflightSheet> shown;
    bool lockHeldMeanwhile = false;
    bool answer = true;
};

// One ArchLog row, its text fields trimmed.
struct LogRow {
    std::string login, host, startedBy, rowsCopied, outcome;
    int64_t requested = 0, archived = 0, skipped = 0;
    bool timesSet = false;
};

std::vector<LogRow> ArchLog(const fs::path& archive) {
    std::vector<LogRow> rows;
    auto connection = AdoTools::Connect_DBC(archive.string(), "Corvane.dbc");
    engine::api::Recordset log;
    log.Open("SELECT * FROM ArchLog", *connection);
    for (; !log.Eof(); log.MoveNext()) {
        auto text = [&](const char* name) {
            std::string value = log.Fields().Item(name).Value().As<std::string>();
            return value.substr(0, value.find_last_not_of(' ') + 1);
        };
        auto number = [&](const char* name) { return log.Fields().Item(name).Value().As<int64_t>(); };
        rows.push_back({text("Login"), text("Host"), text("StartedBy"), text("RowsCopied"), text("Outcome"),
                        number("Requested"), number("Archived"), number("Skipped"),
                        !log.Fields().Item("Started").Value().As<engine::DateTime>().IsEmpty() &&
                            !log.Fields().Item("Ended").Value().As<engine::DateTime>().IsEmpty()});
    }
    return rows;
}

class ArchiveRunGuardTest : public ::testing::Test {
protected:
    void SetUp() override { m_log.emplace(m_dir / "Corvane.log"); }
    void TearDown() override { m_log.reset(); }

    fs::path Data() const { return m_dir / "data"; }
    fs::path Archive() const { return m_dir / "data" / "Archive"; }

    template <typename Window = FakeWindow>
    Window& Generate(int patients, const std::string& archiveName = "Archive", const std::string& password = {}) {
        MakePractice(Data(), patients, 5, password);
        if (!archiveName.empty()) MakeArchiveLike(Data(), Data() / archiveName);
        auto window = std::make_unique<Window>(Data());
        Window& made = *window;
        m_window = std::move(window);
        return made;
    }

    std::vector<ui::Shown> Messages() const { return m_ui.Messages(); }

    TempDir m_dir;
    ui::RecordingUi m_ui;
    std::unique_ptr<FakeWindow> m_window;
    std::optional<testing_support::LogCapture> m_log;
};

TEST_F(ArchiveRunGuardTest, WithNothingSelectedArchiveSaysSoAndAsksForNothing) {
    FakeWindow& window = Generate(4, "Archive", "Secret");
    window.selection = {-1};  // a group heading only
    const Snapshot practice = Read(Data());

    const app::RunSummary summary = app::cmdArchive_Click(window);

    EXPECT_EQ(summary.ending, app::RunSummary::Ending::Cancelled);
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Select the patients to archive first.");
    EXPECT_EQ(window.prompt.asked, 0);
    EXPECT_TRUE(window.stopButton.empty());
    EXPECT_EQ(window.reloads, 0);
    EXPECT_EQ(Read(Data()), practice);
    EXPECT_FALSE(fs::exists(Archive() / "archlog.dbf"));
}

TEST_F(ArchiveRunGuardTest, TheRunHoldsTheLockForItsLengthAndWritesItsRecord) {
    FakeWindow& window = Generate(6);
    window.SelectPatients({2, 3});
    std::optional<archive::LockHolder> duringRun;
    window.status.onShow = [&](const std::string&) {
        if (!duringRun) duringRun = archive::RunLock::CurrentHolder(Archive().string());
    };

    const app::RunSummary summary = app::cmdArchive_Click(window);

    ASSERT_TRUE(duringRun.has_value());
    EXPECT_EQ(duringRun->pid, getpid());
    EXPECT_EQ(duringRun->purpose, archive::LockPurpose::Run);
    EXPECT_FALSE(archive::RunLock::CurrentHolder(Archive().string()).has_value());  // let go at the end

    const auto log = ArchLog(Archive());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].login, common::GetLoginName());
    EXPECT_FALSE(log[0].host.empty());
    EXPECT_EQ(log[0].startedBy, "window");
    EXPECT_EQ(log[0].requested, 2);
    EXPECT_EQ(log[0].archived, 2);
    EXPECT_EQ(log[0].skipped, 0);
    EXPECT_TRUE(log[0].timesSet);
    EXPECT_EQ(log[0].outcome, "Archived 2 of 2 patients; 0 skipped.");
    std::string rows;
    for (const auto& [table, count] : summary.rowsCopied) rows += table + " " + std::to_string(count) + "\r\n";
    EXPECT_EQ(log[0].rowsCopied, rows);
}

TEST_F(ArchiveRunGuardTest, AFailedRunsRecordCountsWhatItDidAndNamesTheError) {
    FakeWindow& window = Generate(6);
    const fs::path notes = Data() / "Notes" / "4.rtf";
    fs::create_directories(notes.parent_path());
    testing_support::WriteFile(notes, "notes");
    fs::permissions(notes, fs::perms::owner_read);
    window.SelectPatients({4, 5});  // 5 first, then 4, whose notes file may not be deleted

    const app::RunSummary summary = app::cmdArchive_Click(window);

    EXPECT_EQ(summary.ending, app::RunSummary::Ending::Error);
    const auto log = ArchLog(Archive());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].archived, 1);
    EXPECT_EQ(log[0].outcome,
              "Archived 1 of 2 patients; 0 skipped; ended by an error (see above).\r\nError #: 2, Descr: "
              "Permission denied: " +
                  notes.string() + "\r\nArchiving Patient #: 4");
}

TEST_F(ArchiveRunGuardTest, ASecondRunIsRefusedBeforeAnythingIsTouchedAndSaysWhoRuns) {
    FakeWindow& window = Generate(6, "Archive", "Secret");
    window.prompt.answer = "Secret";
    testing_support::HoldingChild other([&] {
        return (new archive::RunLock(archive::RunLock::TryAcquire(Archive().string(), archive::LockPurpose::Run)))
            ->Held();
    });
    ASSERT_TRUE(other.Took());
    const archive::LockHolder holder = *archive::RunLock::CurrentHolder(Archive().string());
    window.SelectPatients({2, 3});
    const Snapshot practice = Read(Data()), archive = Read(Archive());

    const app::RunSummary summary = app::cmdArchive_Click(window);

    EXPECT_EQ(summary.ending, app::RunSummary::Ending::Refused);
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);  // no closing message
    EXPECT_EQ(messages[0].text, "An archive run by " + holder.login + " on " + holder.host +
                                    " has been in progress since " + holder.since +
                                    ". Try again when it has finished.");
    EXPECT_EQ(messages[0].icon, ui::Icon::Exclamation);
    EXPECT_TRUE(window.stopButton.empty());
    EXPECT_EQ(Read(Data()), practice);
    EXPECT_EQ(Read(Archive()), archive);
    // The refused run got past the password: its record says what happened.
    const auto log = ArchLog(Archive());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].outcome, messages[0].text);
    EXPECT_EQ(log[0].requested, 2);
    EXPECT_EQ(log[0].archived, 0);

    // Once the other run has ended, the same click archives.
    other.Kill();
    m_ui.calls.clear();
    EXPECT_EQ(app::cmdArchive_Click(window).archived, 2);
}

TEST_F(ArchiveRunGuardTest, ARunWaitsForAPackOfTheArchiveToFinishAndSaysSo) {
    FakeWindow& window = Generate(6);
    window.SelectPatients({2});
    testing_support::HoldingChild pack(
        [&] {
            return (new archive::RunLock(archive::RunLock::TryAcquire(Archive().string(), archive::LockPurpose::Pack)))
                ->Held();
        },
        std::chrono::milliseconds(300));
    ASSERT_TRUE(pack.Took());

    EXPECT_EQ(app::cmdArchive_Click(window).archived, 1);

    ASSERT_FALSE(window.status.events.empty());
    EXPECT_EQ(window.status.events[0], "Updating Archive | Waiting for the pack of the archive to finish.");
    EXPECT_EQ(window.status.events[1], "hide");
}

TEST_F(ArchiveRunGuardTest, ThePreflightSheetIsCountedUnderTheLockAndCancelTouchesNothing) {
    SheetWindow& window = Generate<SheetWindow>(8);
    window.SelectPatients({2, 5, 7});
    const Snapshot practice = Read(Data()), archive = Read(Archive());
    window.answer = false;

    app::RunSummary summary = app::cmdArchive_Click(window);

    EXPECT_EQ(summary.ending, app::RunSummary::Ending::Cancelled);
    ASSERT_TRUE(window.shown.has_value());
    EXPECT_TRUE(window.lockHeldMeanwhile);
    EXPECT_EQ(window.shown->patients, 3);
    ASSERT_EQ(window.shown->rows.size(), 8u);
    for (size_t t = 0; t < PatientTables().size(); ++t) {
        size_t rows = 0;
        for (int32_t p : {2, 5, 7}) rows += RowsOf(practice, p, false)[PatientTables()[t].first].size();
        EXPECT_EQ(window.shown->rows[t].rows, static_cast<long>(rows)) << PatientTables()[t].first;
    }
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(window.stopButton.empty());
    EXPECT_EQ(Read(Data()), practice);
    EXPECT_EQ(Read(Archive()), archive);
    auto log = ArchLog(Archive());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].outcome, "Cancelled at the pre-flight sheet; nothing was archived.");

    window.answer = true;
    summary = app::cmdArchive_Click(window);
    EXPECT_EQ(summary.archived, 3);
    EXPECT_EQ(Messages().back().title, "Archive Complete");
    EXPECT_EQ(ArchLog(Archive()).size(), 2u);
}

TEST_F(ArchiveRunGuardTest, AnArchiveCopyThatCannotBePackedAwayLeavesThePatientInThePractice) {
    FakeWindow& window = Generate(6);
    // Patient 3 is in the archive already, and another program holds an archive table open
    // so that it cannot be taken exclusively for the pack after his copy is removed.
    CopyIntoArchive(Data(), Archive(), 3, false);
    const Snapshot before = Read(Data());
    const fs::path held = engine::Container::Open(Archive() / "Corvane.dbc")->FindTable("PatIns")->file;
    testing_support::HoldingChild program(
        [&] { return (new std::unique_ptr<engine::Table>(engine::Table::Open(held)))->get() != nullptr; });
    ASSERT_TRUE(program.Took());
    window.SelectPatients({3, 4});

    const app::RunSummary summary = app::cmdArchive_Click(window);

    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Patient # 3 already in archive.");
    EXPECT_EQ(messages[0].title, "Archive Failure.");
    EXPECT_EQ(messages[0].icon, ui::Icon::Information);
    EXPECT_EQ(messages[1].text.substr(0, messages[1].text.find('\r')), "Archived 1 of 2 patients; 1 skipped.");
    ASSERT_EQ(summary.skipped.size(), 1u);
    EXPECT_EQ(summary.skipped[0].first, 3);
    const Snapshot practice = Read(Data());
    EXPECT_EQ(RowsOf(practice, 3, false), RowsOf(before, 3, false));  // whole in the practice
    EXPECT_EQ(CountOf(RowsOf(practice, 4, false)), 0u);
    EXPECT_EQ(RowsOf(Read(Archive()), 4, false), RowsOf(before, 4, false));
    EXPECT_EQ(ArchLog(Archive()).back().skipped, 1);
}

TEST_F(ArchiveRunGuardTest, AnArchiveFolderInUpperCaseIsTheArchive) {
    FakeWindow& window = Generate(5, "ARCHIVE");
    window.SelectPatients({2});
    const Snapshot before = Read(Data());

    EXPECT_EQ(app::cmdArchive_Click(window).archived, 1);

    EXPECT_FALSE(fs::exists(Archive()));  // no second archive beside it
    EXPECT_EQ(RowsOf(Read(Data() / "ARCHIVE"), 2, false), RowsOf(before, 2, false));
    EXPECT_TRUE(fs::exists(Data() / "ARCHIVE" / "ArchRun.lck"));
    EXPECT_EQ(ArchLog(Data() / "ARCHIVE").size(), 1u);
}

TEST_F(ArchiveRunGuardTest, AnArchiveFolderWithoutItsContainerIsCreatedAgainOrNamedWhenItCannotBe) {
    FakeWindow& window = Generate(5, "");
    fs::create_directories(Archive() / "Notes");  // the folder is there, its database is not
    window.SelectPatients({2});
    const Snapshot practice = Read(Data());

    // The program cannot be started: nothing is touched and the message says what is missing.
    EXPECT_EQ(app::cmdArchive_Click(window).ending, app::RunSummary::Ending::Refused);
    auto messages = Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "frmArchive/cmdArchive_Click:  Error #: 2, Descr: The archive database could not be created in '" +
                  Archive().string() + "': the copy of the practice database did not complete.");
    EXPECT_EQ(Read(Data()), practice);

    // With -create doing its work, the run goes on into the archive it made.
    MakeArchiveLike(Data(), m_dir / "prepared");
    const auto program = m_dir / "Archive";
    testing_support::WriteFile(
        program, "#!/bin/sh\ncp -r '" + (m_dir / "prepared").string() + "/.' '" + Archive().string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);
    window.programPath = program.string();
    m_ui.calls.clear();
    EXPECT_EQ(app::cmdArchive_Click(window).archived, 1);
    EXPECT_EQ(RowsOf(Read(Archive()), 2, false), RowsOf(practice, 2, false));
}

// Runs the Archive button on patient 2 as another user; the first message shown.
std::string ArchiveAsOtherUser(const fs::path& data) {
    return testing_support::AsOtherUser([&] {
        ui::RecordingUi seen;
        FakeWindow window(data);
        window.SelectPatients({2});
        app::cmdArchive_Click(window);
        return seen.Messages().empty() ? std::string("no message") : seen.Messages()[0].text;
    });
}

void ChmodFiles(const fs::path& folder, mode_t mode) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) chmod(entry.path().c_str(), mode);
}

TEST_F(ArchiveRunGuardTest, ReadOnlyFoldersAndFilesAreNamedWithTheSystemsReasonBeforeAnythingIsWritten) {
    const std::string report = "frmArchive/cmdArchive_Click:  Error #: 2, Descr: ";
    Generate(4, "");
    testing_support::OpenToEveryone(m_dir.Path());
    chmod(Data().c_str(), 0555);
    EXPECT_EQ(ArchiveAsOtherUser(Data()),
              report + "Cannot create the archive folder '" + Archive().string() + "': Permission denied.");
    chmod(Data().c_str(), 0777);

    // A practice table that may not be written.
    MakeArchiveLike(Data(), Archive());
    archive::RunLock::TryAcquire(Archive().string(), archive::LockPurpose::Run).Release();  // for every user
    ChmodFiles(Data(), 0666);
    ChmodFiles(Archive(), 0666);
    chmod((Data() / "IdentFil.dbf").c_str(), 0444);
    const Snapshot practice = Read(Data());
    EXPECT_EQ(ArchiveAsOtherUser(Data()), report + "The practice database cannot be changed: '" +
                                              (Data() / "IdentFil.dbf").string() + "': Permission denied.");
    chmod((Data() / "IdentFil.dbf").c_str(), 0666);

    // An archive folder that may not be written.
    chmod(Archive().c_str(), 0555);
    EXPECT_EQ(ArchiveAsOtherUser(Data()),
              report + "The archive database cannot be changed: '" + Archive().string() + "': Permission denied.");
    chmod(Archive().c_str(), 0777);
    EXPECT_EQ(Read(Data()), practice);
}

}  // namespace
