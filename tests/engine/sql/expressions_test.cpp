#include <gtest/gtest.h>

#include "practice_tables.h"

using namespace sql_test;
using engine::Currency;
using engine::DateTime;

namespace {

// One record with a value of each kind and a null character field, to evaluate expressions on.
struct OneRow {
    engine::sql::MemoryTableProvider provider;
    engine::sql::Session session{provider};
    OneRow() {
        auto& t = provider.AddTable("T", {{"NAME", 'C', 6, 0, false},
                                          {"NOTHING", 'C', 5, 0, true},
                                          {"NUM", 'N', 8, 2, false},
                                          {"COUNT", 'I', 4, 0, false},
                                          {"DAY", 'D', 8, 0, false},
                                          {"STAMP", 'T', 8, 0, false},
                                          {"FLAG", 'L', 1, 0, true},
                                          {"MONEY", 'Y', 8, 4, false}});
        Add(t, {"Ab    ", Value(), 12.5, int64_t{-3}, Ymd(2024, 2, 28),
                DateTime{Ymd(2024, 2, 28).julianDay, (13 * 3600 + 5 * 60 + 9) * 1000}, Value(), Currency{25000}});
    }
    Value Eval(const std::string& expr) {
        return engine::sql::Execute("SELECT " + expr + " FROM T", session).rows->rows.at(0).at(0);
    }
    bool Where(const std::string& condition) {
        return !engine::sql::Execute("SELECT * FROM T WHERE " + condition, session).rows->rows.empty();
    }
};

}  // namespace

TEST(SqlExpressions, LiteralForms) {
    OneRow t;
    EXPECT_EQ(t.Eval("'it''s'"), Value("it's"));
    EXPECT_EQ(t.Eval("\"say \"\"hi\"\"\""), Value("say \"hi\""));
    EXPECT_EQ(t.Eval("[plain text]"), Value("plain text"));  // names no field: a string
    EXPECT_EQ(t.Eval("[Name]"), Value("Ab    "));            // names a field
    EXPECT_EQ(t.Eval("42"), Value(int64_t{42}));
    EXPECT_EQ(t.Eval("-1.25"), Value(-1.25));
    EXPECT_EQ(t.Eval(".T."), Value(true));
    EXPECT_EQ(t.Eval(".n."), Value(false));
    EXPECT_EQ(t.Eval("{^2024-02-29}"), Value(Ymd(2024, 2, 29)));
    EXPECT_EQ(t.Eval("{^2024-02-29 23:59:58}"), Value(DateTime{Ymd(2024, 2, 29).julianDay, 86398000}));
    EXPECT_EQ(t.Eval("{^2024-02-29 1:00 PM}"), Value(DateTime{Ymd(2024, 2, 29).julianDay, 13 * 3600000}));
    EXPECT_EQ(t.Eval("{}"), Value(engine::Date{}));
    EXPECT_EQ(t.Eval("NULL"), Value());
    EXPECT_EQ(t.Eval(".NULL."), Value());
}

TEST(SqlExpressions, ArithmeticAndJoiningText) {
    OneRow t;
    EXPECT_EQ(t.Eval("Count * 2 + 1"), Value(int64_t{-5}));
    EXPECT_EQ(t.Eval("Num / 5"), Value(2.5));
    EXPECT_EQ(t.Eval("7 % 3"), Value(int64_t{1}));
    EXPECT_EQ(t.Eval("-7 % 3"), Value(int64_t{2}));  // the result takes the divisor's sign
    EXPECT_EQ(t.Eval("2 ^ 10"), Value(1024.0));
    EXPECT_EQ(t.Eval("Money + 1"), Value(Currency{35000}));
    EXPECT_EQ(t.Eval("Name + 'x'"), Value("Ab    x"));
    EXPECT_EQ(t.Eval("Name - 'x'"), Value("Abx    "));  // trailing blanks move to the end
    EXPECT_EQ(t.Eval("Day + 2"), Value(Ymd(2024, 3, 1)));
    EXPECT_EQ(t.Eval("Day - {^2024-01-01}"), Value(int64_t{58}));
    EXPECT_EQ(t.Eval("Stamp + 60"), Value(DateTime{Ymd(2024, 2, 28).julianDay, (13 * 3600 + 6 * 60 + 9) * 1000}));
    EXPECT_EQ(t.Eval("(1 + 2) * 3"), Value(int64_t{9}));
}

