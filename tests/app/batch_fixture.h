// Batch archiving through the real program: the built program copied into an application
// folder of its own (with the blank template -create needs), started with its standard output
// and error in files and no display, and waited for.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "archive_run_fixture.h"
#include "support/temp_dir.h"

extern char** environ;

namespace batch_testing {

using namespace archive_run_testing;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

struct Ended {
    int status = -1;  // exit status; -1 when ended by a signal
    std::string out, err;
};

// The program in an application folder of its own, with the blank template -create needs.
class BatchArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir / "app");
        fs::copy_file(ARCHIVE_PROGRAM, Program());
        WriteFile(m_dir / "app" / "corvane.xml", "<corvane/>");
        sample::WriteSampleDatabase(m_dir / "app" / "BlankDbc",
                                    {.patients = 0, .seed = 1, .blank = true, .deletePassword = ""});
    }

    fs::path Program() const { return m_dir / "app" / "Archive"; }
    fs::path Data() const { return m_dir / "data"; }
    std::string Dbc() const { return (Data() / "Corvane.dbc").string(); }

    // Starts the program with args, standard output and error into the files out and err
    // (with name before them when given), without a display unless env gives one.
    pid_t Start(const std::vector<std::string>& args, const std::string& name = {},
                const std::vector<std::string>& extraEnv = {}) {
        std::vector<std::string> env = extraEnv;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
                entry.rfind("WAYLAND_DISPLAY=", 0) == 0)
                continue;
            env.push_back(entry);
        }
        std::vector<std::string> argv = {Program().string()};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = fork();
        if (pid == 0) {
            std::vector<char*> a, e;
            for (auto& s : argv) a.push_back(s.data());
            a.push_back(nullptr);
            for (auto& s : env) e.push_back(s.data());
            e.push_back(nullptr);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open((m_dir / (name + "out")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open((m_dir / (name + "err")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            execve(a[0], a.data(), e.data());
            _exit(127);
        }
        return pid;
    }

    Ended Wait(pid_t pid, const std::string& name = {}) {
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(m_dir / (name + "out")),
                ReadFile(m_dir / (name + "err"))};
    }

    Ended Run(const std::vector<std::string>& args) { return Wait(Start(args)); }

    TempDir m_dir;
};

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace batch_testing
