#include <gtest/gtest.h>

#include "practice_tables.h"

using namespace sql_test;

namespace {

// A table of n patients keyed by PtNum, with an index on PtNum; each key appears twice.
PracticeTables& WithIndexedKeys(PracticeTables& db, int n) {
    auto& t = db.Table("Appointment");
    t.records.clear();
    for (int i = 0; i < n; ++i) Add(t, {int64_t{i / 2}, engine::DateTime{Ymd(2024, 1, 1).julianDay, i}});
    t.indexed[0] = true;
    return db;
}

}  // namespace

TEST(SqlLookup, KeyEqualityReadsOnlyTheCandidatesFromTheIndex) {
    PracticeTables db;
    auto& t = WithIndexedKeys(db, 1000).Table("Appointment");

    EXPECT_EQ(db.Rows("SELECT * FROM Appointment WHERE PId = 250").sourceRecords,
              (std::vector<engine::sql::RecordNumber>{500, 501}));
    EXPECT_EQ(t.lookups, 1);
    EXPECT_EQ(t.reads, 2);

    // Key on the right, inside a conjunction, with further conditions checked on the candidates.
    t.reads = 0;
    EXPECT_EQ(
        db.Rows("SELECT * FROM Appointment WHERE When > {^2023-01-01} AND 7 = PId AND DELETED() = .F.").rows.size(),
        2u);
    EXPECT_EQ(t.lookups, 2);
    EXPECT_EQ(t.reads, 2);

    t.reads = 0;
    EXPECT_EQ(db.Run("DELETE FROM Appointment WHERE PId = 3").recordsAffected, 2);
    EXPECT_EQ(t.reads, 2);
    EXPECT_TRUE(t.records[6].deleted && t.records[7].deleted);
    EXPECT_TRUE(db.Rows("SELECT * FROM Appointment WHERE PId = 3").rows.empty());  // marked candidates are hidden
}

TEST(SqlLookup, OtherConditionsReadEveryRecord) {
    PracticeTables db;
    auto& t = WithIndexedKeys(db, 100).Table("Appointment");
    EXPECT_EQ(db.Rows("SELECT * FROM Appointment WHERE PId = 3 OR PId = 4").rows.size(), 4u);
    EXPECT_EQ(db.Rows("SELECT * FROM Appointment WHERE PId > 48").rows.size(), 2u);
    EXPECT_EQ(db.Rows("SELECT * FROM Appointment WHERE NOT PId = 3").rows.size(), 98u);
    EXPECT_EQ(t.lookups, 0);
    EXPECT_EQ(t.reads, 300);
}