TEST(SqlExpressions, TextEqualityIgnoresTrailingBlanksUnlessExact) {
    OneRow t;
    EXPECT_TRUE(t.Where("Name = 'Ab'"));
    EXPECT_TRUE(t.Where("Name = 'Ab        '"));
    EXPECT_FALSE(t.Where("Name = 'ab'"));  // case counts
    EXPECT_FALSE(t.Where("Name = 'A'"));   // not a prefix match
    EXPECT_FALSE(t.Where("Name == 'Ab'"));
    EXPECT_TRUE(t.Where("Name == 'Ab    '"));
    EXPECT_TRUE(t.Where("Name <> 'Abc' AND Name != 'X' AND Name # ' Ab'"));
    EXPECT_TRUE(t.Where("Name < 'B' AND Name >= 'Ab' AND Name <= 'Ab '"));
    EXPECT_TRUE(t.Where("'b' $ Name AND Name LIKE 'A%' AND Name LIKE '_b' AND NOT Name LIKE 'b%'"));
    EXPECT_TRUE(t.Where("Count IN (1, -3) AND Num BETWEEN 12 AND 13 AND Day > {^2024-02-27 23:00}"));
}

TEST(SqlExpressions, NullMakesComparisonsUnknownAndNotOfUnknownStaysUnknown) {
    OneRow t;
    EXPECT_FALSE(t.Where("Nothing = 'x'"));
    EXPECT_FALSE(t.Where("Nothing <> 'x'"));
    EXPECT_FALSE(t.Where("NOT (Nothing = 'x')"));
    EXPECT_FALSE(t.Where("Nothing = NULL"));
    EXPECT_FALSE(t.Where("Flag OR .F."));
    EXPECT_TRUE(t.Where("Flag OR .T."));
    EXPECT_FALSE(t.Where("NOT (Flag AND .T.)"));
    EXPECT_TRUE(t.Where("NOT (Flag AND .F.)"));
    EXPECT_TRUE(t.Where("Nothing IS NULL AND Name IS NOT NULL AND ISNULL(Flag)"));
    EXPECT_FALSE(t.Where("Count IN (1, NULL)"));
    EXPECT_FALSE(t.Where("NOT Count IN (1, NULL)"));
    EXPECT_EQ(t.Eval("Nothing + 'x'"), Value());
    EXPECT_EQ(t.Eval("UPPER(Nothing)"), Value());
    EXPECT_EQ(t.Eval("NVL(Nothing, 'none')"), Value("none"));
    EXPECT_EQ(t.Eval("NVL(Name, 'none')"), Value("Ab    "));
    EXPECT_EQ(t.Eval("IIF(Flag, 'yes', 'no')"), Value("no"));
    EXPECT_EQ(t.Eval("EMPTY(Nothing)"), Value(false));
}

TEST(SqlExpressions, TextFunctions) {
    OneRow t;
    EXPECT_EQ(t.Eval("SUBSTR('abcdef', 2, 3)"), Value("bcd"));
    EXPECT_EQ(t.Eval("SUBSTR('abcdef', 4)"), Value("def"));
    EXPECT_EQ(t.Eval("SUBSTR('abc', 9)"), Value(""));
    EXPECT_EQ(t.Eval("SUBS('abc', 2)"), Value("bc"));  // four-letter abbreviation
    EXPECT_EQ(t.Eval("LEFT('abc', 2) + RIGHT('abc', 2) + RIGHT('abc', 9)"), Value("abbcabc"));
    EXPECT_EQ(t.Eval("'[' + ALLTRIM('  a b  ') + LTRIM('  c ') + RTRIM(' d  ') + TRIM('e ') + ']'"),
              Value("[a bc  de]"));
    EXPECT_EQ(t.Eval("UPPER('straße') + LOWER('ÀB')"), Value("STRAßEàb"));
    EXPECT_EQ(t.Eval("LEN('Müller ')"), Value(int64_t{7}));
    EXPECT_EQ(t.Eval("SUBSTR('Müller', 2, 2)"), Value("ül"));
    EXPECT_EQ(t.Eval("PADL('7', 3, '0') + PADR('ab', 4) + '|' + PADL('abcdef', 3)"), Value("007ab  |abc"));
    EXPECT_EQ(t.Eval("PADL(Count, 4)"), Value("  -3"));
}

