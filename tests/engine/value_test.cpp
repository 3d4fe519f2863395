#include <gtest/gtest.h>

#include "engine/value.h"

using namespace engine;

TEST(JulianDay, KnownDatesAndRoundTrip) {
    EXPECT_EQ(JulianDayFromYmd(2000, 1, 1), 2451545);
    EXPECT_EQ(JulianDayFromYmd(1899, 12, 30), 2415019);
    for (int32_t jd = JulianDayFromYmd(1600, 1, 1); jd < JulianDayFromYmd(2400, 1, 1); jd += 37) {
        int y, m, d;
        YmdFromJulianDay(jd, y, m, d);
        ASSERT_EQ(JulianDayFromYmd(y, m, d), jd);
    }
}

TEST(Value, DefaultIsNullAndEmptyDateIsNotNull) {
    EXPECT_TRUE(Value().IsNull());
    EXPECT_FALSE(Value(Date{}).IsNull());
    EXPECT_TRUE(Value(Date{}).As<Date>().IsEmpty());
}

TEST(Value, NumberFromDecimalTextKeepsEveryDigitItCan) {
    const auto read = [](std::string_view text) { return NumberFromDecimalText(text); };
    EXPECT_EQ(read("42"), Value(int64_t{42}));
    EXPECT_EQ(read("+007"), Value(int64_t{7}));
    EXPECT_EQ(read("-0"), Value(int64_t{0}));
    EXPECT_EQ(read("-9223372036854775808"), Value(INT64_MIN));
    EXPECT_EQ(read("9223372036854775807"), Value(INT64_MAX));
    // Whole numbers past int64_t: a double while 15 significant digits hold them, else exact.
    EXPECT_EQ(read("100000000000000000000"), Value(1e20));
    EXPECT_EQ(read("-9223372036854775809"), Value(Decimal{"-9223372036854775809"}));
    EXPECT_EQ(read("12.50"), Value(12.5));
    EXPECT_EQ(read("-.5"), Value(-0.5));
    EXPECT_EQ(read("5."), Value(5.0));
    EXPECT_EQ(read("000.000"), Value(0.0));
    EXPECT_EQ(read("0.000123456789012345"), Value(0.000123456789012345));
    EXPECT_EQ(read("1234567890.1234567"), Value(Decimal{"1234567890.1234567"}));
    EXPECT_EQ(read("-.1234567890123456"), Value(Decimal{"-0.1234567890123456"}));
    for (const char* bad : {"", "-", "+", ".", "-.", "1e5", "1.2.3", " 1", "--1", "+-1", "1,5", "0x10"})
        EXPECT_FALSE(read(bad).has_value()) << bad;
}
