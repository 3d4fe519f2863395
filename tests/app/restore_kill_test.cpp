// The restore killed at random instants: the real program restores every archived patient
// with `--batch --restore` and is killed with SIGKILL while it works. After every kill each
// patient must be whole, row for row, in the practice database or in the archive. The next
// run finishes what the killed one began; a final run that is let finish brings everybody
// back. The practice is packed after some archive runs and not after others, so restores put
// rows back into the practice's rows marked deleted as well as appending them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "restore_fixture.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using namespace restore_testing;
using testing_support::ReadFile;
using testing_support::TempDir;

constexpr int kKills = 30;
constexpr int kPatients = 20;

// The program with args, with no display; returns its pid.
pid_t Start(const std::vector<std::string>& given, const fs::path& output) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0) env.push_back(entry);
    }
    std::vector<std::string> args = given;
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// The program restoring every archived patient of data.
pid_t StartRestore(const fs::path& program, const fs::path& data, const fs::path& output) {
    return Start({program.string(), "--batch", (data / "Corvane.dbc").string(), "--restore", "--where", "PtNum > 0"},
                 output);
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

void ExpectNothingLost(const Snapshot& original, const fs::path& data, const std::vector<int32_t>& patients) {
    const Snapshot practice = Read(data), archive = Read(data / "Archive");
    for (int32_t p : patients) {
        const auto rows = RowsOf(original, p, false);
        EXPECT_TRUE(RowsOf(practice, p, false) == rows || RowsOf(archive, p, false) == rows)
            << "patient " << p << " practice " << CountOf(RowsOf(practice, p, false)) << " archive "
            << CountOf(RowsOf(archive, p, false)) << " of " << CountOf(rows);
    }
}

size_t Archived(const fs::path& data) {
    size_t n = 0;
    const Snapshot archive = Read(data / "Archive");
    for (const Row& row : archive.at("IdentFil")) n += row.deleted ? 0 : 1;
    return n;
}

TEST(RestoreKill, EveryPatientStaysWholeSomewhereWhateverInstantTheRestoreIsKilled) {
    TempDir dir;
    const fs::path data = dir / "Data", output = dir / "child.out";
    MakePractice(data, kPatients, 77);
    const Snapshot original = Read(data);
    std::vector<int32_t> patients;
    for (const Row& row : original.at("IdentFil")) patients.push_back(row.patient);
    const fs::path program = dir / "app" / "Archive";
    fs::create_directories(program.parent_path());
    fs::copy_file(ARCHIVE_PROGRAM, program);
    testing_support::WriteFile(program.parent_path() / "corvane.xml", "<corvane/>");
    sample::WriteSampleDatabase(program.parent_path() / "BlankDbc",
                                {.patients = 0, .seed = 1, .blank = true, .deletePassword = ""});
    // Archiving (which creates the archive first) and packing run in the program too, as at a practice, so that this process
    // only reads the files.
    const auto pack = [&] {
        const int packed = Wait(Start({program.string(), "-pack" + data.string()}, output));
        ASSERT_TRUE(WIFEXITED(packed) && WEXITSTATUS(packed) == 0) << ReadFile(output);
    };
    const auto archiveEverybody = [&](bool packAfter) {
        const int archived =
            Wait(Start({program.string(), "--batch", (data / "Corvane.dbc").string(), "--where", "PtNum > 0"}, output));
        ASSERT_TRUE(WIFEXITED(archived) && WEXITSTATUS(archived) == 0) << ReadFile(output);
        if (packAfter) pack();
        ASSERT_EQ(Archived(data), patients.size());
    };

    // One restore let finish tells how long a run takes.
    archiveEverybody(true);
    const auto start = std::chrono::steady_clock::now();
    int status = Wait(StartRestore(program, data, output));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing_support::ReadFile(output);
    const double runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ExpectNothingLost(original, data, patients);
    ASSERT_EQ(Archived(data), 0u);

    std::mt19937 random(20261207);
    int kills = 0;
    archiveEverybody(false);
    while (kills < kKills && !testing::Test::HasFailure()) {
        if (Archived(data) < 3) archiveEverybody(kills % 2 == 0);
        if (kills % 5 == 4) pack();
        const pid_t pid = StartRestore(program, data, output);
        ASSERT_GT(pid, 0);
        std::uniform_real_distribution<double> delay(0.0, runSeconds);
        std::this_thread::sleep_for(std::chrono::duration<double>(delay(random)));
        kill(pid, SIGKILL);
        status = Wait(pid);
        if (WIFSIGNALED(status)) ++kills;
        else ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing_support::ReadFile(output);
        ExpectNothingLost(original, data, patients);
    }
    EXPECT_GE(kills, kKills);

    // A run let finish heals what the kills left, the practice packed or not: everybody whole
    // in the practice.
    status = Wait(StartRestore(program, data, output));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << testing_support::ReadFile(output);
    const Snapshot practice = Read(data), archived = Read(data / "Archive");
    for (int32_t p : patients) {
        EXPECT_EQ(RowsOf(practice, p, false), RowsOf(original, p, false)) << "patient " << p;
        EXPECT_EQ(CountOf(RowsOf(archived, p, false)), 0u) << "patient " << p;
    }
    EXPECT_FALSE(fs::exists(data / "Archive" / archive::kRestoreJournal));
    EXPECT_FALSE(fs::exists(data / "Archive" / archive::kRestoreCopying));
    RecordProperty("kills", kills);
}

}  // namespace
