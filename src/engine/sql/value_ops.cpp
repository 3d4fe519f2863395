#include "engine/sql/value_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "engine/sql/sql_errors.h"

namespace engine::sql {

Kind KindOfType(char type) {
    switch (type) {
        case 'C':
        case 'V':
        case 'M': return Kind::kChar;
        case 'N':
        case 'F':
        case 'I':
        case 'B':
        case 'Y': return Kind::kNumber;
        case 'L': return Kind::kLogical;
        case 'D': return Kind::kDate;
        case 'T': return Kind::kDateTime;
        case 'G':
        case 'W':
        case 'Q': return Kind::kBinary;
        default: return Kind::kAny;
    }
}

Kind KindOfValue(const Value& v) {
    return std::visit(
        [](const auto& x) -> Kind {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::string>) return Kind::kChar;
            else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, double> || std::is_same_v<T, Currency> ||
                               std::is_same_v<T, Decimal>)
                return Kind::kNumber;
            else if constexpr (std::is_same_v<T, bool>) return Kind::kLogical;
            else if constexpr (std::is_same_v<T, Date>) return Kind::kDate;
            else if constexpr (std::is_same_v<T, DateTime>) return Kind::kDateTime;
            else if constexpr (std::is_same_v<T, Bytes>) return Kind::kBinary;
            else return Kind::kAny;
        },
        v.Raw());
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::kChar: return "character";
        case Kind::kNumber: return "numeric";
        case Kind::kLogical: return "logical";
        case Kind::kDate: return "date";
        case Kind::kDateTime: return "datetime";
        case Kind::kBinary: return "binary";
        default: return "null";
    }
}

bool IsNumber(const Value& v) { return v.Is<int64_t>() || v.Is<double>() || v.Is<Currency>() || v.Is<Decimal>(); }

double ToDouble(const Value& v) {
    if (auto* i = v.If<int64_t>()) return static_cast<double>(*i);
    if (auto* d = v.If<double>()) return *d;
    if (auto* c = v.If<Currency>()) return static_cast<double>(c->tenThousandths) / 10000.0;
    if (auto* x = v.If<Decimal>()) return std::strtod(x->text.c_str(), nullptr);
    return 0;
}

