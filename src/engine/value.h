// Value: one field value as the engine hands it to callers (the ADO Variant stand-in).
// A value is null, a logical, a whole number, a double, a currency amount, a UTF-8 string,
// a date, a date-time, or raw bytes (varbinary, blob, general). Shared by storage, SQL and
// the recordset API. No Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace engine {

struct Null {
    friend bool operator==(Null, Null) { return true; }
};

// A calendar date as a Julian day number. 0 is the empty (blank) date, as a FoxPro date
// field holds it when nothing was entered; it is not a real day. damaged marks an empty date
// read from stored bytes that hold no possible date (20230230, garbage): it behaves as empty,
// and output can show that the file holds something else.
struct Date {
    int32_t julianDay = 0;
    bool damaged = false;
    bool IsEmpty() const { return julianDay == 0; }
    friend bool operator==(Date, Date) = default;
    friend auto operator<=>(Date, Date) = default;
};

// A date and a time of day in milliseconds after midnight. julianDay 0 is the empty date-time;
// damaged as for Date (a day or time no calendar has).
struct DateTime {
    int32_t julianDay = 0;
    int32_t milliseconds = 0;
    bool damaged = false;
    bool IsEmpty() const { return julianDay == 0; }
    friend bool operator==(DateTime, DateTime) = default;
    friend auto operator<=>(DateTime, DateTime) = default;
};

// A currency amount in ten-thousandths (FoxPro's Y type: a 64-bit integer scaled by 10^4).
struct Currency {
    int64_t tenThousandths = 0;
    friend bool operator==(Currency, Currency) = default;
    friend auto operator<=>(Currency, Currency) = default;
};

// A number held as its decimal text ("-12345678901234567890", "0.12345678901234567"), for
// numeric field contents and literals that neither a 64-bit integer nor a double holds
// exactly. Only such values take this form; arithmetic takes them as doubles, while storing
// one into a numeric or currency field keeps every digit.
struct Decimal {
    std::string text;  // optional '-', digits, optionally '.' and digits
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

using Bytes = std::vector<uint8_t>;

class Value {
public:
    using Storage = std::variant<Null, bool, int64_t, double, Currency, std::string, Date, DateTime, Bytes, Decimal>;

    Value() = default;  // null
    Value(Null) {}
    Value(bool b) : m_v(b) {}
    Value(int v) : m_v(int64_t{v}) {}
    Value(int64_t v) : m_v(v) {}
    Value(double v) : m_v(v) {}
    Value(Currency v) : m_v(v) {}
    Value(std::string s) : m_v(std::move(s)) {}
    Value(const char* s) : m_v(std::string(s)) {}
    Value(Date d) : m_v(d) {}
    Value(DateTime t) : m_v(t) {}
    Value(Bytes b) : m_v(std::move(b)) {}
    Value(Decimal d) : m_v(std::move(d)) {}

    bool IsNull() const { return std::holds_alternative<Null>(m_v); }
    template <class T>
    bool Is() const {
        return std::holds_alternative<T>(m_v);
    }
    template <class T>
    const T& As() const {
        return std::get<T>(m_v);
    }
    template <class T>
    const T* If() const {
        return std::get_if<T>(&m_v);
    }
    // The held T to change in place (a reader reusing a string's room), or null.
    template <class T>
    T* If() {
        return std::get_if<T>(&m_v);
    }
    const Storage& Raw() const { return m_v; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    Storage m_v;
};

// Julian day number <-> proleptic Gregorian calendar date (the numbers FoxPro stores in D and T fields).
int32_t JulianDayFromYmd(int year, int month, int day);
void YmdFromJulianDay(int32_t julianDay, int& year, int& month, int& day);
// Julian day numbers of 0001-01-01 and 9999-12-31, the days a FoxPro date can hold.
inline constexpr int32_t kFirstJulianDay = 1721426;
inline constexpr int32_t kLastJulianDay = 5373484;

// A number as exact as the value: int64_t for whole numbers that fit, double when at most 15
// significant digits (which a double holds exactly), else Decimal. text: optional sign,
// digits, optional fraction; nullopt for anything else.
std::optional<Value> NumberFromDecimalText(std::string_view text);
// value (int64_t, Decimal or Currency) as exact decimal text; double as its shortest form.
std::string DecimalTextOf(const Value& value);
// decimal text (as NumberFromDecimalText accepts it) rounded half away from zero to decimals
// digits after the point, written without a sign for zero ("0.00"); no exponent forms.
std::string RoundDecimalText(std::string_view text, int decimals);
// A number as a currency amount: exact for int64_t, Currency and Decimal (rounded to four
// decimals), rounded for double; nullopt when it does not fit or is no number.
std::optional<Currency> CurrencyOf(const Value& value);

}  // namespace engine
