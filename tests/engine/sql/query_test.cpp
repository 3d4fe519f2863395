// Queries beyond one table in record order, on tables in memory: aggregates with nulls and
// on no rows, GROUP BY order and HAVING, DISTINCT, TOP with ties, joins on keys with trailing
// blanks and nulls, subqueries in DELETE, INSERT ... SELECT, index use by COUNT(*), the new
// functions at their edges, and constructs refused by name.
#include <gtest/gtest.h>

#include "engine/sql/executor.h"
#include "engine/sql/memory_table.h"
#include "practice_tables.h"
#include "support/expect_error.h"

namespace {

using engine::Value;
using engine::sql::Execute;
using engine::sql::FieldInfo;
using sql_test::Add;

struct Tables {
    engine::sql::MemoryTableProvider provider;
    engine::sql::Session session{provider};
    engine::sql::MemoryTableData* pat;
    engine::sql::MemoryTableData* post;

    Tables() {
        pat = &provider.AddTable("Pat",
                                 {{"ID", 'I', 4, 0, false}, {"NAME", 'C', 10, 0, false}, {"CITY", 'C', 8, 0, true}});
        post = &provider.AddTable("Post",
                                  {{"ID", 'I', 4, 0, false}, {"AMOUNT", 'N', 10, 2, true}, {"CODE", 'C', 5, 0, false}});
        Add(*pat, {1, "Adams", "Bern"});
        Add(*pat, {2, "Brown", Value()});
        Add(*pat, {3, "Clark", "Bern    "});
        Add(*pat, {4, "Dunn", "Chur"}, /*deleted=*/true);
        Add(*post, {1, 10.5, "A"});
        Add(*post, {1, Value(), "B"});
        Add(*post, {2, 4.25, "A"});
        Add(*post, {3, 4.25, "A  "});
        Add(*post, {9, 1.0, "Z"});
    }
    std::vector<std::vector<Value>> Rows(const std::string& text) { return Execute(text, session).rows->rows; }
};

TEST(SqlQuery, AggregatesSkipNullsAndNoRowsGiveOneRow) {
    Tables t;
    auto r = t.Rows(
        "SELECT COUNT(*), COUNT(Amount), SUM(Amount), MIN(Amount), MAX(Amount), COUNT(DISTINCT Amount) FROM Post");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], Value(int64_t{5}));
    EXPECT_EQ(r[0][1], Value(int64_t{4}));
    EXPECT_DOUBLE_EQ(r[0][2].As<double>(), 20.0);
    EXPECT_DOUBLE_EQ(r[0][3].As<double>(), 1.0);
    EXPECT_DOUBLE_EQ(r[0][4].As<double>(), 10.5);
    EXPECT_EQ(r[0][5], Value(int64_t{3}));
    r = t.Rows("SELECT COUNT(*), SUM(Amount), AVG(Amount) FROM Post WHERE Id > 100");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], Value(int64_t{0}));
    EXPECT_TRUE(r[0][1].IsNull());
    EXPECT_TRUE(r[0][2].IsNull());
    EXPECT_TRUE(t.Rows("SELECT Id, COUNT(*) FROM Post WHERE Id > 100 GROUP BY Id").empty());
}

TEST(SqlQuery, GroupsComeInKeyOrderWithHavingAndNamedColumns) {
    Tables t;
    const auto out =
        Execute("SELECT Code, COUNT(*) AS n, SUM(Amount) FROM Post GROUP BY Code HAVING COUNT(*) > 1", t.session);
    ASSERT_EQ(out.rows->rows.size(), 1u);  // "A" and "A  " are one group
    EXPECT_EQ(out.rows->rows[0][1], Value(int64_t{3}));
    EXPECT_EQ(out.rows->fields[1].name, "n");
    EXPECT_EQ(out.rows->fields[2].name, "sum_amount");
    EXPECT_EQ(out.rows->fields[2].decimals, 2);
    const auto r = t.Rows("SELECT Id % 2 AS odd, COUNT(*) FROM Post GROUP BY odd");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][0], Value(int64_t{0}));
    EXPECT_EQ(r[1][1], Value(int64_t{4}));
}

