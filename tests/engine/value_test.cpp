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
