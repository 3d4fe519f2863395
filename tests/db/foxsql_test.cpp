// The foxsql shell as a program: a query on generated demo data as a table and as JSON, JSON
// equal to an independent reader's values for the real FoxPro files, and bad statements that
// end with one error line, status 1 and no change to the tables.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/requirements.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
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

Result Foxsql(const TempDir& dir, const std::string& arguments) {
    const std::string command = std::string(FOXSQL_PATH) + " " + arguments + " >" + (dir / "out.txt").string() + " 2>" +
                                (dir / "err.txt").string() + " </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
}

class DemoData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        const std::string command = std::string(MAKE_SAMPLE_DATA_PATH) + " --patients 12 --seed 3 " +
                                    (s_dir->Path() / "data").string() + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string Dbc() { return Quote((s_dir->Path() / "data" / "Corvane.dbc").string()); }

    static TempDir* s_dir;
    TempDir m_out;
};
TempDir* DemoData::s_dir = nullptr;

TEST_F(DemoData, AnswersAQueryByPatientNumberAsATableAndAsJson) {
    Result table = Foxsql(m_out, Dbc() + " " + Quote("SELECT * FROM IdentFil WHERE PtNum = 5"));
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("ptnum", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("(1 row)\n"), std::string::npos) << table.out;
    Result json = Foxsql(m_out, "--json " + Dbc() + " " + Quote("SELECT PtNum, LastNam FROM IdentFil WHERE PtNum = 5"));
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out.rfind("{\"ptnum\": 5, \"lastnam\": \"", 0), 0u) << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);
    // Statements given one by one share the connection's settings.
    Result both = Foxsql(m_out, "--json " + Dbc() + " 'SET DELETED OFF' " + Quote("SELECT PtNum FROM IdentFil"));
    Result live = Foxsql(m_out, "--json " + Dbc() + " " + Quote("SELECT PtNum FROM IdentFil"));
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
        Result r = Foxsql(m_out, Dbc() + " " + Quote(c.statement));
        EXPECT_EQ(r.status, 1) << c.statement;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(r.err.rfind(c.expected, 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    const std::string after =
        ReadFile(data / "IDENTFIL.DBF").empty() ? ReadFile(data / "identfil.dbf") : ReadFile(data / "IDENTFIL.DBF");
    EXPECT_EQ(before, after);
    Result missing = Foxsql(m_out, Quote((m_out.Path() / "none.dbc").string()) + " 'SELECT * FROM x'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("none.dbc"), std::string::npos) << missing.err;
}

TEST(FoxsqlJson, EqualsAnIndependentReaderOnRealFoxProFiles) {
    ARCHIVE_REQUIRE(testing_support::MissingVfpData());
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    TempDir dir;
    const std::string command = "/usr/bin/python3 " + std::string(FOXSQL_COMPARE_SCRIPT) + " " + FOXSQL_PATH + " " +
                                Quote(testing_support::SharedVfpData().string()) + " >" + (dir / "out.txt").string() +
                                " 2>&1";
    const int raw = std::system(command.c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    EXPECT_EQ(status, 0) << ReadFile(dir / "out.txt");
    EXPECT_NE(ReadFile(dir / "out.txt").find("tables compared"), std::string::npos);
}

}  // namespace
