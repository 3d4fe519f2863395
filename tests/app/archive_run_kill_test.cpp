// The archive run killed at random instants: a child process (this test program again, running
// the disabled child test below) archives a few randomly chosen patients, or the real program
// archives every patient left with `--batch` (one group commit), and is killed with SIGKILL
// while it works. After every kill each original patient must be whole, row for row, in the
// practice database or in the archive, and his notes file whole in one of them; a final run that is let finish must leave every
// patient whole in the archive and none in the practice.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "archive_run_fixture.h"
#include "common/recording_ui.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using namespace archive_run_testing;
using testing_support::TempDir;

constexpr int kReadyFd = 3;
constexpr int kWindowKills = 30;
constexpr int kBatchKills = 25;
constexpr int kPatients = 24;

// The child: one archive run over up to three patients picked at random from the grid.
TEST(ArchiveRunKill, DISABLED_ChildRun) {
    const char* data = std::getenv("ARCHIVE_KILL_DATA");
    const char* seed = std::getenv("ARCHIVE_KILL_SEED");
    if (!data || !seed) GTEST_SKIP() << "run by the kill test only";
    FakeWindow window{fs::path(data)};
    std::mt19937 random(static_cast<unsigned>(std::atoi(seed)));
    std::vector<int32_t> shuffled = window.rows;
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    shuffled.resize(std::min<size_t>(3, shuffled.size()));
    window.SelectPatients(shuffled);
    const char ready = 'r';
    (void)!write(kReadyFd, &ready, 1);
    // A run that is let finish must finish cleanly, whatever the kills before it left behind:
    // any message but the closing one fails the child, and with it the kill test.
    ui::RecordingUi shown;
    app::cmdArchive_Click(window);
    for (const auto& message : shown.Messages()) EXPECT_EQ(message.title, "Archive Complete") << message.text;
}

struct Child {
    pid_t pid = -1;
    int readyPipe = -1;
};

// Where a child's own test output goes, to be shown when it fails.
fs::path ChildOutput(const fs::path& data) { return data.parent_path() / "child.out"; }

Child Start(const fs::path& data, int seed) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back("ARCHIVE_KILL_DATA=" + data.string());
    env.push_back("ARCHIVE_KILL_SEED=" + std::to_string(seed));
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=ArchiveRunKill.DISABLED_ChildRun";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], kReadyFd);
        if (fds[0] != kReadyFd) close(fds[0]);
        if (fds[1] != kReadyFd) close(fds[1]);
        const int out = ::open(ChildOutput(data).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execve(self.c_str(), argv, envp.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fds[0]};
}

// Waits until the child is about to run; false when it ended before that.
bool WaitReady(const Child& child) {
    char byte = 0;
    return read(child.readyPipe, &byte, 1) == 1;
}

int Finish(Child& child) {
    int status = 0;
    waitpid(child.pid, &status, 0);
    if (child.readyPipe >= 0) close(child.readyPipe);
    return status;
}

// The real program, in an application folder of its own, archiving every patient of data
// with no display.
Child StartBatch(const fs::path& program, const fs::path& data) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0) env.push_back(entry);
    }
    std::vector<std::string> args = {program.string(), "--batch", (data / "Corvane.dbc").string(), "--where",
                                     "PtNum > 0"};
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const int out = ::open(ChildOutput(data).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return {pid, -1};
}

std::string NotesText(int32_t p) { return "notes of patient " + std::to_string(p); }
fs::path NotesOf(const fs::path& folder, int32_t p) { return folder / "Notes" / (std::to_string(p) + ".rtf"); }

// Every original patient's live rows are, all of them, live in the practice or in the archive,
// and his notes file is in one of them, whole.
void ExpectNothingLost(const Snapshot& original, const fs::path& data, const std::vector<int32_t>& patients) {
    const Snapshot practice = Read(data), archive = Read(data / "Archive");
    for (int32_t p : patients) {
        const fs::path notes = fs::exists(NotesOf(data, p)) ? NotesOf(data, p) : NotesOf(data / "Archive", p);
        EXPECT_TRUE(fs::exists(notes) && testing_support::ReadFile(notes) == NotesText(p)) << "notes of " << p;
        const auto rows = RowsOf(original, p, false);
        const bool inPractice = RowsOf(practice, p, false) == rows;
        const bool inArchive = RowsOf(archive, p, false) == rows;
        EXPECT_TRUE(inPractice || inArchive)
            << "patient " << p << " practice " << CountOf(RowsOf(practice, p, false)) << " archive "
            << CountOf(RowsOf(archive, p, false)) << " of " << CountOf(rows);
    }
}

