// ORDER BY a tag's key reads the table in the tag's order instead of sorting, and a join on a
// field the second table's tag orders looks each row's partners up in the tag. Both must give
// exactly the rows the sort and the hash join give (deleted rows, nulls, equal keys in record
// order), whatever order the tag claims.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "engine/sql/lexer.h"
#include "engine/sql/value_ops.h"
#include "practice_tables.h"

using namespace sql_test;
using engine::sql::RecordNumber;

namespace {

// 40 visits: a nullable key with many ties and nulls, every sixth visit marked deleted.
MemoryTableData& Visits(PracticeTables& db) {
    auto& t = db.provider.AddTable("Visits", {{"PTNUM", 'I', 4, 0, true}, {"NOTE", 'C', 8, 0, false}});
    for (int i = 0; i < 40; ++i) {
        const Value key = i % 7 == 3 ? Value() : Value(int64_t{(i * 5) % 9});
        Add(t, {key, std::string(i % 2 ? "b" : "A") + std::to_string(i)}, i % 6 == 1);
    }
    return t;
}

// The records as a tag on field holds them: by key, nulls first, equal keys in record order.
std::vector<RecordNumber> TagOrder(const MemoryTableData& t, size_t field) {
    std::vector<RecordNumber> order(t.records.size());
    std::iota(order.begin(), order.end(), RecordNumber{0});
    std::stable_sort(order.begin(), order.end(), [&](RecordNumber a, RecordNumber b) {
        return engine::sql::OrderCompare(t.records[a].values[field], t.records[b].values[field]) < 0;
    });
    return order;
}

}  // namespace

TEST(SqlIndexOrder, OrderByTheTagsKeyReadsTheTagAndGivesTheSortedRows) {
    PracticeTables db;
    auto& t = Visits(db);
    const std::vector<std::string> queries = {
        "SELECT * FROM Visits ORDER BY PtNum",
        "SELECT * FROM Visits ORDER BY PtNum DESC",
        "SELECT note, ptnum FROM Visits ORDER BY 2 DESC",
        "SELECT note FROM Visits WHERE note LIKE 'b%' ORDER BY Visits.PtNum",
        "SET DELETED OFF; SELECT *, DELETED() FROM Visits ORDER BY PtNum",
        "SET DELETED OFF; SELECT * FROM Visits ORDER BY PtNum DESC",
    };
    for (const std::string& q : queries) {
        SCOPED_TRACE(q);
        t.tags.clear();
        const auto sorted = db.Rows(q).rows;
        t.tags = {{"PtNum", TagOrder(t, 0)}};
        t.tagWalks = 0;
        EXPECT_EQ(db.Rows(q).rows, sorted);
        EXPECT_EQ(t.tagWalks, 1);
    }
    // A tag on an expression serves ORDER BY that expression.
    t.tags = {{"UPPER(note)", {}}};
    std::vector<RecordNumber> byNote(t.records.size());
    std::iota(byNote.begin(), byNote.end(), RecordNumber{0});
    std::stable_sort(byNote.begin(), byNote.end(), [&](RecordNumber a, RecordNumber b) {
        return engine::sql::UpperAscii(t.records[a].values[1].As<std::string>()) <
               engine::sql::UpperAscii(t.records[b].values[1].As<std::string>());
    });
    t.tags[0].second = byNote;
    t.tagWalks = 0;
    const auto byTag = db.Rows("SELECT * FROM Visits ORDER BY upper(NOTE) DESC").rows;
    EXPECT_EQ(t.tagWalks, 1);
    t.tags.clear();
    EXPECT_EQ(byTag, db.Rows("SELECT * FROM Visits ORDER BY upper(NOTE) DESC").rows);
}

