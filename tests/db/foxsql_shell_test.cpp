// The foxsql shell as a program: query answers compared with python3-dbfread over the same
// generated tables, statements spanning lines in a script, dot-commands as arguments and in
// scripts, output modes, numbers with their field's decimals, --bail and exit statuses.
#include <string>

#include "foxsql_fixture.h"

namespace {

using foxsql_test::Quote;
using foxsql_test::Result;
using testing_support::ReadFile;

class Shell : public foxsql_test::SampleDatabase<40, 7> {};

TEST_F(Shell, AnswersEqualPythonOverAnIndependentReader) {
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    const Result r = foxsql_test::RunCompareScript(m_out, FOXSQL_QUERY_COMPARE_SCRIPT, Data());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("queries compared: 24"), std::string::npos) << r.out;
}

TEST_F(Shell, AggregatesOnRealFoxProFilesEqualPythonOverAnIndependentReader) {
    ARCHIVE_REQUIRE(testing_support::MissingVfpData());
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    const Result r =
        foxsql_test::RunCompareScript(m_out, FOXSQL_VFP_AGGREGATE_SCRIPT, testing_support::SharedVfpData().string());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("aggregates compared: "), std::string::npos) << r.out;
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