std::vector<int32_t> LivePatients(const fs::path& data) {
    std::vector<int32_t> patients;
    for (const Row& row : Read(data).at("IdentFil"))
        if (!row.deleted) patients.push_back(row.patient);
    return patients;
}

TEST(ArchiveRunKill, EveryPatientStaysWholeSomewhereWhateverInstantTheRunIsKilled) {
    TempDir dir;
    std::mt19937 random(20261206);
    int kills = 0, spawned = 0, round = 0;
    fs::path data;
    Snapshot original;
    std::vector<int32_t> patients;
    double runSeconds = 0.5;

    const auto newRound = [&] {
        data = dir / ("round" + std::to_string(++round));
        MakePractice(data, kPatients, static_cast<uint64_t>(round) + 10);
        MakeArchiveLike(data, data / "Archive");
        original = Read(data);
        patients = LivePatients(data);
        for (int32_t p : patients) testing_support::WriteFile(NotesOf(data, p), NotesText(p));
        // One run let finish tells how long a run takes.
        Child child = Start(data, ++spawned);
        ASSERT_TRUE(WaitReady(child));
        const auto start = std::chrono::steady_clock::now();
        const int status = Finish(child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing_support::ReadFile(ChildOutput(data));
        runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ExpectNothingLost(original, data, patients);
    };

    newRound();
    while (kills < kWindowKills && !HasFailure()) {
        if (LivePatients(data).size() < 3) newRound();
        Child child = Start(data, ++spawned);
        ASSERT_GT(child.pid, 0);
        if (WaitReady(child)) {
            std::uniform_real_distribution<double> delay(0.0, runSeconds);
            std::this_thread::sleep_for(std::chrono::duration<double>(delay(random)));
            kill(child.pid, SIGKILL);
        }
        const int status = Finish(child);
        if (WIFSIGNALED(status)) ++kills;
        else ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing_support::ReadFile(ChildOutput(data));
        ExpectNothingLost(original, data, patients);
    }
    EXPECT_GE(kills, kWindowKills);

    // Batch runs: every live patient in one group, killed anywhere from the program's start
    // to about when such a run ends (three patients took runSeconds above).
    const fs::path program = dir / "app" / "Archive";
    fs::create_directories(program.parent_path());
    fs::copy_file(ARCHIVE_PROGRAM, program);
    testing_support::WriteFile(program.parent_path() / "corvane.xml", "<corvane/>");
    int batchKills = 0;
    while (batchKills < kBatchKills && !HasFailure()) {
        if (LivePatients(data).size() < 3) newRound();
        const double batchSeconds = 0.05 + runSeconds * static_cast<double>(LivePatients(data).size()) / 3.0;
        Child child = StartBatch(program, data);
        ASSERT_GT(child.pid, 0);
        std::uniform_real_distribution<double> delay(0.0, batchSeconds);
        std::this_thread::sleep_for(std::chrono::duration<double>(delay(random)));
        kill(child.pid, SIGKILL);
        const int status = Finish(child);
        if (WIFSIGNALED(status)) ++batchKills;
        else ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing_support::ReadFile(ChildOutput(data));
        ExpectNothingLost(original, data, patients);
    }
    EXPECT_GE(batchKills, kBatchKills);
    kills += batchKills;

    // A run let finish heals whatever the kills left: everybody whole in the archive.
    ui::RecordingUi silent;
    {
        FakeWindow window(data);
        window.selection.clear();
        for (size_t r = 1; r <= window.rows.size(); ++r) window.selection.push_back(static_cast<long>(r));
        app::cmdArchive_Click(window);
    }
    std::string shown;
    for (const auto& message : silent.Messages()) shown += "[" + message.title + "] " + message.text + "\n";
    SCOPED_TRACE("the final run showed:\n" + shown);
    const Snapshot practice = Read(data), archive = Read(data / "Archive");
    for (int32_t p : patients) {
        EXPECT_EQ(RowsOf(archive, p, false), RowsOf(original, p, false)) << "patient " << p;
        EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u) << "patient " << p;
        EXPECT_FALSE(fs::exists(NotesOf(data, p))) << "patient " << p;
        EXPECT_EQ(testing_support::ReadFile(NotesOf(data / "Archive", p)), NotesText(p)) << "patient " << p;
    }
    RecordProperty("kills", kills);
    RecordProperty("batch_kills", batchKills);
    RecordProperty("rounds", round);
}

}  // namespace