TEST(SqlQuery, DistinctTopWithTiesAndPercent) {
    Tables t;
    EXPECT_EQ(t.Rows("SELECT DISTINCT Code FROM Post").size(), 3u);
    EXPECT_EQ(t.Rows("SELECT TOP 2 Id FROM Post ORDER BY Amount DESC").size(), 3u);  // 10.5, then 4.25 twice
    EXPECT_EQ(t.Rows("SELECT TOP 1 Id FROM Post ORDER BY Id DESC")[0][0], Value(int64_t{9}));
    EXPECT_EQ(t.Rows("SELECT TOP 40 PERCENT Id FROM Post ORDER BY Id DESC").size(), 2u);
    testing_support::ExpectError([&] { Execute("SELECT TOP 2 Id FROM Post", t.session); }, engine::err::kSyntax,
                                 "TOP without ORDER BY");
}

TEST(SqlQuery, JoinsMatchKeysWithoutTrailingBlanksAndKeepUnmatchedRows) {
    Tables t;
    auto r = t.Rows("SELECT a.Id, b.Id FROM Pat a JOIN Pat b ON a.City = b.City ORDER BY 1, 2");
    ASSERT_EQ(r.size(), 4u);  // Bern pairs 1-1, 1-3, 3-1, 3-3; the null city matches nothing
    r = t.Rows(
        "SELECT p.Id, s.Amount FROM Pat p LEFT JOIN Post s ON s.Id = p.Id WHERE p.Id = 2 OR p.Id = 3 ORDER BY 1");
    ASSERT_EQ(r.size(), 2u);
    r = t.Rows("SELECT p.Name, s.Id FROM Pat p RIGHT JOIN Post s ON s.Id = p.Id WHERE s.Id = 9");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_TRUE(r[0][0].IsNull());
    EXPECT_EQ(t.Rows("SELECT p.Id FROM Pat p FULL JOIN Post s ON s.Id = p.Id").size(), 5u);  // 4 pairs and post 9
    EXPECT_EQ(t.Rows("SELECT p.Id FROM Pat p, Post s WHERE s.Id = p.Id AND s.Code = 'A'").size(), 3u);
    const auto names = Execute("SELECT a.Id, b.Id FROM Pat a, Pat b WHERE a.Id = b.Id", t.session).rows->fields;
    EXPECT_EQ(names[0].name, "id_a");
    EXPECT_EQ(names[1].name, "id_b");
    testing_support::ExpectError([&] { Execute("SELECT Id FROM Pat a, Post b", t.session); },
                                 engine::err::kUnknownField, "ambiguous");
}

TEST(SqlQuery, SubqueriesUnionsAndInsertSelect) {
    Tables t;
    EXPECT_EQ(t.Rows("SELECT Id FROM Pat WHERE Id NOT IN (SELECT Id FROM Post)").size(), 0u);
    EXPECT_EQ(t.Rows("SELECT Id FROM Pat WHERE EXISTS (SELECT * FROM Post WHERE Id = 9)").size(), 3u);
    EXPECT_EQ(t.Rows("SELECT Id FROM Pat UNION SELECT Id FROM Post ORDER BY 1").size(), 4u);
    EXPECT_EQ(t.Rows("SELECT Id FROM Pat UNION ALL SELECT Id FROM Post").size(), 8u);
    EXPECT_EQ(Execute("DELETE FROM Post WHERE Id NOT IN (SELECT Id FROM Pat)", t.session).recordsAffected, 1);
    EXPECT_TRUE(t.post->records.back().deleted);
    EXPECT_EQ(Execute("INSERT INTO Pat (Id, Name) SELECT Id + 10, Code FROM Post WHERE Amount > 4", t.session)
                  .recordsAffected,
              3);
    EXPECT_EQ(t.pat->records.size(), 7u);
    EXPECT_EQ(t.pat->records.back().values[0], Value(int64_t{13}));
    testing_support::ExpectError([&] { Execute("INSERT INTO Pat (Id) SELECT Id, Code FROM Post", t.session); },
                                 engine::err::kSyntax, "2 columns for 1 fields");
}

TEST(SqlQuery, CountByKeyReadsOnlyTheIndexedCandidates) {
    Tables t;
    t.post->indexed = {true, false, false};
    const long before = t.post->reads;
    EXPECT_EQ(t.Rows("SELECT COUNT(*) FROM Post WHERE Id = 1")[0][0], Value(int64_t{2}));
    EXPECT_EQ(t.post->reads - before, 2);
}

