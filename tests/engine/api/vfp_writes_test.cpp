// Writes into copies of tables Visual FoxPro itself wrote (shared test data, copied into a
// temporary folder; the originals are never written): autoincrement numbering, updates that
// leave every byte they were not asked to change, statements that change all rows or none,
// a missing structural index, and two processes numbering rows of one table at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/dbf/format.h"
#include "engine/error.h"
#include "engine/sql/practice_tables.h"  // readable values in failure messages
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using engine::Value;
using testing_support::ExpectError;
using testing_support::ReadFile;
using testing_support::TempDir;

#define SKIP_WITHOUT_VFP_FILES()                       \
    if (!fs::exists(testing_support::SharedVfpData())) \
    GTEST_SKIP() << "the Visual FoxPro sample files are not at " << testing_support::SharedVfpData()

// Copies a folder of the shared data into dir, writable, and returns the copy.
fs::path CopyOf(const std::string& folder, const TempDir& dir) {
    const fs::path to = dir.Path() / folder;
    fs::copy(testing_support::SharedVfpData() / folder, to, fs::copy_options::recursive);
    for (const auto& e : fs::directory_iterator(to))
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add);
    return to;
}

std::unique_ptr<engine::api::Connection> Connect(const fs::path& source) {
    auto c = std::make_unique<engine::api::Connection>();
    std::string ext = source.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
    const bool container = ext == ".dbc";
    c->SetConnectionString("SourceDB=" + source.string() + ";SourceType=" + (container ? "DBC" : "DBF") + ";");
    c->Open();
    return c;
}

std::vector<Value> Column(engine::api::Connection& c, const std::string& select) {
    std::vector<Value> out;
    const engine::sql::Outcome outcome = c.Execute(select);
    for (const auto& row : outcome.rows->rows) out.push_back(row.at(0));
    return out;
}

// The autoincrement counter of field number field (from 0) in the table file's header.
int32_t NextValue(const fs::path& table, int field) {
    const std::string bytes = ReadFile(table);
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.data()) + 32 + 32 * field;
    return static_cast<int32_t>(engine::dbf::fmt::Le32(d + engine::dbf::fmt::kDescAutoIncNext));
}

void Poke(const fs::path& file, size_t offset, const std::string& bytes) {
    std::string all = ReadFile(file);
    all.replace(offset, bytes.size(), bytes);
    testing_support::WriteFile(file, all);
}

// Offsets at which two byte strings of equal length differ.
std::vector<size_t> Differences(const std::string& a, const std::string& b) {
    EXPECT_EQ(a.size(), b.size());
    std::vector<size_t> out;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) out.push_back(i);
    }
    return out;
}

// Every difference lies inside field [start, start + length) of some record.
void ExpectOnlyField(const std::vector<size_t>& diffs, size_t headerLength, size_t recordLength, size_t start,
                     size_t length) {
    EXPECT_FALSE(diffs.empty());
    for (size_t at : diffs) {
        ASSERT_GE(at, headerLength) << "the header changed at " << at;
        const size_t inRecord = (at - headerLength) % recordLength;
        EXPECT_TRUE(inRecord >= start && inRecord < start + length) << "byte " << inRecord << " of a record changed";
    }
}

TEST(VfpWrites, InsertsTakeConsecutiveAutoincrementNumbersAndAdvanceTheCounter) {
    SKIP_WITHOUT_VFP_FILES();
    TempDir dir;
    {
        const fs::path folder = CopyOf("vfpef-decimaltable", dir);
        auto c = Connect(folder);
        ASSERT_EQ(NextValue(folder / "decimaltable.dbf", 0), 3);
        c->Execute("INSERT INTO decimaltable (ivalue) VALUES (1.5)");
        c->Execute("INSERT INTO decimaltable (ivalue) VALUES (2.5)");
        EXPECT_EQ(Column(*c, "SELECT ipk FROM decimaltable WHERE ipk >= 3"),
                  (std::vector<Value>{int64_t{3}, int64_t{4}}));
        EXPECT_EQ(NextValue(folder / "decimaltable.dbf", 0), 5);
        // Numbering it by hand is refused, naming the field, unless the connection allows it.
        ExpectError([&] { c->Execute("INSERT INTO decimaltable (ipk, ivalue) VALUES (9, 1)"); },
                    engine::err::kAutoIncrementField, "IPK");
        ExpectError([&] { c->Execute("UPDATE decimaltable SET ipk = 9"); }, engine::err::kAutoIncrementField, "IPK");
        c->Execute("SET AUTOINCERROR OFF; INSERT INTO decimaltable (ipk, ivalue) VALUES (40, 1)");
        EXPECT_EQ(NextValue(folder / "decimaltable.dbf", 0), 41);
    }
    {
        const fs::path folder = CopyOf("northwind", dir);
        auto c = Connect(folder / "northwind.dbc");
        const int32_t next = NextValue(folder / "orders.dbf", 0);
        c->Execute("INSERT INTO orders (customerid, shipname) VALUES ('ALFKI', 'First')");
        c->Execute("INSERT INTO orders (customerid, shipname) VALUES ('ALFKI', 'Second')");
        EXPECT_EQ(Column(*c, "SELECT orderid FROM orders WHERE orderid >= " + std::to_string(next)),
                  (std::vector<Value>{int64_t{next}, int64_t{next + 1}}));
        EXPECT_EQ(NextValue(folder / "orders.dbf", 0), next + 2);
    }
}

