// Date functions: DATE(), DATETIME(), YEAR, MONTH, DAY, DOW, CTOD, CTOT and GOMONTH. Dates
// as text follow SET DATE AMERICAN (mm/dd/yyyy), also read as yyyy-mm-dd and ^yyyy-mm-dd.
#include <chrono>
#include <ctime>

#include "engine/sql/functions_support.h"

namespace engine::sql {
namespace {

using namespace fn;

int32_t DayOf(const Value& v) { return v.Is<Date>() ? v.As<Date>().julianDay : v.As<DateTime>().julianDay; }

// The day the numbers name, or the empty date when they name none.
Date MakeDate(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return Date{};
    const int32_t day = JulianDayFromYmd(y, m, d);
    int yy, mm, dd;
    YmdFromJulianDay(day, yy, mm, dd);
    if (yy != y || mm != m || dd != d) return Date{};
    return Date{day};
}

std::tm LocalNow(int& milliseconds) {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    milliseconds =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

// The numbers of a date or date-time text: "mm/dd/yy[yy] [hh:mm[:ss] [AM|PM]]" or
// "[^]yyyy-mm-dd[ T]hh:mm:ss".
bool ReadMoment(std::string_view text, Date& date, int& seconds) {
    std::vector<int> n;
    bool pm = false, am = false, iso = false;
    text = TrimLeft(TrimRight(text));
    if (!text.empty() && text[0] == '^') iso = true, text.remove_prefix(1);
    for (size_t i = 0; i < text.size();) {
        if (std::isdigit(static_cast<unsigned char>(text[i]))) {
            int v = 0;
            const size_t start = i;
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) v = v * 10 + (text[i++] - '0');
            if (n.empty() && i - start == 4) iso = true;
            n.push_back(v);
        } else {
            const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
            if (c == 'P') pm = true;
            if (c == 'A') am = true;
            ++i;
        }
    }
    if (n.size() < 3) return false;
    int y = iso ? n[0] : n[2], m = iso ? n[1] : n[0], d = iso ? n[2] : n[1];
    if (!iso && y < 100) y += y < 50 ? 2000 : 1900;
    date = MakeDate(y, m, d);
    if (date.IsEmpty()) return false;
    int h = n.size() > 3 ? n[3] : 0;
    if (pm && h < 12) h += 12;
    if (am && h == 12) h = 0;
    seconds = h * 3600 + (n.size() > 4 ? n[4] : 0) * 60 + (n.size() > 5 ? n[5] : 0);
    return true;
}

TypeInfo DatePart(const Args& a, size_t pos, const char* name) {
    Require(a, 0, Kind::kDate, name, pos);
    return Number(name[0] == 'Y' ? 4 : 2, 0, a);
}

Value Part(const Value& v, int which) {
    const int32_t day = DayOf(v);
    if (day == 0) return int64_t{0};
    int y, m, d;
    YmdFromJulianDay(day, y, m, d);
    return int64_t{which == 0 ? y : which == 1 ? m : d};
}

const FunctionDef kDate[] = {
    {"DATE", 0, 3,
     [](const Args& a, size_t pos) {
         for (size_t i = 0; i < a.size(); ++i) Require(a, i, Kind::kNumber, "DATE", pos);
         if (a.size() == 1 || a.size() == 2)
             throw Error(engine::err::kArgumentCount, "Wrong number of arguments for DATE at position " +
                                                          std::to_string(pos + 1) + ": 0 or 3 expected");
         return TypeInfo{'D', 8, 0, AnyNullable(a)};
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         if (n == 3) return MakeDate(Int(a[0]), Int(a[1]), Int(a[2]));
         int ms;
         const std::tm t = LocalNow(ms);
         return Date{JulianDayFromYmd(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday)};
     }},
    {"DATETIME", 0, 6,
     [](const Args& a, size_t pos) {
         for (size_t i = 0; i < a.size(); ++i) Require(a, i, Kind::kNumber, "DATETIME", pos);
         if (a.size() == 1 || a.size() == 2)
             throw Error(engine::err::kArgumentCount, "Wrong number of arguments for DATETIME at position " +
                                                          std::to_string(pos + 1) + ": 0 or 3 to 6 expected");
         return TypeInfo{'T', 8, 0, AnyNullable(a)};
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         if (n >= 3) {
             const Date d = MakeDate(Int(a[0]), Int(a[1]), Int(a[2]));
             if (d.IsEmpty()) return DateTime{};
             const int seconds =
                 (n > 3 ? Int(a[3]) : 0) * 3600 + (n > 4 ? Int(a[4]) : 0) * 60 + (n > 5 ? Int(a[5]) : 0);
             return DateTime{d.julianDay, seconds * 1000};
         }
         int ms;
         const std::tm t = LocalNow(ms);
         return DateTime{JulianDayFromYmd(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday),
                         (t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec) * 1000};
     }},
    {"YEAR", 1, 1, [](const Args& a, size_t pos) { return DatePart(a, pos, "YEAR"); },
     [](const Value* a, size_t, const RowView&) -> Value { return Part(a[0], 0); }},
    {"MONTH", 1, 1, [](const Args& a, size_t pos) { return DatePart(a, pos, "MONTH"); },
     [](const Value* a, size_t, const RowView&) -> Value { return Part(a[0], 1); }},
    {"DAY", 1, 1, [](const Args& a, size_t pos) { return DatePart(a, pos, "DAY"); },
     [](const Value* a, size_t, const RowView&) -> Value { return Part(a[0], 2); }},
    // DOW: 1 for Sunday to 7 for Saturday, or counted from the first day given (1 Sunday).
    {"DOW", 1, 2,
     [](const Args& a, size_t pos) {
         Require(a, 1, Kind::kNumber, "DOW", pos);
         return DatePart(a, pos, "DOW");
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         const int32_t day = DayOf(a[0]);
         if (day == 0) return int64_t{0};
         const int sundayBased = static_cast<int>((day + 1) % 7);  // 0 Sunday
         const int first = n > 1 && Int(a[1]) >= 1 && Int(a[1]) <= 7 ? Int(a[1]) - 1 : 0;
         return int64_t{(sundayBased - first + 7) % 7 + 1};
     }},
    {"CTOD", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "CTOD", pos);
         return TypeInfo{'D', 8, 0, AnyNullable(a)};
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         Date d;
         int seconds = 0;
         return ReadMoment(Str(a[0]), d, seconds) ? d : Date{};
     }},
    {"CTOT", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "CTOT", pos);
         return TypeInfo{'T', 8, 0, AnyNullable(a)};
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         Date d;
         int seconds = 0;
         return ReadMoment(Str(a[0]), d, seconds) ? DateTime{d.julianDay, seconds * 1000} : DateTime{};
     }},
    // GOMONTH: the same day n months later (earlier for negative n), or the month's last day
    // when it is shorter.
    {"GOMONTH", 2, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kDate, "GOMONTH", pos);
         Require(a, 1, Kind::kNumber, "GOMONTH", pos);
         return TypeInfo{a[0]->type.type == 'T' ? 'T' : 'D', 8, 0, AnyNullable(a)};
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         const int32_t day = DayOf(a[0]);
         if (day == 0) return a[0];
         int y, m, d;
         YmdFromJulianDay(day, y, m, d);
         const int months = y * 12 + (m - 1) + Int(a[1]);
         const int ny = months / 12, nm = months % 12 + 1;
         if (ny < 1 || ny > 9999) return a[0].Is<Date>() ? Value(Date{}) : Value(DateTime{});
         Date out;
         for (int nd = d; nd >= 28 && (out = MakeDate(ny, nm, nd)).IsEmpty(); --nd) {
         }
         if (out.IsEmpty()) out = MakeDate(ny, nm, d);
         if (auto* t = a[0].If<DateTime>()) return DateTime{out.julianDay, t->milliseconds};
         return out;
     }},
};

}  // namespace

std::span<const FunctionDef> DateFunctions() { return kDate; }

}  // namespace engine::sql
