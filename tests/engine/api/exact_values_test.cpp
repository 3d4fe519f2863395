// Values that must survive reading and writing exactly: numbers wider than a double, currency
// to its last unit, date-times at the end of a day or of the calendar, stored dates that are
// no day at all; a table whose code page mark is unknown; and the forward-only read path.
#include <gtest/gtest.h>

#include "engine/api/api_errors.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/dbf/format.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "engine/sql/practice_tables.h"  // readable values in failure messages
#include "engine/warning.h"
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using engine::Currency;
using engine::Decimal;
using engine::Value;
using testing_support::ReadFile;
using testing_support::TempDir;

class ExactValues : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = engine::Table::Create(m_dir / "vals.dbf", {{.name = "ID", .type = 'I'},
                                                            {.name = "WIDE", .type = 'N', .length = 20},
                                                            {.name = "FRAC", .type = 'N', .length = 20, .decimals = 4},
                                                            {.name = "AMOUNT", .type = 'Y'},
                                                            {.name = "DAY", .type = 'D'},
                                                            {.name = "STAMP", .type = 'T'},
                                                            {.name = "NOTE", .type = 'C', .length = 4}});
        t->Append({Value(1)});
        m_connection.SetConnectionString("SourceDB=" + m_dir.Str() + ";SourceType=DBF;");
        m_connection.Open();
    }
    std::vector<Value> Row(const std::string& where = "ID = 1") {
        return m_connection.Execute("SELECT * FROM vals WHERE " + where).rows->rows.at(0);
    }
    // The stored bytes of field bytes [offset, offset + length) of record 1.
    std::string Stored(size_t offset, size_t length) {
        const std::string all = ReadFile(m_dir / "vals.dbf");
        const size_t header = engine::dbf::fmt::Le16(reinterpret_cast<const uint8_t*>(all.data()) + 8);
        return all.substr(header + offset, length);
    }
    TempDir m_dir;
    engine::api::Connection m_connection;
};

// Field offsets in a record of vals: ID 1, WIDE 5, FRAC 25, AMOUNT 45, DAY 53, STAMP 61, NOTE 69.

TEST_F(ExactValues, WideNumbersAndCurrencyExtremesKeepEveryDigit) {
    m_connection.Execute(
        "UPDATE vals SET wide = 99999999999999999999, frac = -12345678901234.5678, "
        "amount = -922337203685477.5808");
    EXPECT_EQ(Stored(5, 20), "99999999999999999999");
    EXPECT_EQ(Stored(25, 20), "-12345678901234.5678");
    auto row = Row();
    EXPECT_EQ(row[1], Value(Decimal{"99999999999999999999"}));
    EXPECT_EQ(row[2], Value(Decimal{"-12345678901234.5678"}));
    EXPECT_EQ(row[3], Value(Currency{INT64_MIN}));
    m_connection.Execute("UPDATE vals SET wide = -9999999999999999999, amount = 922337203685477.5807");
    EXPECT_EQ(Row()[1], Value(Decimal{"-9999999999999999999"}));
    EXPECT_EQ(Row()[3], Value(Currency{INT64_MAX}));
    // Through a recordset, from the values read and from text.
    engine::api::Recordset rs;
    rs.Open("vals", m_connection, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, engine::api::kAdCmdTable);
    rs.AddNew();
    rs.Fields().Item("id").SetValue(Value(2));
    rs.Fields().Item("wide").SetValue(row[1]);
    rs.Fields().Item("frac").SetValue(Value("123456789012345.0001"));
    rs.Fields().Item("amount").SetValue(row[3]);
    rs.Update();
    const auto copy = Row("ID = 2");
    EXPECT_EQ(copy[1], row[1]);
    EXPECT_EQ(copy[2], Value(Decimal{"123456789012345.0001"}));
    EXPECT_EQ(copy[3], Value(Currency{INT64_MIN}));
    testing_support::ExpectError([&] { m_connection.Execute("UPDATE vals SET wide = 100000000000000000000"); },
                                 engine::err::kValueTooLarge, "WIDE");
}

