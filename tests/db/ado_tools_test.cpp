// AdoTools: the exact connection string, Connect_DBC's connection and its error report,
// GetField, and CopyRecord's null and date rules.
#include <gtest/gtest.h>

#include "common/product.h"
#include "common/recording_ui.h"
#include "db/ado_tools.h"
#include "engine/api/api_errors.h"
#include "engine/dbf/container.h"
#include "engine/error.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using engine::api::Recordset;
using testing_support::TempDir;

const std::string kPrefix = "Provider=MSDASQL;Persist Security Info=False;Extended Properties=\"";
const std::string kDriver = "DRIVER={Microsoft Visual FoxPro Driver};";

engine::Date Ymd(int y, int m, int d) { return engine::Date{engine::JulianDayFromYmd(y, m, d)}; }

TEST(ConnectionStringFor, JoinsThePiecesCharacterForCharacter) {
    EXPECT_EQ(AdoTools::ConnectionStringFor("/data", "Corvane.dbc"),
              kPrefix + kDriver +
                  "Collate=Machine;BackgroundFetch=Yes;Exclusive = No;SourceDB=/data/Corvane.dbc;SourceType=DBC;\"");
    EXPECT_EQ(AdoTools::ConnectionStringFor("/data/", "corvane.dbc"),
              kPrefix + kDriver +
                  "Collate=Machine;BackgroundFetch=Yes;Exclusive = No;SourceDB=/data/corvane.dbc;SourceType=DBC;\"");
    EXPECT_EQ(
        AdoTools::ConnectionStringFor("c:\\data\\", "Corvane.dbc"),
        kPrefix + kDriver +
            "Collate=Machine;BackgroundFetch=Yes;Exclusive = No;SourceDB=c:\\data\\Corvane.dbc;SourceType=DBC;\"");
    AdoTools::ConnectOptions o;
    o.Exclusive = "Yes";
    o.ProviderPrefix = "P=\"";
    o.Collate = "Collate=General;";
    o.BackgroundFetch = "";
    EXPECT_EQ(AdoTools::ConnectionStringFor("/d", "x.dbc", o),
              "P=\"" + kDriver + "Collate=General;Exclusive = Yes;SourceDB=/d/x.dbc;SourceType=DBC;\"");
}

class AdoToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        product::LogFile = (m_dir / "Corvane.log").string();
        product::DebugFlags = 0;
        auto container = engine::Container::Create(m_dir / "Corvane.dbc");
        auto source = container->CreateTable("Source", "source.dbf",
                                             {{.name = "Name", .type = 'C', .length = 8},
                                              {.name = "Seen", .type = 'D', .nullable = true},
                                              {.name = "Stamp", .type = 'T', .nullable = true},
                                              {.name = "Note", .type = 'C', .length = 8, .nullable = true},
                                              {.name = "Extra", .type = 'I'}});
        const int32_t day = engine::JulianDayFromYmd(2024, 5, 6);
        source->Append({Value("plain"), Value(Ymd(2024, 5, 6)), Value(engine::DateTime{day, 0}), Value(), Value(1)});
        source->Append({Value("clock"), Value(), Value(engine::DateTime{day, 13 * 3600000}), Value("n"), Value(2)});
        source->Append(
            {Value("blank"), Value(engine::Date{}), Value(engine::DateTime{day, 3600000}), Value(), Value(3)});
        container->CreateTable("Target", "target.dbf",
                               {{.name = "Name", .type = 'C', .length = 8},
                                {.name = "Seen", .type = 'D', .nullable = true},
                                {.name = "Stamp", .type = 'D', .nullable = true},
                                {.name = "Note", .type = 'C', .length = 8, .nullable = true}});
    }
    void TearDown() override { product::LogFile.clear(); }

    TempDir m_dir;
};

TEST_F(AdoToolsTest, ConnectDbcOpensTheContainerWithModeAndTimeout) {
    auto c = AdoTools::Connect_DBC(m_dir.Str(), "corvane.dbc");
    EXPECT_EQ(c->State(), 1);
    EXPECT_EQ(c->Mode(), 3);
    EXPECT_EQ(c->ConnectionTimeout(), 15);
    EXPECT_EQ(c->CursorLocation(), std::nullopt);
    EXPECT_EQ(c->ConnectionString(), AdoTools::ConnectionStringFor(m_dir.Str(), "corvane.dbc"));
    EXPECT_EQ(c->Execute("SELECT * FROM Source").rows->rows.size(), 3u);
    AdoTools::ConnectOptions o;
    o.CursorLocation = 3;
    EXPECT_EQ(AdoTools::Connect_DBC(m_dir.Str() + "/", "Corvane.dbc", o)->CursorLocation(), 3);
}

TEST_F(AdoToolsTest, AFailureIsLoggedWithoutAMessageAndRaisedAgain) {
    ui::RecordingUi ui;
    const std::string missing = m_dir.Str() + "/Archive";
    try {
        AdoTools::Connect_DBC(missing, "Corvane.dbc");
        FAIL() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kFileNotFound);
        EXPECT_EQ(e.Source(), "Connect_DBC");
        const std::string log = testing_support::ReadFile(m_dir / "Corvane.log");
        const std::string line = "AdoTools/Connect_DBC:  Error #: 1, Descr: " + e.Description() + "\r\n";
        EXPECT_NE(log.find(line), std::string::npos) << log;
        EXPECT_NE(e.Description().find(missing + "/Corvane.dbc"), std::string::npos) << e.Description();
    }
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(AdoToolsTest, GetFieldFindsAFieldOrNone) {
    auto c = AdoTools::Connect_DBC(m_dir.Str(), "Corvane.dbc");
    Recordset rs;
    EXPECT_EQ(AdoTools::GetField(rs, "Name"), nullptr);  // closed
    rs.Open("Source", *c, 3, 3, 2);
    ASSERT_NE(AdoTools::GetField(rs, "NAME"), nullptr);
    EXPECT_EQ(AdoTools::GetField(rs, "NAME")->Name(), "name");
    EXPECT_EQ(AdoTools::GetField(rs, "PtNum"), nullptr);
}

