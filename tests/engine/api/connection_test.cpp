// Connections: the connection string as Connect_DBC builds it, open and close, statements
// with per-connection SET options, the table list, table names and paths, exclusive use and
// PACK, and errors that name what is wrong.
#include "api_fixture.h"
#include "engine/api/api_errors.h"
#include "engine/api/connection_string.h"
#include "engine/error.h"
#include "support/as_other_user.h"

namespace {

using namespace api_test;
using engine::api::Connection;
using engine::api::ConnectionProperties;
using engine::api::Recordset;
namespace err = engine::err;

TEST(ConnectionProperties, ReadsTheExtendedPropertiesFormWithAnyCaseAndBlanks) {
    const ConnectionProperties p(
        "Provider=MSDASQL;Persist Security Info=False;Extended Properties=\"DRIVER={Microsoft Visual FoxPro "
        "Driver};Collate=Machine;BackgroundFetch=Yes;Exclusive = No;SourceDB=/data/x y/Corvane.dbc;SourceType=DBC;\"");
    EXPECT_EQ(p.Get("sourcedb"), "/data/x y/Corvane.dbc");
    EXPECT_EQ(p.Get("SOURCETYPE"), "DBC");
    EXPECT_EQ(p.Get("Exclusive"), "No");
    EXPECT_FALSE(p.Flag("exclusive", true));
    EXPECT_EQ(p.Get("Provider"), "MSDASQL");
    EXPECT_EQ(p.Get("driver"), "{Microsoft Visual FoxPro Driver}");
    EXPECT_EQ(p.Get("Missing"), std::nullopt);
    EXPECT_TRUE(ConnectionProperties("sourcedb = a ; Exclusive=YES").Flag("EXCLUSIVE", false));
}

TEST_F(PracticeDatabase, OpenReadsTheStringBackExactlyAndCloseEndsTheConnection) {
    Connection c;
    EXPECT_EQ(c.State(), 0);
    c.SetMode(3);
    c.SetConnectionTimeout(15);
    c.SetCursorLocation(3);
    const std::string text = ConnectionStringTo(m_dbc);
    c.SetConnectionString(text);
    c.Open("", "", "", -1);
    EXPECT_EQ(c.State(), 1);
    EXPECT_EQ(c.ConnectionString(), text);
    EXPECT_EQ(c.Mode(), 3);
    EXPECT_EQ(c.ConnectionTimeout(), 15);
    EXPECT_EQ(c.CursorLocation(), 3);
    c.Close();
    EXPECT_EQ(c.State(), 0);
    ExpectError([&] { c.Execute("SELECT * FROM IdentFil"); }, err::kNotOpen, "closed");
}

TEST_F(PracticeDatabase, OpeningAMissingDatabaseNamesTheFile) {
    Connection c;
    c.SetConnectionString(ConnectionStringTo(m_dir / "Archive" / "Corvane.dbc"));
    ExpectError([&] { c.Open(); }, err::kFileNotFound, (m_dir / "Archive" / "Corvane.dbc").string());
    EXPECT_EQ(c.State(), 0);
    Connection none;
    none.SetConnectionString("Provider=MSDASQL;Extended Properties=\"DRIVER=x;\"");
    ExpectError([&] { none.Open(); }, engine::api::err::kBadConnectionString, "SourceDB");
}

TEST_F(PracticeDatabase, TheContainerFileNameIsMatchedWithoutRegardToCase) {
    Connection c;
    c.SetConnectionString(ConnectionStringTo(m_dir / "corvane.DBC"));
    c.Open();
    EXPECT_EQ(c.Execute("SELECT * FROM identfil").rows->rows.size(), 4u);
}

TEST_F(PracticeDatabase, ExecuteRunsSeveralStatementsAndSetDeletedBelongsToOneConnection) {
    auto a = Connect();
    auto b = Connect();
    auto outcome = a->Execute("SET DELETED OFF; SELECT * FROM IdentFil WHERE PtNum = 3");
    ASSERT_TRUE(outcome.rows);
    EXPECT_EQ(outcome.rows->rows.size(), 1u);
    EXPECT_TRUE(b->Execute("SELECT * FROM IdentFil WHERE PtNum = 3").rows->rows.empty());
    EXPECT_EQ(a->Execute("SELECT * FROM IdentFil WHERE PtNum = 3").rows->rows.size(), 1u);
    a->Execute("DELETE FROM IdentFil WHERE PtNum = 5");
    EXPECT_TRUE(b->Execute("SELECT * FROM IdentFil WHERE PtNum = 5").rows->rows.empty());
    EXPECT_EQ(a->Execute("SELECT * FROM IdentFil WHERE PtNum = 5").rows->rows.size(), 2u);
}

TEST_F(PracticeDatabase, OpenSchemaListsTheContainersTables) {
    auto c = Connect();
    auto tables = c->OpenSchema(20, {"", "", "", "TABLE"});
    std::vector<std::string> names;
    for (tables->MoveFirst(); !tables->Eof(); tables->MoveNext())
        names.push_back(tables->Fields().Item("Table_Name").Value().As<std::string>());
    EXPECT_EQ(names, (std::vector<std::string>{"IdentFil", "DocIdent", "InsIdent", "AllTypes"}));
    EXPECT_EQ(c->OpenSchema(20, {"", "", "", "VIEW"})->RecordCount(), 0);
    ExpectError([&] { c->OpenSchema(4); }, err::kBadArgument, "Schema 4");
}

TEST_F(PracticeDatabase, QuotedNamesAndPathsResolveAsFilesWithoutRegardToCase) {
    auto c = Connect();
    const std::string folder = m_dir.Str();
    for (const std::string& name :
         std::vector<std::string>{"IDENTFIL", "\"identfil\"", "\"IdentFil.dbf\"", "\"" + folder + "/identfil\"",
                                  "\"" + folder + "/IDENTFIL.DBF\"", "\"" + folder + "\\identfil\""}) {
        auto outcome = c->Execute("SELECT * FROM " + name + " WHERE PtNum = 1");
        ASSERT_TRUE(outcome.rows) << name;
        EXPECT_EQ(outcome.rows->rows.size(), 1u) << name;
    }
    ExpectError([&] { c->Execute("SELECT * FROM Nowhere"); }, err::kUnknownTable, "Nowhere");
    ExpectError([&] { c->Execute("SELECT * FROM \"" + folder + "/nowhere\""); }, err::kUnknownTable, "nowhere");
}

TEST_F(PracticeDatabase, PackNeedsExclusiveUseAndRemovesMarkedRows) {
    auto c = Connect();
    const std::string pack = "PACK \"" + m_dir.Str() + "/IdentFil\"";
    ExpectError([&] { c->Execute(pack); }, engine::sql::err::kMustBeExclusive, "exclusive");
    auto other = Connect();
    Recordset held;
    held.Open("IdentFil", *other, 3, 3, 2);
    c->Execute("SET EXCLUSIVE ON");
    ExpectError([&] { c->Execute(pack); }, err::kFileInUse, "IDENTFIL.DBF");
    held.Close();
    c->Execute(pack + "; SET EXCLUSIVE OFF");
    auto t = engine::Table::Open(m_dir / "IDENTFIL.DBF");
    EXPECT_EQ(t->RecordCount(), 4u);
    c->Execute("SET DELETED OFF");
    EXPECT_TRUE(c->Execute("SELECT * FROM IdentFil WHERE PtNum = 3").rows->rows.empty());
}

TEST_F(PracticeDatabase, ExclusiveConnectionsShutOutOthers) {
    Connection exclusive;
    std::string text = ConnectionStringTo(m_dbc);
    text.replace(text.find("Exclusive = No"), 14, "Exclusive = Yes");
    exclusive.SetConnectionString(text);
    exclusive.Open();
    Recordset rs;
    rs.Open("InsIdent", exclusive, 3, 3, 2);
    auto shared = Connect();
    ExpectError([&] { shared->Execute("SELECT * FROM InsIdent"); }, err::kFileInUse, "InsIdent.dbf");
}

TEST_F(PracticeDatabase, AFolderOfFreeTablesIsADatabaseToo) {
    Connection c;
    c.SetConnectionString("SourceDB=" + m_dir.Str() + ";SourceType=DBF");
    c.Open();
    EXPECT_EQ(c.Execute("SELECT * FROM docident WHERE Typ = 'C'").rows->rows.size(), 2u);
    auto tables = c.OpenSchema(20, {"", "", "", "TABLE"});
    EXPECT_EQ(tables->RecordCount(), 4);
}

}  // namespace

TEST_F(PracticeDatabase, OpeningADatabaseNamesWhyItCannot) {
    // A missing folder is not a missing file.
    Connection missing;
    missing.SetConnectionString(ConnectionStringTo(m_dir / "gone" / "Corvane.dbc"));
    ExpectError([&] { missing.Open(); }, err::kFileNotFound,
                "Corvane.dbc': the folder '" + (m_dir / "gone").string() + "' does not exist.");
    // A folder its user may not enter gives the system's reason.
    testing_support::OpenToEveryone(m_dir.Path());
    std::filesystem::create_directories(m_dir / "closed");
    chmod((m_dir / "closed").c_str(), 0700);
    const std::string dbc = (m_dir / "closed" / "Corvane.dbc").string();
    EXPECT_EQ(testing_support::AsOtherUser([&] {
                  try {
                      Connection c;
                      c.SetConnectionString(ConnectionStringTo(dbc));
                      c.Open();
                      return std::string("opened");
                  } catch (const engine::Error& e) {
                      return std::to_string(e.Number()) + " " + e.Description();
                  }
              }),
              std::to_string(err::kFileAccess) + " Cannot open database '" + dbc + "': Permission denied.");
}
