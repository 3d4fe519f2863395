// The key indexes behind lookups by key: built once per field, kept current by this process's
// writes through any connection, rebuilt after another process changed the file, kept only
// while a table of the process holds the file, and equal to SQL "=" in what they find.
#include <sys/wait.h>
#include <unistd.h>

#include "api_fixture.h"
#include "engine/api/key_index.h"

namespace {

using namespace api_test;
using engine::api::EqualityKey;
namespace key_index = engine::api::key_index;

size_t Count(engine::api::Connection& c, const std::string& where) {
    return c.Execute("SELECT * FROM IdentFil WHERE " + where).rows->rows.size();
}

TEST(EqualityKey, EqualsWhatSqlEqualityEquates) {
    EXPECT_EQ(EqualityKey(Value("Smith   ")), EqualityKey(Value("Smith")));
    EXPECT_NE(EqualityKey(Value("Smith")), EqualityKey(Value("smith")));
    EXPECT_NE(EqualityKey(Value(" Smith")), EqualityKey(Value("Smith")));
    EXPECT_EQ(EqualityKey(Value(int64_t{5})), EqualityKey(Value(5.0)));
    EXPECT_EQ(EqualityKey(Value(int64_t{5})), EqualityKey(Value(engine::Currency{50000})));
    EXPECT_EQ(EqualityKey(Value(2.5)), EqualityKey(Value(engine::Currency{25000})));
    EXPECT_NE(EqualityKey(Value(int64_t{5})), EqualityKey(Value(5.5)));
    EXPECT_NE(EqualityKey(Value(int64_t{1})), EqualityKey(Value(true)));
    EXPECT_EQ(EqualityKey(Value(Ymd(2020, 1, 2))), EqualityKey(Value(engine::DateTime{Ymd(2020, 1, 2).julianDay, 0})));
    EXPECT_EQ(EqualityKey(Value()), std::nullopt);
}

TEST_F(PracticeDatabase, AnIndexIsBuiltOnceAndKeptCurrentByThisProcesssWrites) {
    key_index::Clear();
    auto a = Connect();
    auto b = Connect();
    const long builds = key_index::BuildCount();
    EXPECT_EQ(Count(*a, "PtNum = 5"), 2u);
    EXPECT_EQ(key_index::BuildCount(), builds + 1);
    // Appends through SQL and through a recordset, on another connection of the process.
    b->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (5, 'Evans III')");
    engine::api::Recordset rs;
    rs.Open("IdentFil", *b, 3, 3, 2);
    for (int i = 0; i < 3; ++i) {
        rs.AddNew();
        rs.Fields().Item("PtNum").SetValue(Value(int64_t{100 + i}));
        rs.Update();
    }
    EXPECT_EQ(Count(*a, "PtNum = 5"), 3u);
    EXPECT_EQ(Count(*a, "PtNum = 101"), 1u);
    // A changed key and a deletion.
    rs.MoveFirst();
    rs.Fields().Item("PtNum").SetValue(Value(int64_t{7}));
    rs.Update();
    EXPECT_EQ(Count(*a, "PtNum = 1"), 0u);
    EXPECT_EQ(Count(*a, "PtNum = 7"), 1u);
    a->Execute("DELETE FROM IdentFil WHERE PtNum = 5");
    EXPECT_EQ(Count(*a, "PtNum = 5"), 0u);
    EXPECT_EQ(Count(*b, "PtNum = 5 AND LastNam = 'Evans III'"), 0u);
    a->Execute("SET DELETED OFF");
    EXPECT_EQ(Count(*a, "PtNum = 5"), 3u);
    EXPECT_EQ(key_index::BuildCount(), builds + 1);
    // A second field gets an index of its own.
    EXPECT_EQ(Count(*a, "LastNam = 'Baker'"), 1u);
    EXPECT_EQ(key_index::BuildCount(), builds + 2);
}

TEST_F(PracticeDatabase, AnIndexIsRebuiltAfterAnotherProcessChangedTheTable) {
    key_index::Clear();
    auto c = Connect();
    EXPECT_EQ(Count(*c, "PtNum = 42"), 0u);
    const long builds = key_index::BuildCount();
    const pid_t child = fork();
    if (child == 0) {
        try {
            auto t = engine::Table::Open(m_dir / "IDENTFIL.DBF");
            t->Append({Value(int64_t{42}), Value("Forked")});
            t->Overwrite(0, {Value(int64_t{43}), Value("Adams"), Value(), Value(0.0)});
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Count(*c, "PtNum = 42"), 1u);
    EXPECT_EQ(Count(*c, "PtNum = 43"), 1u);
    EXPECT_EQ(Count(*c, "PtNum = 1"), 0u);
    EXPECT_EQ(key_index::BuildCount(), builds + 1);
}

TEST_F(PracticeDatabase, AFilesIndexesLastWhileATableHoldsItAndGoWithTheLastHolder) {
    key_index::Clear();
    const auto identity = [&] { return engine::Table::Open(m_dir / "IDENTFIL.DBF")->FileIdentity(); };
    const auto file = identity();
    EXPECT_FALSE(key_index::Keeps(file));
    auto a = Connect();
    auto b = Connect();
    const long builds = key_index::BuildCount();
    // Statement after statement on two connections that keep the table: built once.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(Count(*a, "PtNum = 5"), 2u);
        EXPECT_EQ(Count(*b, "PtNum = 5"), 2u);
        b->Execute("INSERT INTO IdentFil (PtNum) VALUES (" + std::to_string(200 + i) + ")");
        EXPECT_EQ(Count(*a, "PtNum = " + std::to_string(200 + i)), 1u);
    }
    EXPECT_EQ(key_index::BuildCount(), builds + 1);
    EXPECT_TRUE(key_index::Keeps(file));
    a->Close();
    EXPECT_TRUE(key_index::Keeps(file)) << "the other connection still keeps the table";
    EXPECT_EQ(Count(*b, "PtNum = 204"), 1u);
    EXPECT_EQ(key_index::BuildCount(), builds + 1);
    b->Close();
    EXPECT_FALSE(key_index::Keeps(file));

    // A pack makes a new file: the old one's indexes go with it, the new one's with its holder.
    auto c = Connect();
    EXPECT_EQ(Count(*c, "PtNum = 5"), 2u);
    EXPECT_EQ(key_index::BuildCount(), builds + 2);
    c->Execute("SET EXCLUSIVE ON; PACK \"" + m_dir.Str() + "/IdentFil\"; SET EXCLUSIVE OFF");
    EXPECT_FALSE(key_index::Keeps(file));
    EXPECT_EQ(Count(*c, "PtNum = 5"), 2u);
    const auto packed = identity();
    EXPECT_NE(packed, file);
    EXPECT_TRUE(key_index::Keeps(packed));
    c->Close();
    EXPECT_FALSE(key_index::Keeps(packed));
}

TEST_F(PracticeDatabase, FindOnATableUsesTheIndexAndStillSearchesForward) {
    key_index::Clear();
    auto c = Connect();
    engine::api::Recordset rs;
    rs.Open("IdentFil", *c, 3, 3, 2);
    rs.Find("PtNum = 5");
    const double first = rs.Bookmark();
    rs.MoveNext();
    rs.Find("PtNum = 5");
    EXPECT_GT(rs.Bookmark(), first);
    rs.MoveNext();
    rs.Find("PtNum = 5");
    EXPECT_TRUE(rs.Eof());
    rs.MoveFirst();
    rs.Find("PtNum = 3");  // marked deleted: not a row of the recordset
    EXPECT_TRUE(rs.Eof());
}

}  // namespace