TEST(SqlIndexOrder, OtherSortsAndKeyLookupsLeaveTheTagAlone) {
    PracticeTables db;
    auto& t = Visits(db);
    t.tags = {{"PtNum", TagOrder(t, 0)}};
    t.indexed[0] = true;
    db.Rows("SELECT * FROM Visits ORDER BY PtNum, note");
    db.Rows("SELECT * FROM Visits ORDER BY PtNum + 1");
    db.Rows("SELECT * FROM Visits ORDER BY note");
    db.Rows("SELECT * FROM Visits WHERE PtNum = 4 ORDER BY PtNum");  // the few candidates are sorted
    EXPECT_EQ(t.tagWalks, 0);
}

TEST(SqlIndexOrder, ATagWhoseOrderIsWrongOrIncompleteFallsBackToTheSort) {
    PracticeTables db;
    auto& t = Visits(db);
    const auto sorted = db.Rows("SELECT * FROM Visits ORDER BY PtNum").rows;
    const auto descending = db.Rows("SELECT * FROM Visits ORDER BY PtNum DESC").rows;
    std::vector<RecordNumber> order = TagOrder(t, 0);
    std::vector<std::vector<RecordNumber>> wrong;
    wrong.push_back(std::vector<RecordNumber>(order.rbegin(), order.rend()));  // backwards
    std::vector<RecordNumber> tiesReversed = order;                            // equal keys out of record order
    std::swap(tiesReversed[10], tiesReversed[11]);
    wrong.push_back(tiesReversed);
    wrong.push_back(std::vector<RecordNumber>(order.begin(), order.end() - 1));  // a record missing
    std::vector<RecordNumber> twice = order;
    twice.back() = twice.front();
    wrong.push_back(twice);
    for (const auto& w : wrong) {
        t.tags = {{"PtNum", w}};
        EXPECT_EQ(db.Rows("SELECT * FROM Visits ORDER BY PtNum").rows, sorted);
        EXPECT_EQ(db.Rows("SELECT * FROM Visits ORDER BY PtNum DESC").rows, descending);
    }
}

TEST(SqlIndexOrder, JoinOnATaggedKeyLooksPartnersUpAndGivesTheHashJoinsRows) {
    PracticeTables db;
    auto& visits = Visits(db);
    auto& patients = db.Table("IdentFil");  // 4 patients (one deleted), 40 visits: lookups pay
    const std::vector<std::string> queries = {
        "SELECT i.PtNum, v.note FROM IdentFil i JOIN Visits v ON v.PtNum = i.PtNum",
        "SELECT i.PtNum, i.firstnam, v.note FROM IdentFil i LEFT JOIN Visits v ON i.PtNum = v.PtNum AND v.note > 'b'",
        "SELECT * FROM IdentFil i, Visits v WHERE v.PtNum = i.PtNum AND i.LastNam = 'Smith' AND v.note <> 'A0'",
        "SELECT i.PtNum, v.note FROM IdentFil i LEFT JOIN Visits v ON v.PtNum = i.PtNum WHERE v.note IS NULL",
        "SET DELETED OFF; SELECT i.PtNum, v.note, DELETED() FROM IdentFil i JOIN Visits v ON v.PtNum = i.PtNum",
    };
    Add(patients, {Value(int64_t{0}), "Nokey", "", "", "", "", Value(), "", Value()});
    Add(patients, {Value(int64_t{4}), "Four", "", "", "", "", Value(), "", Value()});
    for (const std::string& q : queries) {
        SCOPED_TRACE(q);
        visits.tags.clear();
        visits.indexed[0] = false;
        const auto hashed = db.Rows(q).rows;
        visits.tags = {{"PTNUM", TagOrder(visits, 0)}};
        visits.indexed[0] = true;
        visits.lookups = 0;
        EXPECT_EQ(db.Rows(q).rows, hashed);
        EXPECT_GT(visits.lookups, 0);
    }
    // A right join, or a first table as large as the second, reads the second whole.
    visits.lookups = 0;
    db.Rows("SELECT * FROM IdentFil i RIGHT JOIN Visits v ON v.PtNum = i.PtNum");
    db.Rows("SELECT * FROM Visits v JOIN Visits w ON v.PtNum = w.PtNum");
    EXPECT_EQ(visits.lookups, 0);
}

