// Adding a table to an open connection's database: the container lists it, every connection
// and an independent reader find it, and a name already taken is refused.
#include <filesystem>

#include "api_fixture.h"
#include "engine/api/table_creation.h"
#include "support/dbfread.h"

namespace api_test {
namespace {

using engine::FieldSpec;

const std::vector<FieldSpec> kLogFields = {{.name = "Started", .type = 'T', .nullable = true},
                                           {.name = "Login", .type = 'C', .length = 40},
                                           {.name = "Archived", .type = 'I'},
                                           {.name = "RowsCopied", .type = 'M', .nullable = true}};

class TableCreationTest : public PracticeDatabase {};

TEST_F(TableCreationTest, ANewTableJoinsTheContainerAndEveryConnectionFindsIt) {
    auto writer = Connect();
    auto reader = Connect();  // opened before the table existed
    engine::api::CreateTable(*writer, "ArchLog", kLogFields);

    EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "archlog.dbf"));
    EXPECT_TRUE(std::filesystem::exists(m_dir.Path() / "archlog.fpt"));
    const auto listed = engine::Container::Open(m_dbc)->FindTable("ARCHLOG");
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->name, "ArchLog");
    EXPECT_EQ(listed->fieldNames, (std::vector<std::string>{"started", "login", "archived", "rowscopied"}));

    writer->Execute("INSERT INTO ArchLog (Login, Archived, RowsCopied) VALUES ('frank', 47, 'IdentFil 47')");
    engine::api::Recordset rows;
    rows.Open("SELECT Login, Archived, RowsCopied FROM archlog", *reader, engine::api::kAdOpenStatic,
              engine::api::kAdLockOptimistic, -1);
    ASSERT_FALSE(rows.Eof());
    EXPECT_EQ(rows.Fields().Item("Login").Value(), Value(std::string("frank") + std::string(35, ' ')));
    EXPECT_EQ(rows.Fields().Item("Archived").Value(), Value(int64_t{47}));
    EXPECT_EQ(rows.Fields().Item("RowsCopied").Value(), Value("IdentFil 47"));
    rows.Close();
    writer->Close();
    reader->Close();
    EXPECT_EQ(testing_support::DbfreadCounts(m_dir.Path() / "archlog.dbf"), "1 1 0");
}

TEST_F(TableCreationTest, ANameTakenByAContainerTableOrAFileIsRefused) {
    auto connection = Connect();
    ExpectError([&] { engine::api::CreateTable(*connection, "identfil", kLogFields); }, engine::err::kBadArgument,
                "'identfil' already exists");
    // A free table file that answers to the name already.
    engine::Table::Create(m_dir.Path() / "STRAY.DBF", kLogFields)->Close();
    ExpectError([&] { engine::api::CreateTable(*connection, "Stray", kLogFields); }, engine::err::kBadArgument,
                "'Stray' already exists");
    EXPECT_FALSE(engine::Container::Open(m_dbc)->FindTable("Stray").has_value());
}

TEST_F(TableCreationTest, AFolderOfFreeTablesGetsAFreeTableAndAClosedConnectionIsRefused) {
    const auto folder = m_dir.Path() / "free";
    std::filesystem::create_directories(folder);
    engine::api::Connection connection;
    connection.Open({}, {}, "SourceDB=" + folder.string() + ";SourceType=DBF;");
    engine::api::CreateTable(connection, "ArchLog", kLogFields);
    EXPECT_TRUE(engine::Table::Open(folder / "archlog.dbf")->ContainerLink().empty());
    connection.Execute("INSERT INTO ArchLog (Login) VALUES ('x')");
    connection.Close();
    ExpectError([&] { engine::api::CreateTable(connection, "Other", kLogFields); }, engine::err::kNotOpen, "");
}

}  // namespace
}  // namespace api_test
