#include "views/value_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <strings.h>

namespace views {

namespace {

std::string DateText(int32_t julianDay) {
    int y = 0, m = 0, d = 0;
    engine::YmdFromJulianDay(julianDay, y, m, d);
    return std::to_string(m) + "/" + std::to_string(d) + "/" + std::to_string(y);
}

std::string LongDateText(int32_t julianDay) {
    static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};
    static const char* const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    int y = 0, m = 0, d = 0;
    engine::YmdFromJulianDay(julianDay, y, m, d);
    return std::string(kDays[julianDay % 7]) + ", " + kMonths[m - 1] + " " + std::to_string(d) + ", " +
           std::to_string(y);
}

std::string TimeText(int32_t milliseconds) {
    const int seconds = milliseconds / 1000;
    const int hour = seconds / 3600, minute = seconds / 60 % 60, second = seconds % 60;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d %s", hour % 12 == 0 ? 12 : hour % 12, minute, second,
                  hour < 12 ? "AM" : "PM");
    return buffer;
}

// Digits with thousands separators, a fixed number of decimals.
std::string Grouped(double amount, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(amount));
    std::string digits = buffer;
    const size_t point = digits.find('.');
    std::string whole = digits.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : digits.substr(point);
    std::string out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) out += ',';
        out += whole[i];
    }
    return out + fraction;
}

std::string ShortestNumber(double amount) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", amount);
    return buffer;
}

bool FormatIs(const std::string& format, const char* name) { return strcasecmp(format.c_str(), name) == 0; }

std::string NumberText(double amount, const std::string& format) {
    if (FormatIs(format, "Currency")) {
        const std::string body = "$" + Grouped(amount, 2);
        return amount < 0 ? "(" + body + ")" : body;
    }
    if (FormatIs(format, "Fixed")) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.2f", amount);
        return buffer;
    }
    if (FormatIs(format, "Standard")) return (amount < 0 ? "-" : "") + Grouped(amount, 2);
    if (FormatIs(format, "Percent")) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.2f%%", amount * 100);
        return buffer;
    }
    if (FormatIs(format, "Yes/No")) return amount != 0 ? "Yes" : "No";
    if (FormatIs(format, "True/False")) return amount != 0 ? "True" : "False";
    return ShortestNumber(amount);
}

double CurrencyAmount(engine::Currency c) { return static_cast<double>(c.tenThousandths) / 10000.0; }

int KindRank(const engine::Value& v) {
    if (v.IsNull()) return 0;
    if (v.Is<bool>()) return 1;
    if (v.Is<int64_t>() || v.Is<double>() || v.Is<engine::Currency>()) return 2;
    if (v.Is<std::string>()) return 3;
    if (v.Is<engine::Date>() || v.Is<engine::DateTime>()) return 4;
    return 5;
}

double DayTime(const engine::Value& v) {
    if (const auto* d = v.If<engine::Date>()) return d->julianDay;
    const auto& t = v.As<engine::DateTime>();
    return t.julianDay + t.milliseconds / 86400000.0;
}

template <class T>
int Sign(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::string ValueText(const engine::Value& value, const std::string& format) {
    if (value.IsNull()) return {};
    if (const auto* s = value.If<std::string>()) {
        size_t end = s->size();
        while (end > 0 && (*s)[end - 1] == ' ') --end;
        return s->substr(0, end);
    }
    if (const auto* b = value.If<bool>()) {
        if (FormatIs(format, "Yes/No")) return *b ? "Yes" : "No";
        return *b ? "True" : "False";
    }
    if (const auto* i = value.If<int64_t>()) {
        if (format.empty()) return std::to_string(*i);
        return NumberText(static_cast<double>(*i), format);
    }
    if (const auto* d = value.If<double>()) return NumberText(*d, format);
    if (const auto* c = value.If<engine::Currency>()) {
        return NumberText(CurrencyAmount(*c), format.empty() ? std::string("Standard") : format);
    }
    if (const auto* d = value.If<engine::Date>()) {
        if (d->IsEmpty()) return {};
        return FormatIs(format, "Long Date") ? LongDateText(d->julianDay) : DateText(d->julianDay);
    }
    if (const auto* t = value.If<engine::DateTime>()) {
        if (t->IsEmpty()) return {};
        if (FormatIs(format, "Short Date")) return DateText(t->julianDay);
        if (FormatIs(format, "Long Date")) return LongDateText(t->julianDay);
        if (FormatIs(format, "Long Time")) return TimeText(t->milliseconds);
        if (t->milliseconds == 0) return DateText(t->julianDay);
        return DateText(t->julianDay) + " " + TimeText(t->milliseconds);
    }
    return "(binary)";
}

bool IsNumericValue(const engine::Value& value) {
    const int rank = KindRank(value);
    return rank == 2 || rank == 4;
}

int CompareValues(const engine::Value& a, const engine::Value& b) {
    const int ra = KindRank(a), rb = KindRank(b);
    if (ra != rb) return ra < rb ? -1 : 1;
    switch (ra) {
        case 0: return 0;
        case 1: return Sign(a.As<bool>(), b.As<bool>());
        case 2: {
            if (a.Is<int64_t>() && b.Is<int64_t>()) return Sign(a.As<int64_t>(), b.As<int64_t>());
            auto amount = [](const engine::Value& v) {
                if (const auto* i = v.If<int64_t>()) return static_cast<double>(*i);
                if (const auto* c = v.If<engine::Currency>()) return CurrencyAmount(*c);
                return v.As<double>();
            };
            return Sign(amount(a), amount(b));
        }
        case 3: {
            const int c = strcasecmp(a.As<std::string>().c_str(), b.As<std::string>().c_str());
            if (c != 0) return c < 0 ? -1 : 1;
            return Sign(a.As<std::string>(), b.As<std::string>());
        }
        case 4: return Sign(DayTime(a), DayTime(b));
        default: return Sign(a.As<engine::Bytes>(), b.As<engine::Bytes>());
    }
}

}  // namespace views
