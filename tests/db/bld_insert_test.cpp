// cBldInsert on a generated database: statements built field by field change exactly the row
// they name (read back by python3-dbfread), the literal of each column type, and the report
// of a statement that fails.
#include <gtest/gtest.h>

#include "common/product.h"
#include "common/recording_ui.h"
#include "db/bld_insert.h"
#include "engine/api/field_types.h"
#include "engine/dbf/container.h"
#include "support/dbfread.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using testing_support::DbfreadRows;

engine::Date Ymd(int y, int m, int d) { return engine::Date{engine::JulianDayFromYmd(y, m, d)}; }

class BldInsertTest : public ::testing::Test {
protected:
    void SetUp() override {
        product::LogFile = (m_dir / "Corvane.log").string();
        product::DebugFlags = 0;
        auto container = engine::Container::Create(m_dir / "Corvane.dbc");
        auto patient = container->CreateTable("Patient", "patient.dbf",
                                              {{.name = "PtNum", .type = 'I'},
                                               {.name = "Name", .type = 'C', .length = 10},
                                               {.name = "Balance", .type = 'N', .length = 7, .decimals = 2},
                                               {.name = "Active", .type = 'L'},
                                               {.name = "Born", .type = 'D', .nullable = true},
                                               {.name = "Seen", .type = 'T'},
                                               {.name = "Rate", .type = 'B', .decimals = 2},
                                               {.name = "Fee", .type = 'Y'}});
        patient->Append({Value(1), Value("Adams"), Value(10.5), Value(true), Value(Ymd(1950, 1, 2)),
                         Value(engine::DateTime{engine::JulianDayFromYmd(2024, 3, 4), 0}), Value(1.5),
                         Value(engine::Currency{0})});
        patient->Append({Value(2), Value("Baker"), Value(20.0), Value(false), Value(Ymd(1960, 5, 6)),
                         Value(engine::DateTime{engine::JulianDayFromYmd(2024, 7, 8), 0}), Value(2.5),
                         Value(engine::Currency{0})});
        container->CreateTable("Note", "note.dbf", {{.name = "Text", .type = 'C', .length = 4}});
        container.reset();
        m_connection.SetConnectionString("SourceDB=" + (m_dir / "Corvane.dbc").string() + ";SourceType=DBC;");
        m_connection.Open();
        m_builder.SetConnection(&m_connection);
        m_builder.SetTable("Patient");
    }
    void TearDown() override { product::LogFile.clear(); }

    std::string Rows() { return DbfreadRows(m_dir / "patient.dbf"); }

    testing_support::TempDir m_dir;
    engine::api::Connection m_connection;
    db::cBldInsert m_builder;
    ui::RecordingUi m_ui;
};

const std::string kAdams = "1|Adams|10.5|True|1950-01-02|2024-03-04 00:00:00|1.5|0";
const std::string kBaker = "2|Baker|20.0|False|1960-05-06|2024-07-08 00:00:00|2.5|0";

