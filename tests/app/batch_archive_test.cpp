// Batch archiving through the real program, run with no display at all (no DISPLAY, no
// QT_QPA_PLATFORM): the patients asked for move to an archive that the program creates
// itself, the summary and the progress lines, the exit statuses 0, 1, 2 and 3, and the
// command line's own checks.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "batch_fixture.h"
#include "batch/console_face.h"
#include "support/temp_dir.h"

namespace {

using namespace archive_run_testing;
using batch_testing::BatchArchiveTest;
using batch_testing::Contains;
using batch_testing::Ended;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST_F(BatchArchiveTest, ArchivesTheListedPatientsIntoAnArchiveItCreatesAndSummarises) {
    MakePractice(Data(), 12);
    const Snapshot before = Read(Data());
    const std::vector<int32_t> chosen = {3, 7, 11};
    ASSERT_FALSE(fs::exists(Data() / "Archive"));

    const Ended run = Run({"--batch", Dbc(), "--patients", "11,3,7,3"});

    ASSERT_EQ(run.status, 0) << run.err;
    const Snapshot practice = Read(Data()), archive = Read(Data() / "Archive");
    for (int32_t p : chosen) {
        EXPECT_EQ(RowsOf(archive, p, false), RowsOf(before, p, false)) << p;
        EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u) << p;
    }
    EXPECT_EQ(CountOf(RowsOf(archive, 5, false)), 0u);
    EXPECT_EQ(RowsOf(practice, 5, false), RowsOf(before, 5, false));
    EXPECT_EQ(run.out.rfind("Archived 3 of 3 patients; 0 skipped.\n", 0), 0u) << run.out;
    EXPECT_TRUE(Contains(run.out, "Rows copied:\n  IdentFil     3\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Seconds: ")) << run.out;
    EXPECT_TRUE(Contains(run.err, "3 of 3 patients done")) << run.err;
}

