#include <gtest/gtest.h>

#include "engine/sql/find_criterion.h"

using engine::Value;
using engine::sql::FindCriterion;
using engine::sql::Op;
using engine::sql::ParseFindCriterion;

TEST(SqlFindCriterion, FieldOperatorAndLiteral) {
    const auto check = [](const std::string& text, const std::string& field, Op op, const Value& value) {
        const FindCriterion c = ParseFindCriterion(text);
        EXPECT_EQ(c.field, field) << text;
        EXPECT_EQ(c.op, op) << text;
        EXPECT_EQ(c.value, value) << text;
    };
    check("PtNum =5", "PtNum", Op::kEq, int64_t{5});
    check("[Patient Number] =5", "Patient Number", Op::kEq, int64_t{5});
    check("Hsp = 'GEN'", "Hsp", Op::kEq, "GEN");
    check("InsNum = -12.5", "InsNum", Op::kEq, -12.5);
    check("Name >= \"O'Brien\"", "Name", Op::kGe, "O'Brien");
    check("Active <> .T.", "Active", Op::kNe, true);
    check("Seen = {^2024-01-02}", "Seen", Op::kEq, engine::Date{engine::JulianDayFromYmd(2024, 1, 2)});
    check("Name LIKE 'Sm*'", "Name", Op::kLike, "Sm*");
}

TEST(SqlFindCriterion, MatchingFollowsSqlComparison) {
    EXPECT_TRUE(Matches(ParseFindCriterion("Hsp = 'GEN'"), Value("GEN       ")));
    EXPECT_FALSE(Matches(ParseFindCriterion("Hsp = 'GEN'"), Value("GENERAL")));
    EXPECT_FALSE(Matches(ParseFindCriterion("Hsp = 'GEN'"), Value()));
    EXPECT_TRUE(Matches(ParseFindCriterion("PtNum = 5"), Value(5.0)));
    EXPECT_TRUE(Matches(ParseFindCriterion("PtNum < 5"), Value(int64_t{4})));
    EXPECT_TRUE(Matches(ParseFindCriterion("Name LIKE 'Sm%'"), Value("Smith  ")));
}

TEST(SqlFindCriterion, MalformedCriteriaAreSyntaxErrors) {
    for (const std::string text : {"", "PtNum", "PtNum 5", "= 5", "PtNum = ", "PtNum = 5 6", "Hsp = 'x", "A = B"}) {
        try {
            ParseFindCriterion(text);
            ADD_FAILURE() << text;
        } catch (const engine::Error& e) {
            EXPECT_TRUE(e.Number() == engine::err::kSyntax || e.Number() == engine::err::kUnknownField) << text;
        }
    }
}