TEST(SqlIndexOrder, TopOfATaggedKeyReadsTheTagsFirstRecordsAndGivesTheSortedRows) {
    PracticeTables db;
    // A key that is never null, with ties across the cut; every fifth visit marked deleted.
    auto& t = db.provider.AddTable("Visits", {{"PTNUM", 'I', 4, 0, false}, {"NOTE", 'C', 8, 0, false}});
    for (int i = 0; i < 40; ++i) Add(t, {Value(int64_t{(i * 7) % 6}), "n" + std::to_string(i)}, i % 5 == 2);
    const std::vector<std::string> queries = {
        "SELECT TOP 3 * FROM Visits ORDER BY PtNum",
        "SELECT TOP 8 note, ptnum FROM Visits ORDER BY 2 DESC",
        "SELECT TOP 2 note FROM Visits WHERE note LIKE 'n1%' ORDER BY PtNum DESC",
        "SET DELETED OFF; SELECT TOP 1 note, DELETED() FROM Visits ORDER BY PtNum",
        "SELECT TOP 100 * FROM Visits ORDER BY PtNum",
    };
    const std::vector<RecordNumber> order = TagOrder(t, 0);
    std::vector<RecordNumber> tiesReversed = order;  // equal keys out of record order
    std::reverse(tiesReversed.begin(), tiesReversed.begin() + 5);
    for (const std::string& q : queries) {
        SCOPED_TRACE(q);
        t.tags.clear();
        const auto sorted = db.Rows(q).rows;
        for (const auto& tag : {order, tiesReversed}) {
            t.tags = {{"PtNum", tag}};
            t.tagWalks = 0;
            EXPECT_EQ(db.Rows(q).rows, sorted);
            EXPECT_EQ(t.tagWalks, 1);
        }
        // A tag whose order is not the values' or that misses a record: the rows are sorted.
        t.tags = {{"PtNum", std::vector<RecordNumber>(order.rbegin(), order.rend())}};
        EXPECT_EQ(db.Rows(q).rows, sorted);
        t.tags = {{"PtNum", std::vector<RecordNumber>(order.begin() + 1, order.end())}};
        EXPECT_EQ(db.Rows(q).rows, sorted);
    }
    // TOP n PERCENT and a grouped TOP sort as before.
    t.tags = {{"PtNum", order}};
    t.tagWalks = 0;
    db.Rows("SELECT TOP 10 PERCENT * FROM Visits ORDER BY PtNum");
    db.Rows("SELECT TOP 2 PtNum, COUNT(*) FROM Visits GROUP BY PtNum ORDER BY PtNum");
    EXPECT_EQ(t.tagWalks, 0);
}

