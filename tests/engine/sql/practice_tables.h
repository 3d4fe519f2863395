// A small practice database in memory for the SQL tests: patients in IdentFil, their
// appointments, hospitals and doctors in DocIdent, doctors' insurance numbers, and tables whose
// names are reserved words or contain blanks.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "engine/sql/executor.h"
#include "engine/sql/memory_table.h"

namespace engine {
// Readable values in test failure messages.
inline void PrintTo(const Value& v, std::ostream* os) {
    std::visit(
        [os](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Null>) *os << "NULL";
            else if constexpr (std::is_same_v<T, std::string>) *os << '"' << x << '"';
            else if constexpr (std::is_same_v<T, bool>) *os << (x ? ".T." : ".F.");
            else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, double>) *os << x;
            else if constexpr (std::is_same_v<T, Currency>) *os << "$" << x.tenThousandths << "e-4";
            else if constexpr (std::is_same_v<T, Date>) *os << "D" << x.julianDay;
            else if constexpr (std::is_same_v<T, DateTime>) *os << "T" << x.julianDay << "+" << x.milliseconds;
            else if constexpr (std::is_same_v<T, Decimal>) *os << x.text;
            else *os << "bytes[" << x.size() << "]";
        },
        v.Raw());
}
}  // namespace engine

namespace sql_test {

using engine::Date;
using engine::Value;
using engine::sql::FieldInfo;
using engine::sql::MemoryTableData;
using engine::sql::Record;

inline Date Ymd(int y, int m, int d) { return Date{engine::JulianDayFromYmd(y, m, d)}; }

inline void Add(MemoryTableData& t, std::vector<Value> values, bool deleted = false) {
    t.records.push_back(Record{std::move(values), deleted});
}

struct PracticeTables {
    engine::sql::MemoryTableProvider provider;
    engine::sql::Session session{provider};

    PracticeTables() {
        auto& ident = provider.AddTable("IdentFil", {{"PTNUM", 'I', 4, 0, false},
                                                     {"LASTNAM", 'C', 20, 0, false},
                                                     {"FIRSTNAM", 'C', 15, 0, false},
                                                     {"MIDINIT", 'C', 1, 0, false},
                                                     {"TITLE1", 'C', 4, 0, false},
                                                     {"HOMPHONE", 'C', 10, 0, false},
                                                     {"BUSPHONE", 'C', 10, 0, true},
                                                     {"SSN", 'C', 9, 0, false},
                                                     {"BIRTHDAY", 'D', 8, 0, true}});
        Add(ident, {5, "Smith               ", "John           ", "A", "Mr  ", "5551234567", "5559876543", "123456789",
                    Ymd(1960, 4, 2)});
        Add(ident,
            {7, "Adams               ", "Mary           ", " ", "Mrs ", "5550001111", Value(), "987654321", Value()});
        Add(ident, {9, "Jones               ", "Ann            ", "B", "Ms  ", "5552223333", "5554445555", "111223333",
                    Ymd(1975, 12, 31)});
        Add(ident,
            {5, "Smith               ", "Old John       ", "A", "Mr  ", "5551234567", Value(), "123456789", Value()},
            true);

        auto& appointment = provider.AddTable("Appointment", {{"PID", 'I', 4, 0, false}, {"WHEN", 'T', 8, 0, false}});
        Add(appointment, {5, engine::DateTime{Ymd(2024, 3, 1).julianDay, 9 * 3600000}});
        Add(appointment, {7, engine::DateTime{Ymd(2024, 3, 2).julianDay, 14 * 3600000}});
        Add(appointment, {5, engine::DateTime{Ymd(2024, 3, 3).julianDay, 0}});

        auto& doc = provider.AddTable("DocIdent", {{"TYP", 'C', 1, 0, false},
                                                   {"HSP", 'C', 10, 0, false},
                                                   {"DOC", 'C', 10, 0, false},
                                                   {"NAME", 'C', 30, 0, false}});
        Add(doc, {"C", "GEN       ", "          ", "General Hospital              "});
        Add(doc, {"A", "          ", "DR1       ", "Dr One                        "});
        Add(doc, {"C", "MERCY     ", "          ", "Mercy                         "});

        auto& insur = provider.AddTable("DocInsur", {{"DOC", 'C', 10, 0, false},
                                                     {"INSNUM", 'N', 6, 0, false},
                                                     {"PROVID", 'C', 10, 0, false},
                                                     {"GROUP_ID", 'L', 1, 0, false},
                                                     {"FAC", 'L', 1, 0, false},
                                                     {"BOX24K", 'L', 1, 0, false}});
        Add(insur, {"DR1       ", int64_t{12}, "P1        ", true, false, true});
        Add(insur, {"DR1       ", int64_t{12}, "P1        ", false, false, true});

        auto& kase = provider.AddTable("Case", {{"PTNUM", 'I', 4, 0, false}, {"AMOUNT", 'Y', 8, 4, false}});
        Add(kase, {5, engine::Currency{125000}});

        auto& categories = provider.AddTable("expense categories", {{"NAME", 'C', 10, 0, false}});
        Add(categories, {"Travel    "});
    }

    engine::sql::Outcome Run(const std::string& text) { return engine::sql::Execute(text, session); }
    engine::sql::ResultSet Rows(const std::string& text) { return *Run(text).rows; }
    MemoryTableData& Table(const std::string& name) { return provider.Table(name); }
};

}  // namespace sql_test
