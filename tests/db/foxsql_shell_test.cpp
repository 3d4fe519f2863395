// The foxsql shell as a program: query answers compared with python3-dbfread over the same
// generated tables, statements spanning lines in a script, dot-commands as arguments and in
// scripts, output modes, numbers with their field's decimals, --bail and exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/requirements.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class Shell : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        const std::string command = std::string(MAKE_SAMPLE_DATA_PATH) + " --patients 40 --seed 7 " +
                                    (s_dir->Path() / "data").string() + " >/dev/null";
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
        const std::string command = std::string(FOXSQL_PATH) + " " + arguments + " <" + (m_out / "in.txt").string() +
                                    " >" + (m_out / "out.txt").string() + " 2>" + (m_out / "err.txt").string();
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(m_out / "out.txt"), ReadFile(m_out / "err.txt")};
    }

    static TempDir* s_dir;
    TempDir m_out;
};
TempDir* Shell::s_dir = nullptr;

TEST_F(Shell, AnswersEqualPythonOverAnIndependentReader) {
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    const std::string command = "/usr/bin/python3 " + std::string(FOXSQL_QUERY_COMPARE_SCRIPT) + " " + FOXSQL_PATH +
                                " " + Quote(Data()) + " >" + (m_out / "cmp.txt").string() + " 2>&1";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << ReadFile(m_out / "cmp.txt");
    EXPECT_NE(ReadFile(m_out / "cmp.txt").find("queries compared: 18"), std::string::npos)
        << ReadFile(m_out / "cmp.txt");
}

TEST_F(Shell, AggregatesOnRealFoxProFilesEqualPythonOverAnIndependentReader) {
    ARCHIVE_REQUIRE(testing_support::MissingVfpData());
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    const std::string command = "/usr/bin/python3 " + std::string(FOXSQL_VFP_AGGREGATE_SCRIPT) + " " + FOXSQL_PATH +
                                " " + Quote(testing_support::SharedVfpData().string()) + " >" +
                                (m_out / "vfp.txt").string() + " 2>&1";
    const int raw = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0) << ReadFile(m_out / "vfp.txt");
    EXPECT_NE(ReadFile(m_out / "vfp.txt").find("aggregates compared: "), std::string::npos)
        << ReadFile(m_out / "vfp.txt");
}

TEST_F(Shell, ScriptStatementsSpanLinesAndEachPrintsItsResult) {
    const Result r =
        Run("--csv " + Dbc(),
            "* counts\n"
            "SELECT COUNT(*) AS n\n"
            "  FROM IdentFil  && every patient\n"
            "  WHERE PtNum <= 3;\n"
            "SELECT PtNum FROM IdentFil WHERE PtNum = 2; SELECT -0.0001 AS tiny FROM IdentFil WHERE PtNum = 1;\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "n\r\n3\r\nptnum\r\n2\r\ntiny\r\n-0.0001\r\n");
}

TEST_F(Shell, AScriptWithAnErrorEndsWithStatusOneAndBailStopsThere) {
    const std::string script = "SELECT * FROM Nowhere;\nSELECT COUNT(*) FROM IdentFil;\n";
    const Result goesOn = Run("--json " + Dbc(), script);
    EXPECT_EQ(goesOn.status, 1);
    EXPECT_EQ(goesOn.out, "{\"cnt\": 40}\n");
    EXPECT_EQ(goesOn.err.rfind("Error 1802: ", 0), 0u) << goesOn.err;
    const Result bails = Run("--json --bail " + Dbc(), script);
    EXPECT_EQ(bails.status, 1);
    EXPECT_EQ(bails.out, "");
    const Result args = Run(Dbc() + " 'SELECT * FROM Nowhere' 'SELECT COUNT(*) FROM IdentFil'");
    EXPECT_EQ(args.status, 1);
    EXPECT_NE(args.out.find("40"), std::string::npos) << args.out;
}

TEST_F(Shell, DotCommandsWorkAsArgumentsAndInScripts) {
    const Result schema = Run(Dbc() + " .schema PostFile");
    ASSERT_EQ(schema.status, 0) << schema.err;
    EXPECT_EQ(schema.out.rfind("CREATE TABLE PostFile (", 0), 0u) << schema.out;
    EXPECT_NE(schema.out.find("INDEX ON PtNum TAG PTNUM"), std::string::npos) << schema.out;
    EXPECT_NE(schema.out.find(" NOT NULL"), std::string::npos) << schema.out;

    const Result tables = Run(Dbc() + " .tables");
    EXPECT_NE(tables.out.find("IdentFil\n"), std::string::npos) << tables.out;
    const Result indexes = Run(Dbc() + " .indexes IdentFil");
    EXPECT_NE(indexes.out.find("TAG PTNUM"), std::string::npos) << indexes.out;

    const std::string output = (m_out / "rows.md").string();
    const Result script =
        Run(Dbc(), ".mode markdown\n.output " + output +
                       "\nSELECT PtNum FROM IdentFil WHERE PtNum = 4;\n.output\n.mode line\n"
                       ".headers off\nSELECT PtNum FROM IdentFil WHERE PtNum = 5;\n.quit\nSELECT 1;\n");
    EXPECT_EQ(script.status, 0) << script.err;
    EXPECT_EQ(ReadFile(output), "| ptnum |\n| ---: |\n| 4 |\n");
    EXPECT_EQ(script.out, "ptnum = 5\n");

    const Result unknown = Run(Dbc() + " .frobnicate");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find(".frobnicate"), std::string::npos);
    const Result read = Run(Dbc(), ".read " + (m_out / "missing.sql").string() + "\n");
    EXPECT_EQ(read.status, 1);
}

TEST_F(Shell, VersionHelpAndRefusedConstructsByName) {
    const Result version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("foxsql ", 0), 0u);
    EXPECT_NE(Run("--help").out.find("--bail"), std::string::npos);
    const Result into = Run(Dbc() + " 'SELECT * FROM IdentFil INTO CURSOR x'");
    EXPECT_EQ(into.status, 1);
    EXPECT_NE(into.err.find("SELECT ... INTO is not supported"), std::string::npos) << into.err;
    const Result create = Run(Dbc() + " 'CREATE TABLE x (a I)'");
    EXPECT_NE(create.err.find("CREATE command is not supported"), std::string::npos) << create.err;
}

}  // namespace