namespace {

[[noreturn]] void Mismatch(const Value& a, const Value& b) {
    throw Error(engine::err::kTypeMismatch, std::string("Operator/operand type mismatch: ") + KindName(KindOfValue(a)) +
                                                " and " + KindName(KindOfValue(b)));
}

template <class T>
int Sign(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// A date-time as milliseconds since day 0, to compare dates with date-times.
int64_t Moment(const Value& v) {
    if (auto* d = v.If<Date>()) return int64_t{d->julianDay} * 86400000;
    const DateTime& t = v.As<DateTime>();
    return int64_t{t.julianDay} * 86400000 + t.milliseconds;
}

int CompareNumbers(const Value& a, const Value& b) {
    if (a.Is<int64_t>() && b.Is<int64_t>()) return Sign(a.As<int64_t>(), b.As<int64_t>());
    if (a.Is<Currency>() && b.Is<Currency>()) return Sign(a.As<Currency>(), b.As<Currency>());
    return Sign(ToDouble(a), ToDouble(b));
}

}  // namespace

std::optional<int> Compare(const Value& a, const Value& b, bool exact) {
    if (a.IsNull() || b.IsNull()) return std::nullopt;
    const Kind ka = KindOfValue(a), kb = KindOfValue(b);
    if (ka == Kind::kChar && kb == Kind::kChar) {
        std::string_view x = a.As<std::string>(), y = b.As<std::string>();
        if (!exact) x = TrimRight(x), y = TrimRight(y);
        const int c = x.compare(y);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (ka == Kind::kNumber && kb == Kind::kNumber) return CompareNumbers(a, b);
    if ((ka == Kind::kDate || ka == Kind::kDateTime) && (kb == Kind::kDate || kb == Kind::kDateTime))
        return Sign(Moment(a), Moment(b));
    if (ka == Kind::kLogical && kb == Kind::kLogical) return Sign(a.As<bool>(), b.As<bool>());
    if (ka == Kind::kBinary && kb == Kind::kBinary) return Sign(a.As<Bytes>(), b.As<Bytes>());
    Mismatch(a, b);
}

int OrderCompare(const Value& a, const Value& b) {
    if (a.IsNull() || b.IsNull()) return Sign(!a.IsNull(), !b.IsNull());
    const Kind ka = KindOfValue(a), kb = KindOfValue(b);
    const bool comparable =
        ka == kb || ((ka == Kind::kDate || ka == Kind::kDateTime) && (kb == Kind::kDate || kb == Kind::kDateTime));
    if (!comparable) return Sign(static_cast<int>(ka), static_cast<int>(kb));
    return *Compare(a, b, false);
}

namespace {

Value AddDays(const Value& date, double days) {
    if (auto* d = date.If<Date>()) return Date{static_cast<int32_t>(d->julianDay + std::llround(days))};
    const DateTime& t = date.As<DateTime>();
    int64_t ms = Moment(date) + std::llround(days * 1000.0);  // date-time arithmetic counts seconds
    (void)t;
    return DateTime{static_cast<int32_t>(ms / 86400000), static_cast<int32_t>(ms % 86400000)};
}

Value IntegerOp(Op op, int64_t x, int64_t y) {
    int64_t r = 0;
    bool overflow = false;
    switch (op) {
        case Op::kAdd: overflow = __builtin_add_overflow(x, y, &r); break;
        case Op::kSub: overflow = __builtin_sub_overflow(x, y, &r); break;
        case Op::kMul: overflow = __builtin_mul_overflow(x, y, &r); break;
        case Op::kMod:
            if (y == 0) throw Error(err::kDivisionByZero, "Division by zero.");
            r = x % y;
            if (r != 0 && ((r < 0) != (y < 0))) r += y;  // the result takes the divisor's sign
            return r;
        default: overflow = true;
    }
    if (!overflow) return r;
    return Arithmetic(op, static_cast<double>(x), static_cast<double>(y));
}

}  // namespace

Value Arithmetic(Op op, const Value& a, const Value& b) {
    if (a.IsNull() || b.IsNull()) return Value();
    const Kind ka = KindOfValue(a), kb = KindOfValue(b);
    if (ka == Kind::kChar && kb == Kind::kChar && (op == Op::kAdd || op == Op::kSub)) {
        const std::string& x = a.As<std::string>();
        const std::string& y = b.As<std::string>();
        if (op == Op::kAdd) return x + y;
        // "-" joins with the left side's trailing blanks moved to the end.
        const std::string_view trimmed = TrimRight(x);
        return std::string(trimmed) + y + std::string(x.size() - trimmed.size(), ' ');
    }
    const bool aTime = ka == Kind::kDate || ka == Kind::kDateTime;
    const bool bTime = kb == Kind::kDate || kb == Kind::kDateTime;
    if (aTime && kb == Kind::kNumber && (op == Op::kAdd || op == Op::kSub))
        return AddDays(a, op == Op::kAdd ? ToDouble(b) : -ToDouble(b));
    if (ka == Kind::kNumber && bTime && op == Op::kAdd) return AddDays(b, ToDouble(a));
    if (aTime && bTime && op == Op::kSub) {
        if (ka == Kind::kDate && kb == Kind::kDate) return int64_t{a.As<Date>().julianDay} - b.As<Date>().julianDay;
        return static_cast<double>(Moment(a) - Moment(b)) / 1000.0;  // seconds
    }
    if (ka != Kind::kNumber || kb != Kind::kNumber) Mismatch(a, b);

    if (a.Is<int64_t>() && b.Is<int64_t>() && op != Op::kDiv && op != Op::kPow)
        return IntegerOp(op, a.As<int64_t>(), b.As<int64_t>());
    const double x = ToDouble(a), y = ToDouble(b);
    double r = 0;
    switch (op) {
        case Op::kAdd: r = x + y; break;
        case Op::kSub: r = x - y; break;
        case Op::kMul: r = x * y; break;
        case Op::kDiv:
            if (y == 0) throw Error(err::kDivisionByZero, "Division by zero.");
            r = x / y;
            break;
        case Op::kMod:
            if (y == 0) throw Error(err::kDivisionByZero, "Division by zero.");
            r = std::fmod(x, y);
            if (r != 0 && ((r < 0) != (y < 0))) r += y;
            break;
        case Op::kPow: r = std::pow(x, y); break;
        default: Mismatch(a, b);
    }
    if (a.Is<Currency>() || b.Is<Currency>()) return Currency{std::llround(r * 10000.0)};
    return r;
}

Value Negate(const Value& a) {
    if (a.IsNull()) return a;
    if (auto* i = a.If<int64_t>()) return -*i;
    if (auto* d = a.If<double>()) return -*d;
    if (auto* c = a.If<Currency>()) return Currency{-c->tenThousandths};
    if (auto* x = a.If<Decimal>()) {
        const std::string& t = x->text;
        return Decimal{t[0] == '-' ? t.substr(1) : "-" + t};
    }
    throw Error(engine::err::kTypeMismatch,
                std::string("Operator/operand type mismatch: - applied to ") + KindName(KindOfValue(a)));
}

int CharCount(std::string_view s) {
    int n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

size_t ByteOffset(std::string_view s, int chars) {
    if (chars <= 0) return 0;
    int seen = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (seen == chars) return i;
            ++seen;
        }
    }
    return s.size();
}

std::string_view CharSub(std::string_view s, int start, int count) {
    if (count <= 0) return {};
    const size_t from = ByteOffset(s, start);
    const std::string_view rest = s.substr(from);
    return rest.substr(0, ByteOffset(rest, count));
}

std::string_view TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return s.substr(0, n);
}

