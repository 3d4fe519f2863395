#include "engine/api/field_types.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/api/api_errors.h"
#include "engine/error.h"
#include "engine/sql/value_ops.h"

namespace engine::api {
namespace {

const char* TypeName(char type) {
    switch (type) {
        case 'C': return "Character";
        case 'V': return "Varchar";
        case 'M': return "Memo";
        case 'N': return "Numeric";
        case 'F': return "Float";
        case 'I': return "Integer";
        case 'Y': return "Currency";
        case 'B': return "Double";
        case 'L': return "Logical";
        case 'D': return "Date";
        case 'T': return "DateTime";
        case 'G': return "General";
        case 'W': return "Blob";
        case 'Q': return "Varbinary";
        default: return "unknown";
    }
}

[[noreturn]] void Fail(const Value& value, const sql::FieldInfo& field) {
    std::string shown = DisplayText(value);
    if (value.Is<Bytes>()) shown = "(" + std::to_string(value.As<Bytes>().size()) + " bytes)";
    throw Error(err::kConversion,
                "Cannot convert '" + shown + "' to " + TypeName(field.type) + " for field '" + field.name + "'.");
}

std::string Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return std::string(s);
}

// A decimal number, optionally signed, with optional fraction and exponent; nothing else.
std::optional<double> ParseNumber(const std::string& text) {
    if (text.empty()) return 0.0;  // a blank entry means zero, as a blank numeric field reads
    double d = 0;
    const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), d);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(d)) return std::nullopt;
    return d;
}

// "mm/dd/yyyy" or "yyyy-mm-dd", then optionally "hh:mm[:ss]" with "AM"/"PM", or "Thh:mm:ss".
std::optional<DateTime> ParseMoment(const std::string& text, bool& hasTime) {
    int a = 0, b = 0, c = 0, used = 0;
    int y, m, d;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &a, &b, &c, &used) == 3) y = a, m = b, d = c;
    else if (std::sscanf(text.c_str(), "%2d/%2d/%4d%n", &a, &b, &c, &used) == 3) m = a, d = b, y = c;
    else return std::nullopt;
    if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1 || y > 9999) return std::nullopt;
    const int32_t jd = JulianDayFromYmd(y, m, d);
    int cy, cm, cd;
    YmdFromJulianDay(jd, cy, cm, cd);
    if (cy != y || cm != m || cd != d) return std::nullopt;
    std::string rest = Trim(text.substr(static_cast<size_t>(used)));
    hasTime = !rest.empty();
    if (rest.empty()) return DateTime{jd, 0};
    if (rest[0] == 'T' || rest[0] == 't') rest = rest.substr(1);
    int h = 0, mi = 0, s = 0, n = 0;
    const int got = std::sscanf(rest.c_str(), "%2d:%2d:%2d%n", &h, &mi, &s, &n);
    if (got < 3 && std::sscanf(rest.c_str(), "%2d:%2d%n", &h, &mi, &n) < 2) return std::nullopt;
    std::string suffix = Trim(rest.substr(static_cast<size_t>(n)));
    for (char& ch : suffix) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (suffix == "PM" || suffix == "AM") {
        if (h < 1 || h > 12) return std::nullopt;
        h = h % 12 + (suffix == "PM" ? 12 : 0);
    } else if (!suffix.empty()) {
        return std::nullopt;
    }
    if (h > 23 || mi > 59 || s > 59) return std::nullopt;
    return DateTime{jd, ((h * 60 + mi) * 60 + s) * 1000};
}

std::optional<bool> ParseLogical(std::string text) {
    for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (text == ".T." || text == "T" || text == "TRUE" || text == "Y" || text == "YES" || text == "1") return true;
    if (text == ".F." || text == "F" || text == "FALSE" || text == "N" || text == "NO" || text == "0" || text.empty())
        return false;
    return std::nullopt;
}

Value ToNumber(const Value& value, const sql::FieldInfo& field) {
    if (sql::IsNumber(value)) {
        if (field.type == 'Y') {
            const std::optional<Currency> amount = CurrencyOf(value);
            if (!amount) Fail(value, field);
            return *amount;
        }
        if (field.type == 'B') return sql::ToDouble(value);
        if (field.type == 'I' && !value.Is<int64_t>()) {
            const double d = sql::ToDouble(value);
            if (!(std::fabs(d) <= 2147483647.0)) Fail(value, field);
            return static_cast<int64_t>(std::llround(d));
        }
        return value;  // N and F store every digit of whole numbers, amounts and decimal text
    }
    if (auto* b = value.If<bool>()) return ToNumber(Value(int64_t{*b ? 1 : 0}), field);
    if (auto* s = value.If<std::string>()) {
        const std::string text = Trim(*s);
        if (text.empty()) return ToNumber(Value(int64_t{0}), field);  // a blank entry means zero
        // Plain decimal text keeps its digits; other forms (exponents) go through a double.
        if (auto exact = NumberFromDecimalText(text)) return ToNumber(*exact, field);
        const auto parsed = ParseNumber(text);
        if (!parsed) Fail(value, field);
        const double d = *parsed;
        const bool whole = d == std::trunc(d) && std::fabs(d) < 9e15;
        return ToNumber(whole && field.type != 'B' ? Value(static_cast<int64_t>(d)) : Value(d), field);
    }
    Fail(value, field);
}

}  // namespace

