// A small practice database on disk for the connection and recordset tests: a container with
// IdentFil (patients, one marked deleted), DocIdent (hospitals and doctors), InsIdent
// (carriers) and AllTypes (one field of every type), plus helpers to connect to it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "engine/sql/practice_tables.h"  // readable values in failure messages
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace api_test {

using engine::Value;

inline engine::Date Ymd(int y, int m, int d) { return engine::Date{engine::JulianDayFromYmd(y, m, d)}; }

inline std::string ConnectionStringTo(const std::filesystem::path& dbc) {
    return "Provider=MSDASQL;Persist Security Info=False;Extended Properties=\"DRIVER={Microsoft Visual FoxPro "
           "Driver};Collate=Machine;BackgroundFetch=Yes;Exclusive = No;SourceDB=" +
           dbc.string() + ";SourceType=DBC;\"";
}

// Writes the database into folder/Corvane.dbc and returns the container path.
inline std::filesystem::path MakePracticeDatabase(const std::filesystem::path& folder) {
    using engine::FieldSpec;
    const auto dbc = folder / "Corvane.dbc";
    auto container = engine::Container::Create(dbc);
    {
        auto t = container->CreateTable("IdentFil", "IDENTFIL.DBF",
                                        {{.name = "PtNum", .type = 'I'},
                                         {.name = "LastNam", .type = 'C', .length = 20},
                                         {.name = "Birthday", .type = 'D', .nullable = true},
                                         {.name = "Balance", .type = 'N', .length = 10, .decimals = 2}});
        t->Append({Value(int64_t{1}), Value("Adams"), Value(Ymd(1950, 3, 4)), Value(12.5)});
        t->Append({Value(int64_t{2}), Value("Baker"), Value(), Value(0.0)});
        t->Append({Value(int64_t{3}), Value("Clark"), Value(Ymd(1971, 12, 31)), Value(-3.25)}, true);
        t->Append({Value(int64_t{5}), Value("Evans"), Value(Ymd(1999, 1, 1)), Value(100.0)});
        t->Append({Value(int64_t{5}), Value("Evans Jr"), Value(Ymd(2020, 6, 1)), Value(0.0)});
    }
    {
        auto t = container->CreateTable("DocIdent", "docident.dbf",
                                        {{.name = "Typ", .type = 'C', .length = 1},
                                         {.name = "Hsp", .type = 'C', .length = 12},
                                         {.name = "Doc", .type = 'C', .length = 6},
                                         {.name = "Name", .type = 'C', .length = 20}});
        t->Append({Value("C"), Value("GENERAL"), Value(""), Value("General Hospital")});
        t->Append({Value("A"), Value(""), Value("DR1"), Value("Dr One")});
        t->Append({Value("C"), Value("MERCY"), Value(""), Value("Mercy Hospital")});
        t->Append({Value("A"), Value(""), Value("DR2"), Value("Dr Two")});
    }
    {
        auto t = container->CreateTable("InsIdent", "InsIdent.dbf",
                                        {{.name = "InsNum", .type = 'N', .length = 6},
                                         {.name = "Carrier", .type = 'C', .length = 20},
                                         {.name = "Group_Id", .type = 'L'}});
        for (int i = 1; i <= 6; ++i)
            t->Append({Value(int64_t{i * 2 - 1}), Value("Carrier " + std::to_string(i)), Value(i % 2 == 0)});
    }
    {
        auto t = container->CreateTable("AllTypes", "alltypes.dbf",
                                        {{.name = "Chr", .type = 'C', .length = 8},
                                         {.name = "Vch", .type = 'V', .length = 10, .nullable = true},
                                         {.name = "Mem", .type = 'M', .nullable = true},
                                         {.name = "Num", .type = 'N', .length = 8, .decimals = 3},
                                         {.name = "Flt", .type = 'F', .length = 12, .decimals = 4},
                                         {.name = "Int", .type = 'I'},
                                         {.name = "Cur", .type = 'Y'},
                                         {.name = "Dbl", .type = 'B', .decimals = 2},
                                         {.name = "Lgc", .type = 'L'},
                                         {.name = "Dat", .type = 'D', .nullable = true},
                                         {.name = "Dtm", .type = 'T', .nullable = true},
                                         {.name = "Gen", .type = 'G'},
                                         {.name = "Blb", .type = 'W'},
                                         {.name = "Vbn", .type = 'Q', .length = 6}});
        t->Append({Value("ab"), Value("vc"), Value("memo text"), Value(1.5), Value(2.25), Value(int64_t{7}),
                   Value(engine::Currency{12345}), Value(3.5), Value(true), Value(Ymd(2024, 2, 29)),
                   Value(engine::DateTime{engine::JulianDayFromYmd(2024, 2, 29), 3600000}), Value(engine::Bytes{1, 2}),
                   Value(engine::Bytes{3}), Value(engine::Bytes{4, 5})});
    }
    return dbc;
}

class PracticeDatabase : public ::testing::Test {
protected:
    void SetUp() override { m_dbc = MakePracticeDatabase(m_dir.Path()); }

    std::unique_ptr<engine::api::Connection> Connect() {
        auto c = std::make_unique<engine::api::Connection>();
        c->SetConnectionString(ConnectionStringTo(m_dbc));
        c->Open();
        return c;
    }

    testing_support::TempDir m_dir;
    std::filesystem::path m_dbc;
};

using testing_support::ExpectError;

}  // namespace api_test