std::string_view TrimLeft(std::string_view s) {
    size_t n = 0;
    while (n < s.size() && s[n] == ' ') ++n;
    return s.substr(n);
}

namespace {

// Maps ASCII and the Latin-1 letters (two-byte UTF-8 C3 xx) between cases.
std::string ChangeCase(std::string_view s, bool upper) {
    std::string out(s);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c < 0x80) {
            if (upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
            if (!upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            unsigned char d = static_cast<unsigned char>(out[i + 1]);
            // U+00C0..U+00DE upper, U+00E0..U+00FE lower, except U+00D7 and U+00F7.
            if (upper && d >= 0xA0 && d <= 0xBE && d != 0xB7) out[i + 1] = static_cast<char>(d - 0x20);
            if (!upper && d >= 0x80 && d <= 0x9E && d != 0x97) out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return out;
}

std::string Format(const char* format, int a, int b, int c) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

}  // namespace

// ? and _ match one character, % and * any run; text is compared with trailing blanks dropped.
bool LikeMatch(std::string_view text, std::string_view pattern) {
    size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
    auto next = [](std::string_view s, size_t i) { return i + std::max<size_t>(1, ByteOffset(s.substr(i), 1)); };
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) {
            starP = ++p;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == '?')) {
            p = next(pattern, p);
            t = next(text, t);
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP;
            t = starT = next(text, starT);
        } else {
            return false;
        }
    }
    while (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) ++p;
    return p == pattern.size();
}

std::string UpperText(std::string_view s) { return ChangeCase(s, true); }
std::string LowerText(std::string_view s) { return ChangeCase(s, false); }

std::string DateText(Date d) {
    if (d.IsEmpty()) return "  /  /    ";
    int y, m, day;
    YmdFromJulianDay(d.julianDay, y, m, day);
    return Format("%02d/%02d/%04d", m, day, y);
}

std::string DateKey(Date d) {
    if (d.IsEmpty()) return "        ";
    int y, m, day;
    YmdFromJulianDay(d.julianDay, y, m, day);
    return Format("%04d%02d%02d", y, m, day);
}

std::string DateTimeText(DateTime t) {
    if (t.IsEmpty()) return "  /  /       :  :     ";
    const int seconds = (t.milliseconds + 500) / 1000;  // stored values may be a millisecond short
    const int hour = seconds / 3600;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    return DateText(Date{t.julianDay}) + " " + Format("%02d:%02d:%02d", hour12, seconds / 60 % 60, seconds % 60) +
           (hour < 12 ? " AM" : " PM");
}

std::string DateTimeKey(DateTime t) {
    if (t.IsEmpty()) return std::string(14, ' ');
    const int seconds = (t.milliseconds + 500) / 1000;
    return DateKey(Date{t.julianDay}) + Format("%02d%02d%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::string NumberText(const Value& v) {
    if (auto* i = v.If<int64_t>()) return std::to_string(*i);
    if (v.Is<Currency>() || v.Is<Decimal>()) return DecimalTextOf(v);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.15g", ToDouble(v));
    return buffer;
}

std::string StrText(double value, int length, int decimals) {
    if (length <= 0) return {};
    // The buffer holds what a double shows with this many decimals; more decimals (only zeros
    // and noise) would only make every try of the loop slower.
    constexpr int kMostDecimals = 350;
    for (int dec = std::max(0, std::min({decimals, length, kMostDecimals})); dec >= 0; --dec) {
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.*f", dec, value);
        std::string text = buffer;
        if (text == "-0" || text.find_first_not_of("-0.") == std::string::npos) {
            if (text[0] == '-') text.erase(0, 1);
        }
        if (static_cast<int>(text.size()) <= length) return std::string(length - text.size(), ' ') + text;
    }
    return std::string(length, '*');
}

}  // namespace engine::sql
