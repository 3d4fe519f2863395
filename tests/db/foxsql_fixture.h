// Runs the foxsql shell as a program for its tests: a suite's generated sample database, the
// shell run with arguments and a script on standard input, and a command's status and output.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/requirements.h"
#include "support/temp_dir.h"

namespace foxsql_test {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// The text as one shell word.
inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a shell command with standard output and error into files of dir; returns the exit
// status (-1 when it did not exit) and both outputs.
inline Result RunCommand(const testing_support::TempDir& dir, const std::string& command) {
    const std::string redirected = command + " >" + (dir / "out.txt").string() + " 2>" + (dir / "err.txt").string();
    const int raw = std::system(redirected.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing_support::ReadFile(dir / "out.txt"),
            testing_support::ReadFile(dir / "err.txt")};
}

// Runs a Python script that compares foxsql's answers with python3-dbfread's reading of the
// tables in data (it is given foxsql's path and data).
inline Result RunCompareScript(const testing_support::TempDir& dir, const std::string& script,
                               const std::string& data) {
    return RunCommand(dir, "/usr/bin/python3 " + Quote(script) + " " + Quote(FOXSQL_PATH) + " " + Quote(data));
}

// A suite over one sample database of Patients patients made with Seed, generated once.
template <int Patients, int Seed>
class SampleDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new testing_support::TempDir;
        const std::string command = std::string(MAKE_SAMPLE_DATA_PATH) + " --patients " + std::to_string(Patients) +
                                    " --seed " + std::to_string(Seed) + " " + Data() + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string Data() { return (s_dir->Path() / "data").string(); }
    static std::string Dbc() { return Quote(Data() + "/Corvane.dbc"); }

    // Runs foxsql with arguments, standard input from the text script.
    Result Run(const std::string& arguments, const std::string& script = "") {
        {
            std::ofstream in(m_out / "in.txt", std::ios::binary);
            in << script;
        }
        return RunCommand(m_out, std::string(FOXSQL_PATH) + " " + arguments + " <" + (m_out / "in.txt").string());
    }

    static inline testing_support::TempDir* s_dir = nullptr;
    testing_support::TempDir m_out;
};

}  // namespace foxsql_test