int AdoType(const sql::FieldInfo& f) {
    switch (f.type) {
        case 'C': return kAdChar;
        case 'V': return kAdVarChar;
        case 'M': return kAdLongVarChar;
        case 'N':
        case 'F': return kAdNumeric;
        case 'I': return kAdInteger;
        case 'Y': return kAdCurrency;
        case 'B': return kAdDouble;
        case 'L': return kAdBoolean;
        case 'D': return kAdDate;
        case 'T': return kAdDateTime;
        case 'Q': return kAdVarBinary;
        default: return kAdLongVarBinary;  // G W and anything binary
    }
}

long DefinedSize(const sql::FieldInfo& f) {
    switch (f.type) {
        case 'M':
        case 'G':
        case 'W': return 2147483647L;
        case 'I': return 4;
        case 'Y':
        case 'B': return 8;
        case 'L': return 2;
        case 'D': return 6;
        case 'T': return 16;
        default: return f.length;
    }
}

int Precision(const sql::FieldInfo& f) {
    switch (f.type) {
        case 'N':
        case 'F': return f.length;
        case 'I': return 10;
        case 'Y': return 19;
        case 'B': return 15;
        default: return 255;
    }
}

int NumericScale(const sql::FieldInfo& f) {
    switch (f.type) {
        case 'N':
        case 'F':
        case 'B': return f.decimals;
        case 'Y': return 4;
        default: return 255;
    }
}

Value ConvertForField(const Value& value, const sql::FieldInfo& field) {
    if (value.IsNull()) return value;
    switch (field.type) {
        case 'C':
        case 'V':
        case 'M':
            if (value.Is<std::string>()) return value;
            if (auto* b = value.If<Bytes>()) return std::string(b->begin(), b->end());
            if (auto* l = value.If<bool>()) return std::string(*l ? "T" : "F");
            return DisplayText(value);
        case 'N':
        case 'F':
        case 'I':
        case 'Y':
        case 'B': return ToNumber(value, field);
        case 'L':
            if (value.Is<bool>()) return value;
            if (sql::IsNumber(value)) return sql::ToDouble(value) != 0;
            if (auto* s = value.If<std::string>()) {
                if (auto b = ParseLogical(Trim(*s))) return *b;
            }
            Fail(value, field);
        case 'D':
        case 'T': {
            const bool date = field.type == 'D';
            if (auto* d = value.If<Date>()) return date ? value : Value(DateTime{d->julianDay, 0});
            if (auto* t = value.If<DateTime>()) return date ? Value(Date{t->julianDay}) : value;
            if (auto* s = value.If<std::string>()) {
                const std::string text = Trim(*s);
                const bool blank = text.empty() || text.find_first_not_of(" /:-") == std::string::npos;
                if (blank) return date ? Value(Date{}) : Value(DateTime{});
                bool hasTime = false;
                if (auto moment = ParseMoment(text, hasTime))
                    return date ? Value(Date{moment->julianDay}) : Value(*moment);
            }
            Fail(value, field);
        }
        default:  // G W Q
            if (value.Is<Bytes>()) return value;
            if (auto* s = value.If<std::string>()) return Bytes(s->begin(), s->end());
            Fail(value, field);
    }
}

bool KeptAsIs(const Value& value, const sql::FieldInfo& field) {
    if (value.IsNull()) return true;
    switch (field.type) {
        case 'C':
        case 'V':
        case 'M': return value.Is<std::string>();
        case 'N':
        case 'F': return sql::IsNumber(value);
        case 'I': return value.Is<int64_t>();
        case 'B': return value.Is<double>();
        case 'L': return value.Is<bool>();
        case 'D': return value.Is<Date>();
        case 'T': return value.Is<DateTime>();
        case 'G':
        case 'W':
        case 'Q': return value.Is<Bytes>();
        default: return false;
    }
}

std::string DisplayText(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) return "";
            else if constexpr (std::is_same_v<T, bool>) return v ? ".T." : ".F.";
            else if constexpr (std::is_same_v<T, std::string>) return v;
            else if constexpr (std::is_same_v<T, Date>) return sql::DateText(v);
            else if constexpr (std::is_same_v<T, DateTime>) return sql::DateTimeText(v);
            else if constexpr (std::is_same_v<T, Bytes>) return std::string(v.begin(), v.end());
            else return sql::NumberText(Value(v));
        },
        value.Raw());
}

}  // namespace engine::api