TEST(SqlIndexOrder, JoinOfThreeTablesOnTaggedKeysLooksEachTablesPartnersUp) {
    PracticeTables db;
    auto& visits = Visits(db);
    auto& calls = db.provider.AddTable("Calls", {{"PTNUM", 'I', 4, 0, true}, {"WHO", 'C', 8, 0, false}});
    for (int i = 0; i < 30; ++i) {
        const Value key = i % 8 == 5 ? Value() : Value(int64_t{(i * 4) % 11});
        Add(calls, {key, "c" + std::to_string(i)}, i % 9 == 4);
    }
    auto& patients = db.Table("IdentFil");
    Add(patients, {Value(int64_t{4}), "Four", "", "", "", "", Value(), "", Value()});
    const std::vector<std::string> queries = {
        "SELECT i.PtNum, v.note, c.who FROM IdentFil i JOIN Visits v ON v.PtNum = i.PtNum "
        "JOIN Calls c ON c.PtNum = v.PtNum",
        "SELECT i.PtNum, v.note, c.who FROM IdentFil i LEFT JOIN Visits v ON v.PtNum = i.PtNum "
        "LEFT JOIN Calls c ON c.PtNum = i.PtNum AND c.who > 'c1'",
        "SELECT * FROM IdentFil i, Visits v, Calls c WHERE v.PtNum = i.PtNum AND c.PtNum = i.PtNum AND v.note <> 'A0' "
        "AND c.who <> 'c4'",
        "SET DELETED OFF; SELECT i.PtNum, v.note, c.who FROM IdentFil i JOIN Visits v ON v.PtNum = i.PtNum "
        "LEFT JOIN Calls c ON c.PtNum = v.PtNum WHERE c.who IS NULL OR v.note > 'b'",
    };
    for (const std::string& q : queries) {
        SCOPED_TRACE(q);
        for (auto* t : {&visits, &calls}) {
            t->tags.clear();
            t->indexed[0] = false;
        }
        const auto hashed = db.Rows(q).rows;
        EXPECT_FALSE(hashed.empty());
        for (auto* t : {&visits, &calls}) {
            t->tags = {{"PTNUM", TagOrder(*t, 0)}};
            t->indexed[0] = true;
            t->lookups = 0;
        }
        EXPECT_EQ(db.Rows(q).rows, hashed);
        EXPECT_GT(visits.lookups, 0);
        EXPECT_GT(calls.lookups, 0);
    }
    // A further table without a tag on its key: the tables are read whole.
    calls.tags.clear();
    visits.lookups = 0;
    db.Rows(queries[0]);
    EXPECT_EQ(visits.lookups, 0);
}

TEST(SqlIndexOrder, JoinOrderedByAFieldOfTheFirstTableReadsItInItsTagsOrder) {
    PracticeTables db;
    auto& visits = Visits(db);
    auto& patients = db.Table("IdentFil");
    Add(patients, {Value(int64_t{4}), "Four", "", "", "", "", Value(), "", Value()});
    Add(patients, {Value(int64_t{1}), "One", "", "", "", "", Value(), "", Value()});
    Add(patients, {Value(int64_t{4}), "Again", "", "", "", "", Value(), "", Value()});  // ties with Four
    visits.tags = {{"PTNUM", TagOrder(visits, 0)}};
    visits.indexed[0] = true;
    const std::vector<std::string> queries = {
        "SELECT i.PtNum, i.LastNam, v.note FROM IdentFil i JOIN Visits v ON v.PtNum = i.PtNum ORDER BY i.PtNum",
        "SELECT v.note, i.LastNam FROM IdentFil i LEFT JOIN Visits v ON v.PtNum = i.PtNum ORDER BY IdentFil.PtNum",
        "SELECT TOP 5 i.PtNum, v.note FROM IdentFil i JOIN Visits v ON v.PtNum = i.PtNum WHERE v.note > 'b' ORDER BY 1",
    };
    const std::vector<RecordNumber> order = TagOrder(patients, 0);
    std::vector<RecordNumber> tiesReversed = order;
    std::swap(tiesReversed[1], tiesReversed[2]);  // the two patients numbered 4 out of record order
    for (const std::string& q : queries) {
        SCOPED_TRACE(q);
        patients.tags.clear();
        const auto sorted = db.Rows(q).rows;
        patients.tags = {{"PTNUM", order}};
        patients.tagWalks = 0;
        EXPECT_EQ(db.Rows(q).rows, sorted);
        EXPECT_EQ(patients.tagWalks, 1);
        // A tag out of the values' order: the rows are read again and sorted.
        for (const auto& wrong : {std::vector<RecordNumber>(order.rbegin(), order.rend()), tiesReversed}) {
            patients.tags = {{"PTNUM", wrong}};
            EXPECT_EQ(db.Rows(q).rows, sorted);
        }
    }
}