TEST(SqlQuery, AJoinOfFewRowsReadsTheOtherTableThroughItsIndex) {
    Tables t;
    for (int i = 0; i < 40; ++i) Add(*t.post, {100 + i, 1.0, "X"});
    t.post->indexed = {true, false, false};
    const long before = t.post->reads;
    const auto r = t.Rows("SELECT p.Name, s.Code FROM Pat p JOIN Post s ON s.Id = p.Id WHERE p.Id = 1");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][0], Value("Adams"));
    EXPECT_EQ(t.post->reads - before, 2);
    // Without an index every record is read, with the same answer.
    t.post->indexed = {false, false, false};
    EXPECT_EQ(t.Rows("SELECT p.Name, s.Code FROM Pat p JOIN Post s ON s.Id = p.Id WHERE p.Id = 1"), r);
}

TEST(SqlQuery, FunctionsAtTheirEdges) {
    Tables t;
    const auto r = t.Rows(
        "SELECT GOMONTH({^2024-01-31}, 1), GOMONTH({^2024-03-31}, -13), CTOD('02/30/2024'), TRANSFORM(-1234.5, "
        "'99,999.99'), "
        "TRANSFORM(0, '@Z 999'), TRANSFORM(12, '@L 9999'), INLIST(NULL, 1, 2), MAX(3, NULL), RAT('x', 'abc'), "
        "STRTRAN('aaaa', 'a', 'b', 2, 2), PROPER('o''neil mc-donald'), DOW({^2024-03-17}, 2) FROM Pat WHERE Id = 1");
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0][0], Value(sql_test::Ymd(2024, 2, 29)));
    EXPECT_EQ(r[0][1], Value(sql_test::Ymd(2023, 2, 28)));
    EXPECT_TRUE(r[0][2].As<engine::Date>().IsEmpty());
    EXPECT_EQ(r[0][3], Value("-1,234.50"));
    EXPECT_EQ(r[0][4], Value("   "));
    EXPECT_EQ(r[0][5], Value("0012"));
    EXPECT_TRUE(r[0][6].IsNull());
    EXPECT_TRUE(r[0][7].IsNull());
    EXPECT_EQ(r[0][8], Value(int64_t{0}));
    EXPECT_EQ(r[0][9], Value("abba"));
    EXPECT_EQ(r[0][10], Value("O'Neil Mc-Donald"));
    EXPECT_EQ(r[0][11], Value(int64_t{7}));  // a Sunday, counted from Monday
}

TEST(SqlQuery, RefusedConstructsSayTheyAreNotSupported) {
    Tables t;
    testing_support::ExpectError([&] { Execute("SELECT * FROM Pat INTO CURSOR x", t.session); }, engine::err::kSyntax,
                                 "SELECT ... INTO is not supported");
    testing_support::ExpectError(
        [&] { Execute("SELECT * FROM Pat a JOIN Post b JOIN Pat c ON a.Id = c.Id ON a.Id = b.Id", t.session); },
        engine::err::kSyntax, "nested JOIN");
    testing_support::ExpectError([&] { Execute("SELECT Id FROM Pat WHERE COUNT(*) > 1", t.session); },
                                 engine::err::kSyntax, "COUNT() is not allowed here");
    testing_support::ExpectError([&] { Execute("ALTER TABLE Pat ADD COLUMN x I", t.session); }, engine::err::kSyntax,
                                 "ALTER command is not supported");
    testing_support::ExpectError(
        [&] { Execute("SELECT Id FROM Pat WHERE Id IN (SELECT Id, Code FROM Post)", t.session); }, engine::err::kSyntax,
        "one column");
    // A subquery that reads a field of the query around it is refused by name; a plain
    // unknown name inside a subquery is reported as such.
    testing_support::ExpectError(
        [&] { Execute("SELECT Id FROM Pat p WHERE EXISTS (SELECT * FROM Post WHERE Post.Id = p.Id)", t.session); },
        engine::err::kSyntax, "Correlated subqueries are not supported: the subquery at position 28 refers to 'p.Id'");
    testing_support::ExpectError(
        [&] { Execute("SELECT Id FROM Pat WHERE Id IN (SELECT Id FROM Post WHERE Nothing = 1)", t.session); },
        engine::err::kUnknownField, "'Nothing' is not found at position 59 in the subquery at position 29");
}

}  // namespace