TEST_F(ExactValues, DateTimesStayOnTheirDay) {
    const int32_t day = engine::JulianDayFromYmd(2024, 2, 29);
    auto table = engine::Table::Open(m_dir / "vals.dbf");
    table->Overwrite(0, {Value(1), Value(0), Value(0.0), Value(Currency{}), Value(engine::Date{}),
                         Value(engine::DateTime{day, 86'399'999}), Value("x")});
    table.reset();
    EXPECT_EQ(Row()[5], Value(engine::DateTime{day, 86'399'000}));
    table = engine::Table::Open(m_dir / "vals.dbf");
    table->Overwrite(0, {Value(1), Value(0), Value(0.0), Value(Currency{}), Value(engine::Date{}),
                         Value(engine::DateTime{engine::kLastJulianDay, 86'399'999}), Value("x")});
    table.reset();
    EXPECT_EQ(Row()[5], Value(engine::DateTime{engine::kLastJulianDay, 86'399'000}));
}

TEST_F(ExactValues, AnImpossibleStoredDateReadsEmptyAndStaysAsStored) {
    std::string all = ReadFile(m_dir / "vals.dbf");
    const size_t header = engine::dbf::fmt::Le16(reinterpret_cast<const uint8_t*>(all.data()) + 8);
    all.replace(header + 53, 8, "20230230");
    all.replace(header + 61, 8, std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8));  // day 1: 4713 BC
    testing_support::WriteFile(m_dir / "vals.dbf", all);
    const auto row = Row();
    EXPECT_EQ(row[4], Value(engine::Date{0, true}));
    EXPECT_TRUE(row[4].As<engine::Date>().IsEmpty());
    EXPECT_EQ(row[5], Value(engine::DateTime{0, 0, true}));
    m_connection.Execute("UPDATE vals SET note = 'y'");
    EXPECT_EQ(Stored(53, 8), "20230230");
    EXPECT_EQ(Stored(61, 8), std::string("\x01\x00\x00\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(Stored(69, 4), "y   ");
}

TEST_F(ExactValues, AnUnknownCodePageMarkReadsAsTheDefaultWithOneWarning) {
    std::string all = ReadFile(m_dir / "vals.dbf");
    all[engine::dbf::fmt::kOffCodePage] = '\x99';
    testing_support::WriteFile(m_dir / "vals.dbf", all);
    std::vector<std::string> warnings;
    engine::SetWarningHandler([&](const std::string& text) { warnings.push_back(text); });
    m_connection.Execute("UPDATE vals SET note = 'caf\xC3\xA9'");  // café
    EXPECT_EQ(Row()[6], Value("caf\xC3\xA9"));
    EXPECT_EQ(Stored(69, 4), "caf\xE9");  // 1252
    engine::SetWarningHandler({});
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("vals.dbf"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("0x99"), std::string::npos) << warnings[0];
}

TEST_F(ExactValues, ForwardOnlyRowsComeOneAtATime) {
    for (int i = 2; i <= 5; ++i) m_connection.Execute("INSERT INTO vals (id) VALUES (" + std::to_string(i) + ")");
    long affected = -1;
    EXPECT_EQ(m_connection.ExecuteForward("DELETE FROM vals WHERE id = 3", &affected), nullptr);
    EXPECT_EQ(affected, 1);
    auto rs = m_connection.ExecuteForward("SELECT id FROM vals WHERE id > 1");
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->RecordCount(), -1);
    std::vector<Value> ids;
    for (; !rs->Eof(); rs->MoveNext()) ids.push_back(rs->Fields().Item("id").Value());
    EXPECT_EQ(ids, (std::vector<Value>{Value(2), Value(4), Value(5)}));
    testing_support::ExpectError([&] { rs->MovePrevious(); }, engine::api::err::kForwardOnly, "forward-only");
    engine::api::Recordset sorted;
    sorted.Open("SELECT id FROM vals ORDER BY id DESC", m_connection, engine::api::kAdOpenForwardOnly);
    EXPECT_EQ(sorted.Fields().Item("id").Value(), Value(5));
    testing_support::ExpectError([&] { sorted.Fields().Item("id").SetValue(Value(9)); },
                                 engine::api::err::kNotUpdatable, "cannot be updated");
}

}  // namespace