TEST_F(AdoToolsTest, CopyRecordFollowsTheNullAndDateRules) {
    auto c = AdoTools::Connect_DBC(m_dir.Str(), "Corvane.dbc");
    Recordset source, target;
    source.Open("SELECT * FROM Source", *c, 3, 3, -1);
    target.Open("Target", *c, 3, 3, 2);
    for (; !source.Eof(); source.MoveNext()) {
        target.AddNew();
        target.Fields().Item("Note").SetValue(Value("default"));
        AdoTools::CopyRecord(source.Fields(), target);
        target.Update();
    }
    auto rows = c->Execute("SELECT * FROM Target").rows->rows;
    ASSERT_EQ(rows.size(), 3u);
    // A date-time at midnight is assigned; null text is skipped, so the row keeps its value.
    EXPECT_EQ(rows[0], (std::vector<Value>{Value("plain   "), Value(Ymd(2024, 5, 6)), Value(Ymd(2024, 5, 6)),
                                           Value("default ")}));
    // A null date stores null; a date-time with a clock time ("... PM") stores null.
    EXPECT_EQ(rows[1], (std::vector<Value>{Value("clock   "), Value(), Value(), Value("n       ")}));
    // An empty date arrives blank; "1:00:00 AM" ends in M too.
    EXPECT_EQ(rows[2], (std::vector<Value>{Value("blank   "), Value(engine::Date{}), Value(), Value("default ")}));
}

TEST_F(AdoToolsTest, CopyRecordPassesAFailedAssignmentToTheCaller) {
    auto c = AdoTools::Connect_DBC(m_dir.Str(), "Corvane.dbc");
    c->Execute("INSERT INTO Source (Name, Seen, Stamp, Note, Extra) VALUES ('x', {^2024-01-01}, NULL, 'bad date', 4)");
    auto container = engine::Container::Open(m_dir / "Corvane.dbc");
    container->CreateTable("Strict", "strict.dbf", {{.name = "Note", .type = 'D', .nullable = true}});
    container.reset();
    Recordset source, target;
    source.Open("SELECT * FROM Source WHERE Extra = 4", *c, 3, 3, -1);
    target.Open("Strict", *c, 3, 3, 2);
    target.AddNew();
    try {
        AdoTools::CopyRecord(source.Fields(), target);
        FAIL() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::api::err::kConversion);
        EXPECT_NE(e.Description().find("'bad date'"), std::string::npos) << e.Description();
    }
}

TEST_F(AdoToolsTest, CopyRecordKeepsTheSourceNumberOfAnAutoincrementField) {
    auto container = engine::Container::Open(m_dir / "Corvane.dbc");
    for (const char* name : {"Numbered", "Copies"}) {
        container->CreateTable(name, std::string(name) + ".dbf",
                               {{.name = "Id", .type = 'I', .autoIncrement = true, .autoIncNext = 100},
                                {.name = "Name", .type = 'C', .length = 8}});
    }
    container.reset();
    auto c = AdoTools::Connect_DBC(m_dir.Str(), "Corvane.dbc");
    c->Execute("INSERT INTO Numbered (Name) VALUES ('first'); INSERT INTO Numbered (Name) VALUES ('second')");
    Recordset source, target;
    source.Open("SELECT * FROM Numbered WHERE Name = 'second'", *c, 3, 3, -1);
    target.Open("Copies", *c, 3, 3, 2);
    target.AddNew();
    AdoTools::CopyRecord(source.Fields(), target);
    target.Update();
    EXPECT_FALSE(target.CopyMode());
    EXPECT_EQ(c->Execute("SELECT Id FROM Copies").rows->rows, (std::vector<std::vector<Value>>{{Value(101)}}));
    // Outside a copy the table numbers the row and refuses a number given by hand.
    target.AddNew();
    target.Fields().Item("Name").SetValue(Value("new"));
    target.Update();
    EXPECT_EQ(target.Fields().Item("Id").Value(), Value(102));
    target.AddNew();
    EXPECT_THROW(target.Fields().Item("Id").SetValue(Value(7)), engine::Error);
}

TEST(VariantText, ShowsDateTimesWithAClockAsAmOrPm) {
    const int32_t day = engine::JulianDayFromYmd(2026, 12, 4);
    EXPECT_EQ(AdoTools::VariantText(Value(engine::DateTime{day, (19 * 3600 + 35 * 60 + 38) * 1000})),
              "12/4/2026 7:35:38 PM");
    EXPECT_EQ(AdoTools::VariantText(Value(engine::DateTime{day, 0})), "12/4/2026");
    EXPECT_EQ(AdoTools::VariantText(Value(engine::Date{day})), "12/4/2026");
    EXPECT_EQ(AdoTools::VariantText(Value(true)), "True");
    EXPECT_EQ(AdoTools::VariantText(Value(2.5)), "2.5");
}

}  // namespace
