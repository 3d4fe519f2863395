// `Archive --batch DATABASE --restore` through the real program with no display: the patients
// asked for by number or by a condition on the archive come back, the sheet goes to standard
// error and the summary to standard output, and a restore without an archive fails.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include "restore_fixture.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

using namespace restore_testing;
using testing_support::ReadFile;
using testing_support::TempDir;

struct Ended {
    int status = -1;
    std::string out, err;
};

class BatchRestoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir / "app");
        fs::copy_file(ARCHIVE_PROGRAM, dir / "app" / "Archive");
        testing_support::WriteFile(dir / "app" / "corvane.xml", "<corvane/>");
        MakePractice(Data(), 8, 12);
        original = Read(Data());
        for (const Row& row : original.at("IdentFil")) all.push_back(row.patient);
    }
    fs::path Data() const { return dir / "data"; }

    Ended Run(std::vector<std::string> args) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0) env.push_back(entry);
        }
        args.insert(args.begin(), {(dir / "app" / "Archive").string(), "--batch", (Data() / "Corvane.dbc").string()});
        const fs::path out = dir / "out.txt", err = dir / "err.txt";
        const pid_t pid = fork();
        if (pid == 0) {
            std::vector<char*> argv, envp;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            for (auto& e : env) envp.push_back(e.data());
            envp.push_back(nullptr);
            dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
    }

    TempDir dir;
    Snapshot original;
    std::vector<int32_t> all;
};

TEST_F(BatchRestoreTest, PatientsByNumberAndByConditionOnTheArchiveComeBack) {
    MakeArchiveLike(Data(), Data() / "Archive");
    ArchiveAndPack(Data(), {all[0], all[2], all[5]});

    Ended ended = Run({"--restore", "--patients", std::to_string(all[2])});
    ASSERT_EQ(ended.status, 0) << ended.err;
    EXPECT_NE(ended.out.find("Restored 1 of 1 patient; 0 skipped."), std::string::npos) << ended.out;
    EXPECT_NE(ended.err.find("Patients to restore: 1"), std::string::npos) << ended.err;
    EXPECT_EQ(RowsOf(Read(Data()), all[2], false), RowsOf(original, all[2], false));

    ended = Run({"--restore", "--where", "PtNum >= " + std::to_string(all[0])});
    ASSERT_EQ(ended.status, 0) << ended.err;
    EXPECT_NE(ended.out.find("Restored 2 of 2 patients; 0 skipped."), std::string::npos) << ended.out;
    const Snapshot now = Read(Data());
    for (int32_t p : all) EXPECT_EQ(RowsOf(now, p, false), RowsOf(original, p, false)) << p;
}

TEST_F(BatchRestoreTest, WithoutAnArchiveNothingIsRestoredAndTheStatusSaysError) {
    const Ended ended = Run({"--restore", "--patients", std::to_string(all[0])});
    EXPECT_EQ(ended.status, 1);
    EXPECT_NE(ended.err.find("There is no archive database to restore from"), std::string::npos) << ended.err;
    EXPECT_EQ(Read(Data()), original);
}

}  // namespace
