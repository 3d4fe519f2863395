#include <gtest/gtest.h>

#include "views/value_text.h"

namespace {

using engine::Value;

Value DateOf(int y, int m, int d) { return Value(engine::Date{engine::JulianDayFromYmd(y, m, d)}); }

TEST(ValueText, DatesUseTheUsGeneralDateForm) {
    EXPECT_EQ(views::ValueText(DateOf(2026, 12, 4), "General Date"), "12/4/2026");
    EXPECT_EQ(views::ValueText(DateOf(1999, 1, 31)), "1/31/1999");
    EXPECT_EQ(views::ValueText(Value(engine::Date{}), "General Date"), "");
    const int day = engine::JulianDayFromYmd(2026, 12, 4);
    EXPECT_EQ(views::ValueText(Value(engine::DateTime{day, (19 * 3600 + 35 * 60 + 38) * 1000}), "General Date"),
              "12/4/2026 7:35:38 PM");
    EXPECT_EQ(views::ValueText(Value(engine::DateTime{day, 5 * 1000})), "12/4/2026 12:00:05 AM");
    EXPECT_EQ(views::ValueText(Value(engine::DateTime{day, 0})), "12/4/2026");
    EXPECT_EQ(views::ValueText(DateOf(2026, 12, 4), "Long Date"), "Friday, December 4, 2026");
}

TEST(ValueText, NumbersLogicalsCurrencyAndText) {
    EXPECT_EQ(views::ValueText(Value(true)), "True");
    EXPECT_EQ(views::ValueText(Value(false), "Yes/No"), "No");
    EXPECT_EQ(views::ValueText(Value(int64_t{-42})), "-42");
    EXPECT_EQ(views::ValueText(Value(2.5)), "2.5");
    EXPECT_EQ(views::ValueText(Value(0.1 + 0.2)), "0.3");
    EXPECT_EQ(views::ValueText(Value(engine::Currency{12345678})), "1,234.57");
    EXPECT_EQ(views::ValueText(Value(engine::Currency{-15000}), "Currency"), "($1.50)");
    EXPECT_EQ(views::ValueText(Value(1234567.891), "Standard"), "1,234,567.89");
    EXPECT_EQ(views::ValueText(Value(1234.5), "Fixed"), "1234.50");
    EXPECT_EQ(views::ValueText(Value(0.125), "Percent"), "12.50%");
    EXPECT_EQ(views::ValueText(Value("Smith     ")), "Smith");
    EXPECT_EQ(views::ValueText(Value()), "");
}

TEST(CompareValues, OrdersNullsFirstNumbersByAmountTextWithoutCase) {
    EXPECT_LT(views::CompareValues(Value(), Value(int64_t{-5})), 0);
    EXPECT_LT(views::CompareValues(Value(int64_t{2}), Value(10.5)), 0);
    EXPECT_EQ(views::CompareValues(Value(int64_t{2}), Value(engine::Currency{20000})), 0);
    EXPECT_LT(views::CompareValues(Value("adams"), Value("Baker")), 0);
    EXPECT_NE(views::CompareValues(Value("adams"), Value("Adams")), 0);
    EXPECT_LT(views::CompareValues(DateOf(2000, 1, 1), DateOf(2000, 1, 2)), 0);
    EXPECT_GT(views::CompareValues(Value(true), Value(false)), 0);
}

}  // namespace