TEST(VfpWrites, ConnectionsKeepingTheTableOpenTakeTurnsWithoutSharingANumber) {
    SKIP_WITHOUT_VFP_FILES();
    TempDir dir;
    const fs::path folder = CopyOf("vfpef-decimaltable", dir);
    auto a = Connect(folder);
    auto b = Connect(folder);
    // Both connections keep the table (and its header) open between statements; each insert
    // must number the row from the counter the other one left.
    for (int i = 0; i < 3; ++i) {
        a->Execute("INSERT INTO decimaltable (ivalue) VALUES (1)");
        b->Execute("INSERT INTO decimaltable (ivalue) VALUES (2)");
    }
    const std::vector<Value> expected{int64_t{3}, int64_t{4}, int64_t{5}, int64_t{6}, int64_t{7}, int64_t{8}};
    EXPECT_EQ(Column(*a, "SELECT ipk FROM decimaltable WHERE ipk >= 3"), expected);
    EXPECT_EQ(Column(*b, "SELECT ipk FROM decimaltable WHERE ipk >= 3"), expected);
    EXPECT_EQ(NextValue(folder / "decimaltable.dbf", 0), 9);
}

TEST(VfpWrites, RecordsetAddNewNumbersTheRow) {
    SKIP_WITHOUT_VFP_FILES();
    TempDir dir;
    const fs::path folder = CopyOf("vfpef-decimaltable", dir);
    auto c = Connect(folder);
    engine::api::Recordset target;
    target.Open("decimaltable", *c, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic,
                engine::api::kAdCmdTable);
    target.AddNew();
    ExpectError([&] { target.Fields().Item("ipk").SetValue(Value(int64_t{50})); }, engine::err::kAutoIncrementField,
                "ipk");
    target.Fields().Item("ivalue").SetValue(Value(int64_t{7}));
    target.Update();
    EXPECT_EQ(target.Fields().Item("ipk").Value(), Value(int64_t{3}));
    EXPECT_EQ(NextValue(folder / "decimaltable.dbf", 0), 4);
}

TEST(VfpWrites, UpdateOfOneFieldLeavesEveryOtherByteOfTheFile) {
    SKIP_WITHOUT_VFP_FILES();
    TempDir dir;
    // dbase_30: blank numerics, a '?' logical (put in by hand) and date-times. Its header names a
    // structural index that the sample lacks, so the copy's flag is cleared first.
    const fs::path folder = CopyOf("infused-free", dir);
    const fs::path table = folder / "dbase_30.dbf";
    Poke(table, engine::dbf::fmt::kOffTableFlags, "\x02");
    Poke(table, 4936 + 3757, "?");  // WEBINCLUDE of the first record
    const std::string before = ReadFile(table);
    auto c = Connect(folder);
    EXPECT_EQ(c->Execute("UPDATE dbase_30 SET caption = 'Changed'").recordsAffected, 34);
    ExpectOnlyField(Differences(before, ReadFile(table)), 4936, 3907, 132, 30);

    // calls: CALL_TIME values a millisecond short of the second; a recordset Update.
    const fs::path calls = CopyOf("foxpro-db-test", dir) / "calls.dbf";
    const std::string original = ReadFile(calls);
    const auto* first = reinterpret_cast<const uint8_t*>(original.data()) + 488 + 17;
    ASSERT_EQ(engine::dbf::fmt::Le32(first + 4) % 1000, 999u);
    auto db = Connect(calls.parent_path() / "FOXPRO-DB-TEST.DBC");
    db->Execute("UPDATE calls SET subject = 'Renamed'");
    ExpectOnlyField(Differences(original, ReadFile(calls)), 488, 283, 25, 254);
    const std::string updated = ReadFile(calls);
    engine::api::Recordset rs;
    rs.Open("calls", *db, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, engine::api::kAdCmdTable);
    rs.Fields().Item("contact_id").SetValue(Value(int64_t{4242}));
    rs.Update();
    ExpectOnlyField(Differences(updated, ReadFile(calls)), 488, 283, 5, 4);
}