TEST_F(BldInsertTest, AnInsertBuiltFieldByFieldAddsExactlyThatRow) {
    EXPECT_TRUE(m_builder.Add(Value(3), "PtNum"));
    EXPECT_TRUE(m_builder.Add(Value("O'Brien"), "Name"));
    EXPECT_TRUE(m_builder.Add(Value(12.34), "Balance"));
    EXPECT_TRUE(m_builder.Add(Value(true), "Active"));
    EXPECT_TRUE(m_builder.Add(Value(Ymd(1970, 8, 9)), "Born"));
    EXPECT_TRUE(
        m_builder.Add(Value(engine::DateTime{engine::JulianDayFromYmd(2025, 1, 2), 13 * 3600000 + 5000}), "Seen"));
    EXPECT_TRUE(m_builder.Add(Value(0.25), "Rate"));
    EXPECT_TRUE(m_builder.Add(Value(engine::Currency{123456}), "Fee"));
    EXPECT_EQ(m_builder.StatementText(),
              "INSERT INTO Patient (PtNum,Name,Balance,Active,Born,Seen,Rate,Fee) VALUES "
              "(3,'O''Brien',12.34,.T.,{^1970-08-09},{^2025-01-02 13:00:05},0.25,12.3456)");
    EXPECT_TRUE(m_builder.Execute());
    EXPECT_EQ(Rows(), kAdams + "\n" + kBaker + "\n3|O'Brien|12.34|True|1970-08-09|2025-01-02 13:00:05|0.25|12.3456");
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(BldInsertTest, AnUpdateBuiltFieldByFieldChangesOnlyTheRowOfTheCondition) {
    m_builder.SetUpdating(true);
    EXPECT_TRUE(m_builder.Add(Value("Carter"), "Name"));
    EXPECT_TRUE(m_builder.Add(Value(false), "Active"));
    EXPECT_TRUE(m_builder.Add(Value(""), "Born"));
    m_builder.Where("PtNum = 1");
    EXPECT_EQ(m_builder.StatementText(), "UPDATE Patient SET Name='Carter',Active=.F.,Born=Null WHERE PtNum = 1");
    EXPECT_TRUE(m_builder.Execute()) << (m_ui.Messages().empty() ? "" : m_ui.Messages()[0].text);
    EXPECT_EQ(Rows(), "1|Carter|10.5|False|None|2024-03-04 00:00:00|1.5|0\n" + kBaker);

    // Cleared, the builder starts a new statement, on another table if asked.
    m_builder.Clear();
    EXPECT_EQ(m_builder.StatementText(), "");
    EXPECT_FALSE(m_builder.Execute());
    m_builder.SetUpdating(false);
    m_builder.SetTable("Note");
    EXPECT_TRUE(m_builder.Add(Value("abcdef"), "Text"));
    EXPECT_EQ(m_builder.StatementText(), "INSERT INTO Note (Text) VALUES ('abcd')");
    EXPECT_TRUE(m_builder.Execute());
    EXPECT_EQ(DbfreadRows(m_dir / "note.dbf"), "abcd");
}

TEST_F(BldInsertTest, UpdatingWithoutAFieldRunsTheInsertBegunOrNothing) {
    m_builder.SetUpdating(true);
    EXPECT_FALSE(m_builder.Execute());
    m_builder.SetUpdating(false);
    m_builder.Add(Value(7), "PtNum");
    m_builder.SetUpdating(true);
    EXPECT_EQ(m_builder.StatementText(), "INSERT INTO Patient (PtNum) VALUES (7)");
    EXPECT_TRUE(m_builder.Execute());
    EXPECT_EQ(m_connection.Execute("SELECT * FROM Patient WHERE PtNum = 7").rows->rows.size(), 1u);
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(BldInsertTest, TextLiteralsDoubleQuotesOnceAndKeepTheDefinedSize) {
    EXPECT_EQ(m_builder.GetItemData(Value("O'Brien"), "Name"), "'O''Brien'");
    EXPECT_EQ(m_builder.GetItemData(Value("O''Brien"), "name"), "'O''Brien'");
    EXPECT_EQ(m_builder.GetItemData(Value("O'Brien"), "Name", true), "O''Brien");
    EXPECT_EQ(m_builder.GetItemData(Value("Abercrombie-Fitch"), "Name"), "'Abercrombi'");
    // Cut by characters, never inside one.
    EXPECT_EQ(m_builder.GetItemData(Value("Müller-Lüdenscheid"), "Name"), "'Müller-Lüd'");
    EXPECT_EQ(m_builder.GetItemData(Value(), "Name"), "''");
}

TEST_F(BldInsertTest, BooleanAndDateLiterals) {
    EXPECT_EQ(m_builder.GetItemData(Value(true), "Active"), ".T.");
    EXPECT_EQ(m_builder.GetItemData(Value(1), "Active"), ".T.");
    EXPECT_EQ(m_builder.GetItemData(Value(false), "Active"), ".F.");
    EXPECT_EQ(m_builder.GetItemData(Value(), "Active"), ".F.");
    EXPECT_EQ(m_builder.GetItemData(Value("nonsense"), "Active"), ".F.");

    EXPECT_EQ(m_builder.GetItemData(Value(Ymd(2024, 2, 29)), "Born"), "{^2024-02-29}");
    EXPECT_EQ(m_builder.GetItemData(Value(Ymd(2024, 2, 29)), "Born", true), "2024-02-29");
    EXPECT_EQ(m_builder.GetItemData(Value("2024-02-29"), "Born"), "{^2024-02-29}");
    EXPECT_EQ(m_builder.GetItemData(Value(engine::DateTime{engine::JulianDayFromYmd(2024, 2, 29), 3600000}), "Born"),
              "{^2024-02-29}");
    EXPECT_EQ(m_builder.GetItemData(Value(Ymd(2024, 2, 29)), "Seen"), "{^2024-02-29 00:00:00}");
    for (const Value& none : {Value(), Value(""), Value(engine::Date{}), Value("not a date"), Value(42)}) {
        EXPECT_EQ(m_builder.GetItemData(none, "Born"), "Null");
        EXPECT_EQ(m_builder.GetItemData(none, "Seen"), "Null");
    }
}

TEST_F(BldInsertTest, NumbersAreCutToTheColumnsPrecision) {
    EXPECT_EQ(m_builder.GetItemData(Value(int64_t{12345678901}), "PtNum"), "2345678901");
    EXPECT_EQ(m_builder.GetItemData(Value(-42), "PtNum"), "-42");
    // N(7,2): precision 7, a fractional value first rounded to the two decimals.
    EXPECT_EQ(m_builder.GetItemData(Value(1234.5), "Balance"), "1234.5");
    EXPECT_EQ(m_builder.GetItemData(Value(12345.678), "Balance"), "2345.68");
    EXPECT_EQ(m_builder.GetItemData(Value(1.0 / 3), "Balance"), "0.33");
    EXPECT_EQ(m_builder.GetItemData(Value(123456789), "Balance"), "3456789");
    EXPECT_EQ(m_builder.GetItemData(Value(0.125), "Rate"), "0.125");
    EXPECT_EQ(m_builder.GetItemData(Value(), "Balance"), "Null");
    // Text for a number column goes in unquoted, so only a number is taken.
    EXPECT_EQ(m_builder.GetItemData(Value(" 12.5 "), "Balance"), "12.5");
    EXPECT_EQ(m_builder.GetItemData(Value("1; DELETE FROM Patient"), "PtNum"), "");
    EXPECT_FALSE(m_builder.Add(Value("1) OR (1=1"), "Rate"));
    EXPECT_EQ(m_builder.StatementText(), "");
}

TEST_F(BldInsertTest, AnUnknownColumnOrTableBuildsNothing) {
    EXPECT_EQ(m_builder.GetItemData(Value(1), "NoSuch"), "");
    EXPECT_FALSE(m_builder.Add(Value(1), "NoSuch"));
    EXPECT_EQ(m_builder.StatementText(), "");
    m_builder.SetTable("Missing");
    EXPECT_FALSE(m_builder.Add(Value(1), "PtNum"));
    db::cBldInsert unconnected;
    unconnected.SetTable("Patient");
    EXPECT_FALSE(unconnected.Add(Value(1), "PtNum"));
    EXPECT_TRUE(m_ui.Messages().empty());
}

TEST_F(BldInsertTest, AFailingStatementIsReportedWithItsText) {
    m_builder.SetUpdating(true);
    m_builder.Add(Value("Carter"), "Name");  // no condition: the statement does not parse
    EXPECT_FALSE(m_builder.Execute());
    const auto shown = m_ui.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("cBldInsert/Execute:  Error #: ", 0), 0u) << shown[0].text;
    EXPECT_NE(shown[0].text.find(", Descr: "), std::string::npos);
    EXPECT_NE(shown[0].text.find("\r\nUPDATE Patient SET Name='Carter' WHERE "), std::string::npos) << shown[0].text;
    EXPECT_NE(testing_support::ReadFile(m_dir / "Corvane.log").find("UPDATE Patient SET Name='Carter' WHERE"),
              std::string::npos);
    EXPECT_EQ(Rows(), kAdams + "\n" + kBaker);
}

TEST(TableColumns, GiveTheAdoTypePrecisionAndSizeOfEachColumn) {
    testing_support::TempDir dir;
    engine::Container::Create(dir / "x.dbc")
        ->CreateTable("T", "t.dbf",
                      {{.name = "Code", .type = 'C', .length = 6},
                       {.name = "Amount", .type = 'N', .length = 9, .decimals = 3},
                       {.name = "Count", .type = 'I'},
                       {.name = "Day", .type = 'D', .nullable = true}});
    engine::api::Connection c;
    c.SetConnectionString("SourceDB=" + (dir / "x.dbc").string() + ";SourceType=DBC;");
    c.Open();
    const auto columns = engine::api::TableColumns(c, "t");
    ASSERT_EQ(columns.size(), 4u);
    EXPECT_EQ(columns[0].name, "code");  // as the container keeps it
    EXPECT_EQ(columns[0].type, engine::api::kAdChar);
    EXPECT_EQ(columns[0].definedSize, 6);
    EXPECT_EQ(columns[1].type, engine::api::kAdNumeric);
    EXPECT_EQ(columns[1].precision, 9);
    EXPECT_EQ(columns[1].scale, 3);
    EXPECT_EQ(columns[2].type, engine::api::kAdInteger);
    EXPECT_EQ(columns[3].type, engine::api::kAdDate);
    EXPECT_TRUE(columns[3].nullable);
    EXPECT_EQ(engine::api::FindColumn(columns, "AMOUNT"), &columns[1]);
    EXPECT_THROW(engine::api::TableColumns(c, "nothing"), engine::Error);
}

}  // namespace