TEST(SqlExpressions, ConversionFunctions) {
    OneRow t;
    EXPECT_EQ(t.Eval("STR(Count)"), Value("        -3"));
    EXPECT_EQ(t.Eval("STR(Num, 6, 1)"), Value("  12.5"));
    EXPECT_EQ(t.Eval("STR(3.14159, 4, 2)"), Value("3.14"));
    EXPECT_EQ(t.Eval("STR(3.14159, 3, 2)"), Value("3.1"));  // fewer decimals to fit
    EXPECT_EQ(t.Eval("STR(12345, 3)"), Value("***"));
    EXPECT_EQ(t.Eval("VAL(' 12.5abc')"), Value(12.5));
    EXPECT_EQ(t.Eval("VAL('x')"), Value(0.0));
    EXPECT_EQ(t.Eval("DTOC(Day)"), Value("02/28/2024"));
    EXPECT_EQ(t.Eval("DTOC(Day, 1) + DTOS(Day)"), Value("2024022820240228"));
    EXPECT_EQ(t.Eval("DTOS({})"), Value("        "));
    EXPECT_EQ(t.Eval("TTOC(Stamp)"), Value("02/28/2024 01:05:09 PM"));
    EXPECT_EQ(t.Eval("TTOC(Stamp, 1)"), Value("20240228130509"));
    EXPECT_EQ(t.Eval("BINTOC(1)"), Value(std::string("\x80\x00\x00\x01", 4)));
    EXPECT_EQ(t.Eval("BINTOC(-1)"), Value(std::string("\x7f\xff\xff\xff", 4)));
    EXPECT_EQ(t.Eval("EMPTY('  ') AND EMPTY(0) AND EMPTY({}) AND EMPTY(.F.) AND NOT EMPTY(Name)"), Value(true));
    EXPECT_EQ(t.Eval("IIF(Count < 0, 'neg', 'pos')"), Value("neg"));
}

TEST(SqlExpressions, ResultTypesFollowTheExpression) {
    OneRow t;
    const auto r =
        *engine::sql::Execute(
             "SELECT Name + 'xy', Num * 2, Day + 1, Stamp, Money * 2, Count = 1, STR(Num, 7, 2), LEFT(Name, 2), "
             "PADL(Name, 9), IIF(Flag, Name, 'q') FROM T",
             t.session)
             .rows;
    const std::vector<std::pair<char, int>> expected = {{'C', 8}, {'N', 9}, {'D', 8}, {'T', 8}, {'Y', 8},
                                                        {'L', 1}, {'C', 7}, {'C', 2}, {'C', 9}, {'C', 6}};
    ASSERT_EQ(r.fields.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r.fields[i].type, expected[i].first) << i;
        EXPECT_EQ(r.fields[i].length, expected[i].second) << i;
    }
    EXPECT_EQ(r.fields[1].decimals, 2);
}

TEST(SqlExpressions, WidthsBeyondTheLongestStringAreRefusedAndHugeDecimalsStayQuick) {
    OneRow t;
    for (const char* expr :
         {"PADL(Name, 2000000000)", "PADR(Name, 16777185, '*')", "PADC('x', 1e12)", "STR(Num, 1000000000)"}) {
        try {
            t.Eval(expr);
            ADD_FAILURE() << expr;
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.Number(), engine::err::kValueTooLarge) << expr;
            EXPECT_NE(e.Description().find("String is too long to fit"), std::string::npos) << e.Description();
        }
    }
    EXPECT_EQ(t.Eval("LEN(PADL(Name, 100000))"), Value(int64_t{100000}));
    // Decimals far past what a number shows give zeros without trying each count in turn.
    const Value wide = t.Eval("STR(Num, 200000, 199990)");
    ASSERT_TRUE(wide.Is<std::string>());
    EXPECT_EQ(wide.As<std::string>().size(), 200000u);
    EXPECT_EQ(wide.As<std::string>().substr(200000 - 353 - 4, 12), std::string(4, ' ') + "12.50000");
}