TEST(VfpWrites, FailingMultiRowUpdateChangesNothing) {
    SKIP_WITHOUT_VFP_FILES();
    TempDir dir;
    const fs::path folder = CopyOf("northwind", dir);
    const std::string table = ReadFile(folder / "orderdetails.dbf");
    const std::string index = ReadFile(folder / "orderdetails.cdx");
    auto c = Connect(folder / "northwind.dbc");
    const auto held = Column(*c, "SELECT orderid FROM orderdetails WHERE orderid = 10300");
    // Every detail row of the first orders would take the key of order 10300's rows.
    ExpectError([&] { c->Execute("UPDATE orderdetails SET orderid = 10300 WHERE orderid < 10300"); },
                engine::err::kUniqueViolated, "violated");
    EXPECT_EQ(ReadFile(folder / "orderdetails.dbf"), table);
    EXPECT_EQ(ReadFile(folder / "orderdetails.cdx"), index);
    // The table stays open for the connection: what it reads next is the records as put back.
    EXPECT_EQ(Column(*c, "SELECT orderid FROM orderdetails WHERE orderid = 10300"), held);
    // Keys may move between rows of one statement.
    const auto count = Column(*c, "SELECT orderid FROM orderdetails WHERE orderid = 10248").size();
    EXPECT_EQ(c->Execute("UPDATE orderdetails SET orderid = 20248 WHERE orderid = 10248").recordsAffected,
              static_cast<long>(count));
}

TEST(VfpWrites, MissingStructuralIndexRefusesWritesAndLetsReadsGoOn) {
    SKIP_WITHOUT_VFP_FILES();
    TempDir dir;
    const fs::path folder = CopyOf("infused-free", dir);
    const std::string before = ReadFile(folder / "dbase_30.dbf");
    auto c = Connect(folder);
    EXPECT_EQ(Column(*c, "SELECT accessno FROM dbase_30").size(), 34u);
    ExpectError([&] { c->Execute("UPDATE dbase_30 SET caption = 'x'"); }, engine::err::kIndexNotMaintained,
                "structural index 'dbase_30.cdx' is not found");
    ExpectError([&] { c->Execute("INSERT INTO dbase_30 (caption) VALUES ('x')"); }, engine::err::kIndexNotMaintained,
                "not found");
    ExpectError([&] { c->Execute("DELETE FROM dbase_30"); }, engine::err::kIndexNotMaintained, "not found");
    EXPECT_EQ(ReadFile(folder / "dbase_30.dbf"), before);

    // When the file is back (here: stale), REINDEX rebuilds it and writes go on.
    const fs::path shop = CopyOf("northwind", dir);
    fs::rename(shop / "region.cdx", dir.Path() / "region.cdx");
    auto n = Connect(shop / "northwind.dbc");
    ExpectError([&] { n->Execute("DELETE FROM region WHERE regionid = 4"); }, engine::err::kIndexNotMaintained,
                "not found");
    fs::rename(dir.Path() / "region.cdx", shop / "region.cdx");
    n->Execute("SET EXCLUSIVE ON; REINDEX region; SET EXCLUSIVE OFF");
    EXPECT_EQ(n->Execute("DELETE FROM region WHERE regionid = 4").recordsAffected, 1);
}

TEST(VfpWrites, TwoProcessesInsertingNeverShareANumber) {
    SKIP_WITHOUT_VFP_FILES();
    TempDir dir;
    const fs::path folder = CopyOf("vfpef-decimaltable", dir);
    constexpr int kEach = 1000;
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t child = fork();
        if (child == 0) {
            int status = 0;
            try {
                auto c = Connect(folder);
                c->SetDeferredFlush(true);
                for (int i = 0; i < kEach; ++i)
                    c->Execute("INSERT INTO decimaltable (ivalue) VALUES (" + std::to_string(p + 1) + ")");
            } catch (const engine::Error& e) {
                fprintf(stderr, "process %d: Error %ld: %s\n", p + 1, e.Number(), e.Description().c_str());
                status = 1;
            }
            _exit(status);
        }
        children.push_back(child);
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto c = Connect(folder);
    const auto numbers = Column(*c, "SELECT ipk FROM decimaltable WHERE ipk >= 3");
    std::set<int64_t> distinct;
    for (const Value& v : numbers) distinct.insert(v.As<int64_t>());
    EXPECT_EQ(numbers.size(), 2u * kEach);
    EXPECT_EQ(distinct.size(), 2u * kEach);
    EXPECT_EQ(NextValue(folder / "decimaltable.dbf", 0), 3 + 2 * kEach);
}

}  // namespace