TEST_F(BatchArchiveTest, AConditionOnIdentFilChoosesThePatientsAndMissingOnesAreSkipped) {
    MakePractice(Data(), 10);
    MakeArchiveLike(Data(), Data() / "Archive");
    const Snapshot before = Read(Data());

    Ended run = Run({"--batch", Dbc(), "--where", "PtNum > 8"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Archived 2 of 2 patients; 0 skipped.\n", 0), 0u) << run.out;
    const Snapshot practice = Read(Data());
    for (int32_t p : {9, 10}) EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u);
    EXPECT_EQ(RowsOf(practice, 8, false), RowsOf(before, 8, false));

    run = Run({"--batch", Dbc(), "--patients", "10,8,4000"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.out, "Archived 1 of 3 patients; 2 skipped.\nSkipped:\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  Patient 4000: not in the practice database\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  Patient 10: not in the practice database\n")) << run.out;

    run = Run({"--batch", Dbc(), "--where", "NoSuchField > 3"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "NoSuchField > 3 cannot be used")) << run.err;
}

TEST_F(BatchArchiveTest, AWrongPasswordTouchesNothingAndTheRightOneFromAFileArchives) {
    MakePractice(Data(), 5, 5, "Secret");
    MakeArchiveLike(Data(), Data() / "Archive");
    const Snapshot practice = Read(Data()), archive = Read(Data() / "Archive");
    WriteFile(m_dir / "wrong", "secret\n");
    WriteFile(m_dir / "right", "Secret\r\nsecond line\n");

    Ended run = Run({"--batch", Dbc(), "--patients", "2", "--password-file", (m_dir / "wrong").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "Invalid Password.")) << run.err;
    EXPECT_TRUE(Contains(run.err, "You must have DELETE privileges to archive.\nArchive aborted!")) << run.err;
    EXPECT_EQ(Read(Data()), practice);
    EXPECT_EQ(Read(Data() / "Archive"), archive);

    // No file and no terminal: nothing is typed, which is refused too.
    run = Run({"--batch", Dbc(), "--patients", "2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Read(Data()), practice);

    run = Run({"--batch", Dbc(), "--patients", "2", "--password-file", (m_dir / "right").string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(CountOf(RowsOf(Read(Data()), 2, false)), 0u);
}

TEST_F(BatchArchiveTest, UsageErrorsEndWithStatusTwoAndTheUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--batch"},
             {"--batch", Dbc()},
             {"--batch", Dbc(), "--patients", "1,x"},
             {"--batch", Dbc(), "--patients", "1", "--where", "PtNum > 1"},
             {"--batch", Dbc(), "--patients"},
             {"--batch", Dbc(), "--patients", "0"},
             {"--batch", Dbc(), "--frobnicate"},
         }) {
        const Ended run = Run(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_TRUE(Contains(run.err, "Usage: Archive --batch DATABASE.dbc")) << run.err;
    }
    const Ended help = Run({"--batch", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: Archive --batch DATABASE.dbc", 0), 0u) << help.out;
}

TEST_F(BatchArchiveTest, ErrorsEndWithStatusOneAndTheMessage) {
    Ended run = Run({"--batch", (m_dir / "nowhere" / "Corvane.dbc").string(), "--patients", "1"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "nowhere")) << run.err;

    // A notes file that cannot be deleted ends the run with the window's error report; the
    // patients before it are archived, the rest untouched.
    MakePractice(Data(), 6);
    MakeArchiveLike(Data(), Data() / "Archive");
    const Snapshot before = Read(Data());
    const fs::path notes = Data() / "Notes" / "4.rtf";
    WriteFile(notes, "notes");
    fs::permissions(notes, fs::perms::owner_read);
    run = Run({"--batch", Dbc(), "--patients", "3,4,5"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Contains(run.err, "Archiving Patient #: 4")) << run.err;
    EXPECT_TRUE(Contains(run.out, "Archived 1 of 3 patients; 0 skipped; ended by an error (see above).")) << run.out;
    const Snapshot practice = Read(Data());
    EXPECT_EQ(CountOf(RowsOf(practice, 5, false)), 0u);
    for (int32_t p : {3, 4}) EXPECT_EQ(RowsOf(practice, p, false), RowsOf(before, p, false));
}

TEST_F(BatchArchiveTest, SigtermStopsAfterThePatientInHandWithStatusThree) {
    // More patients than three groups: the run reads a group's rows before its first patient
    // is reported, so a practice of one group could be done before the signal comes.
    constexpr int kPatients = 1600;
    MakePractice(Data(), kPatients);
    MakeArchiveLike(Data(), Data() / "Archive");
    const Snapshot before = Read(Data());
    const pid_t pid = Start({"--batch", Dbc(), "--where", "PtNum > 0"});
    // The first progress line comes after the first patient.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!Contains(ReadFile(m_dir / "err"), "patients done") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGTERM);
    const Ended run = Wait(pid);

    ASSERT_EQ(run.status, 3) << run.err;
    EXPECT_TRUE(Contains(run.out, "skipped; stopped by the user.")) << run.out;
    const Snapshot practice = Read(Data()), archive = Read(Data() / "Archive");
    int archived = 0;
    for (int32_t p = 1; p <= kPatients; ++p) {
        const auto rows = RowsOf(before, p, false);
        const bool inPractice = RowsOf(practice, p, false) == rows;
        const bool inArchive = RowsOf(archive, p, false) == rows;
        EXPECT_NE(inPractice, inArchive) << p;
        archived += inArchive ? 1 : 0;
    }
    EXPECT_GT(archived, 0);
    EXPECT_LT(archived, kPatients);
    EXPECT_TRUE(
        Contains(run.out, "Archived " + std::to_string(archived) + " of " + std::to_string(kPatients) + " patients"))
        << run.out;
    EXPECT_FALSE(fs::exists(Data() / "Archive" / "ArchiveRun.journal"));
}

TEST(ConsoleProgress, TheBarShowsDoneTotalRateAndTimeLeft) {
    EXPECT_EQ(batch::ConsoleStatus::BarText(25, 100, 5.0, 10), "[##........] 25/100  5.0 patients/s  0:15 left");
    EXPECT_EQ(batch::ConsoleStatus::BarText(0, 100, 0.0, 4), "[....] 0/100  -- patients/s");
}

}  // namespace
