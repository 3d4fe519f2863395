#include "value.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace engine {

// Fliegel & Van Flandern's integer algorithm for the Gregorian calendar.
int32_t JulianDayFromYmd(int year, int month, int day) {
    const int a = (14 - month) / 12;
    const int y = year + 4800 - a;
    const int m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void YmdFromJulianDay(int32_t julianDay, int& year, int& month, int& day) {
    const int64_t a = int64_t{julianDay} + 32044;
    const int64_t b = (4 * a + 3) / 146097;
    const int64_t c = a - 146097 * b / 4;
    const int64_t d = (4 * c + 3) / 1461;
    const int64_t e = c - 1461 * d / 4;
    const int64_t m = (5 * e + 2) / 153;
    day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    month = static_cast<int>(m + 3 - 12 * (m / 10));
    year = static_cast<int>(100 * b + d - 4800 + m / 10);
}

}  // namespace engine

namespace engine {

std::optional<Value> NumberFromDecimalText(std::string_view text) {
    std::string_view s = text;
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
    const size_t point = s.find('.');
    const std::string_view whole = s.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    const auto digits = [](std::string_view d) {
        return std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((whole.empty() && fraction.empty()) || !digits(whole) || !digits(fraction)) return std::nullopt;
    // Numbers are read from the text where it lies: every table read decodes its numeric
    // fields through here, and only a Decimal keeps a copy.
    if (point == std::string_view::npos) {
        // The digits with their minus sign (a plus sign is left off): text itself or its end.
        const std::string_view signedWhole = negative ? text : whole;
        int64_t n = 0;
        const char* last = signedWhole.data() + signedWhole.size();
        const auto [end, ec] = std::from_chars(signedWhole.data(), last, n);
        if (ec == std::errc() && end == last) return Value(n);
    }
    // Significant digits: from the first non-zero digit to the last non-zero one, whole and
    // fraction taken as one run of digits.
    const size_t firstWhole = whole.find_first_not_of('0');
    const size_t firstFraction = fraction.find_first_not_of('0');
    const size_t lastWhole = whole.find_last_not_of('0');
    const size_t lastFraction = fraction.find_last_not_of('0');
    size_t significant = 0;
    if (firstWhole != std::string_view::npos || firstFraction != std::string_view::npos) {
        const size_t first = firstWhole != std::string_view::npos ? firstWhole : whole.size() + firstFraction;
        const size_t last = lastFraction != std::string_view::npos ? whole.size() + lastFraction : lastWhole;
        significant = last - first + 1;
    }
    if (significant <= 15) {
        double d = 0;
        std::from_chars(s.data(), s.data() + s.size(), d);  // "5.", ".5" read as 5 and 0.5
        return Value(negative ? -d : d);
    }
    std::string canonical = negative ? "-" : "";
    canonical += whole.empty() ? "0" : whole;
    if (point != std::string_view::npos) {
        canonical += '.';
        canonical += fraction;
    }
    return Value(Decimal{std::move(canonical)});
}

std::string DecimalTextOf(const Value& value) {
    if (auto* i = value.If<int64_t>()) return std::to_string(*i);
    if (auto* d = value.If<Decimal>()) return d->text;
    if (auto* c = value.If<Currency>()) {
        const int64_t v = c->tenThousandths;
        const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        std::string fraction = std::to_string(magnitude % 10000);
        fraction.insert(0, 4 - fraction.size(), '0');
        return (v < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
    }
    if (auto* d = value.If<double>()) {
        char buf[64];
        const auto result = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, result.ptr);
    }
    return std::string();
}

std::string RoundDecimalText(std::string_view text, int decimals) {
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    const size_t point = text.find('.');
    std::string whole(text.substr(0, point));
    std::string fraction(point == std::string_view::npos ? std::string_view() : text.substr(point + 1));
    if (whole.empty()) whole = "0";
    const bool roundUp = static_cast<int>(fraction.size()) > decimals && fraction[static_cast<size_t>(decimals)] >= '5';
    fraction.resize(static_cast<size_t>(std::max(decimals, 0)), '0');
    std::string digits = whole + fraction;
    if (roundUp) {
        size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) digits.insert(0, "1");
        else ++digits[i - 1];
    }
    const size_t wholeLength = digits.size() - fraction.size();
    std::string out = digits.substr(0, wholeLength);
    const size_t lead = out.find_first_not_of('0');
    out = lead == std::string::npos ? "0" : out.substr(lead);
    if (decimals > 0) out += "." + digits.substr(wholeLength);
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    return negative && !zero ? "-" + out : out;
}

std::optional<Currency> CurrencyOf(const Value& value) {
    if (auto* c = value.If<Currency>()) return *c;
    if (auto* i = value.If<int64_t>()) {
        int64_t v = 0;
        if (__builtin_mul_overflow(*i, int64_t{10000}, &v)) return std::nullopt;
        return Currency{v};
    }
    if (auto* d = value.If<double>()) {
        const double scaled = *d * 10000.0;
        if (!(scaled >= -9.2233720368547758e18 && scaled < 9.2233720368547758e18)) return std::nullopt;
        return Currency{std::llround(scaled)};
    }
    if (auto* x = value.If<Decimal>()) {
        std::string text = RoundDecimalText(x->text, 4);
        text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
        int64_t v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
        return Currency{v};
    }
    return std::nullopt;
}

}  // namespace engine
