// The foxsql shell as a program: a query on generated demo data as a table and as JSON, JSON
// equal to an independent reader's values for the real FoxPro files, and bad statements that
// end with one error line, status 1 and no change to the tables.
#include <string>

#include "foxsql_fixture.h"

namespace {

namespace fs = std::filesystem;
using foxsql_test::Quote;
using foxsql_test::Result;
using testing_support::ReadFile;
using testing_support::TempDir;

class DemoData : public foxsql_test::SampleDatabase<12, 3> {};

TEST_F(DemoData, AnswersAQueryByPatientNumberAsATableAndAsJson) {
    Result table = Run(Dbc() + " " + Quote("SELECT * FROM IdentFil WHERE PtNum = 5"));
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("ptnum", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("(1 row)\n"), std::string::npos) << table.out;
    Result json = Run("--json " + Dbc() + " " + Quote("SELECT PtNum, LastNam FROM IdentFil WHERE PtNum = 5"));
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.rfind("{\"ptnum\": 5, \"lastnam\": \"", 0), 0u) << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);
    // Statements given one by one share the connection's settings.
    Result both = Run("--json " + Dbc() + " 'SET DELETED OFF' " + Quote("SELECT PtNum FROM IdentFil"));
    Result live = Run("--json " + Dbc() + " " + Quote("SELECT PtNum FROM IdentFil"));
    EXPECT_GE(std::count(both.out.begin(), both.out.end(), '\n'), std::count(live.out.begin(), live.out.end(), '\n'));
}

TEST_F(DemoData, BadStatementsGiveOneErrorLineStatusOneAndChangeNothing) {
    const fs::path data = s_dir->Path() / "data";
    const std::string before =
        ReadFile(data / "IDENTFIL.DBF").empty() ? ReadFile(data / "identfil.dbf") : ReadFile(data / "IDENTFIL.DBF");
    struct Case {
        std::string statement;
        std::string expected;  // the start of the error line
        std::string names;     // what the line must name
    };
    const Case cases[] = {
        {"DELETE FROM IdentFil WHERE PtNum = 5; SELECT * FROM Nowhere", "Error 1802: ", "Nowhere"},
        {"DELETE FROM IdentFil WHERE PtNum = 5; SELECT Nofield FROM IdentFil", "Error 1806: ", "Nofield"},
        {"DELETE FROM IdentFil WHERE PtNum = 5; SELECT * FROM IdentFil WHERE", "Error 10: ", "position"},
        {"UPDATE IdentFil SET LastNam = 'x; SELECT 1 FROM IdentFil", "Error 10: ", "position"},
        {"DELETE FROM IdentFil WHERE UPPER(LastNam, 2) = 'X'", "Error 1229: ", "UPPER"},
    };
    for (const Case& c : cases) {
        Result r = Run(Dbc() + " " + Quote(c.statement));
        EXPECT_EQ(r.status, 1) << c.statement;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(r.err.rfind(c.expected, 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    const std::string after =
        ReadFile(data / "IDENTFIL.DBF").empty() ? ReadFile(data / "identfil.dbf") : ReadFile(data / "IDENTFIL.DBF");
    EXPECT_EQ(before, after);
    Result missing = Run(Quote((m_out.Path() / "none.dbc").string()) + " 'SELECT * FROM x'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.dbc"), std::string::npos) << missing.err;
}

TEST(FoxsqlJson, EqualsAnIndependentReaderOnRealFoxProFiles) {
    ARCHIVE_REQUIRE(testing_support::MissingVfpData());
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    TempDir dir;
    const Result r =
        foxsql_test::RunCompareScript(dir, FOXSQL_COMPARE_SCRIPT, testing_support::SharedVfpData().string());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("tables compared"), std::string::npos) << r.out;
}

}  // namespace
