// Tables a connection keeps open between statements: what other processes insert, mark and
// pack is seen by the next statement; a kept table cannot be taken exclusively elsewhere
// until the connection lets it go (in this process an idle one is let go on demand); waits
// for other processes' locks end after the connection's timeout; and writes are synced per
// statement, or only at Flush and Close when flushing is deferred.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "api_fixture.h"
#include "engine/dbf/file_io.h"
#include "engine/dbf/table_state.h"

namespace {

using namespace api_test;
using engine::api::Connection;
using engine::api::Recordset;
using engine::dbf::SyncCount;
namespace err = engine::err;

size_t Count(Connection& c, const std::string& query) { return c.Execute(query).rows->rows.size(); }

// Runs action in a child process; returns the number of the engine error it raised, 0 when
// it ran through, -1 for anything else.
long InChild(const std::function<void()>& action) {
    const pid_t child = fork();
    if (child == 0) {
        long result = 0;
        try {
            action();
        } catch (const engine::Error& e) {
            result = e.Number();
        } catch (...) {
            result = -1;
        }
        _exit(result == 0 ? 0 : result == err::kFileInUse ? 2 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) return -1;
    switch (WEXITSTATUS(status)) {
        case 0: return 0;
        case 2: return err::kFileInUse;
        default: return -1;
    }
}

// A child process that holds a lock on the table file until it is killed.
class LockHolder {
public:
    // releaseAfter: milliseconds after which the child lets go by itself (0: when killed).
    LockHolder(const std::filesystem::path& table, uint64_t offset, bool exclusive, int releaseAfter = 0) {
        int ready[2];
        if (pipe(ready) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            const int fd = ::open(table.c_str(), O_RDWR);
            struct flock fl {};
            fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
            fl.l_whence = SEEK_SET;
            fl.l_start = static_cast<off_t>(offset);
            fl.l_len = 1;
            const char c = fcntl(fd, F_OFD_SETLK, &fl) == 0 ? 'y' : 'n';
            (void)!write(ready[1], &c, 1);
            if (releaseAfter > 0) usleep(static_cast<useconds_t>(releaseAfter) * 1000);
            else pause();
            _exit(0);
        }
        char c = 'n';
        (void)!read(ready[0], &c, 1);
        m_locked = c == 'y';
        close(ready[0]);
        close(ready[1]);
    }
    ~LockHolder() { Release(); }
    bool Locked() const { return m_locked; }
    void Release() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    bool m_locked = false;
};

TEST_F(PracticeDatabase, AnotherProcesssInsertsMarksAndPackAreSeenByTheNextStatement) {
    auto c = Connect();
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil"), 4u);
    const std::string dbc = m_dbc.string();
    EXPECT_EQ(InChild([&] {
                  Connection other;
                  other.Open({}, {}, ConnectionStringTo(dbc));
                  other.Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (9, 'Forked')");
                  other.Execute("DELETE FROM IdentFil WHERE PtNum = 1");
              }),
              0);
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 9"), 1u);
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 1"), 0u);
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil"), 4u);

    // The connection keeps the table: another process cannot pack it meanwhile...
    auto pack = [&] {
        Connection other;
        other.SetConnectionTimeout(1);
        other.Open({}, {}, ConnectionStringTo(dbc));
        other.Execute("SET EXCLUSIVE ON; PACK IdentFil");
    };
    EXPECT_EQ(InChild(pack), err::kFileInUse);
    // ...until it lets it go; the next statement reads the packed table.
    c->Execute("CLOSE ALL");
    EXPECT_EQ(InChild(pack), 0);
    c->Execute("SET DELETED OFF");
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil"), 4u);
    EXPECT_EQ(engine::Table::Open(m_dir / "IDENTFIL.DBF")->RecordCount(), 4u);
}

// The connection keeps the index nodes its lookups read; what another process or another
// connection of this process inserts, marks, changes in place and packs is still found by the
// next statement's lookups.
TEST_F(PracticeDatabase, LookupsThroughAKeptIndexSeeOthersInsertsMarksKeyChangesAndPack) {
    {
        auto t = engine::Table::Open(m_dir / "IDENTFIL.DBF", engine::OpenMode::Exclusive);
        t->CreateIndex({{.name = "PTNUM", .expression = "PtNum"},
                        {.name = "LIVE", .expression = "LastNam", .forExpression = "!DELETED()"}});
    }
    auto c = Connect();
    const auto lookups = [&] {
        return std::vector<size_t>{
            Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 9"), Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 1"),
            Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 7"), Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 2")};
    };
    EXPECT_EQ(lookups(), (std::vector<size_t>{0, 1, 0, 1}));
    const std::string dbc = m_dbc.string();
    EXPECT_EQ(InChild([&] {
                  Connection other;
                  other.Open({}, {}, ConnectionStringTo(dbc));
                  other.Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (9, 'Forked')");
                  other.Execute("DELETE FROM IdentFil WHERE PtNum = 1");
                  other.Execute("UPDATE IdentFil SET PtNum = 7 WHERE PtNum = 2");
              }),
              0);
    EXPECT_EQ(lookups(), (std::vector<size_t>{1, 0, 1, 0}));

    // A second connection of this process, through its own kept table.
    auto d = Connect();
    d->Execute("UPDATE IdentFil SET PtNum = 2 WHERE PtNum = 7");
    d->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (1, 'Again')");
    EXPECT_EQ(lookups(), (std::vector<size_t>{1, 1, 0, 1}));
    d->Execute("CLOSE ALL");

    // Packed by another process once the connection let the table go: the lookups read the
    // rebuilt index, not the nodes kept before.
    c->Execute("CLOSE ALL");
    EXPECT_EQ(InChild([&] {
                  Connection other;
                  other.Open({}, {}, ConnectionStringTo(dbc));
                  other.Execute("DELETE FROM IdentFil WHERE PtNum = 9");
                  other.Execute("SET EXCLUSIVE ON; PACK IdentFil");
              }),
              0);
    EXPECT_EQ(lookups(), (std::vector<size_t>{0, 1, 0, 1}));
    for (size_t tag = 0; tag < 2; ++tag) {
        auto t = engine::Table::Open(m_dir / "IDENTFIL.DBF");
        EXPECT_EQ(t->IndexEntries(tag), t->ExpectedIndexEntries(tag));
    }
}

TEST_F(PracticeDatabase, AnIdleKeptTableIsLetGoForAnotherConnectionOfTheProcess) {
    auto a = Connect();
    auto b = Connect();
    EXPECT_EQ(Count(*a, "SELECT * FROM IdentFil"), 4u);
    b->Execute("SET EXCLUSIVE ON; PACK IdentFil; SET EXCLUSIVE OFF");
    a->Execute("SET DELETED OFF");
    EXPECT_EQ(Count(*a, "SELECT * FROM IdentFil"), 4u);
    // Between statements even a table kept for exclusive use is let go on demand; one that a
    // recordset shows is not, and the refusal comes at once (waiting would wait for ourselves).
    b->Execute("SET EXCLUSIVE ON; SELECT * FROM IdentFil");
    EXPECT_EQ(Count(*a, "SELECT * FROM IdentFil"), 4u);
    {
        Recordset shown;
        shown.Open("IdentFil", *b, 3, 3, 2);
        ExpectError([&] { Count(*a, "SELECT * FROM IdentFil"); }, err::kFileInUse, "IDENTFIL.DBF");
    }
    EXPECT_EQ(Count(*a, "SELECT * FROM IdentFil"), 4u);
    // A table this connection just wrote is let go for its own pack, whatever spelling of
    // its path the pack uses.
    b->Execute("SET EXCLUSIVE ON; DELETE FROM InsIdent WHERE InsNum = 1; PACK \"" + m_dir.Str() +
               "/./insident\"; SET EXCLUSIVE OFF");
    EXPECT_EQ(engine::Table::Open(m_dir / "InsIdent.dbf")->RecordCount(), 5u);
}

TEST_F(PracticeDatabase, WaitsForLocksOfAnotherProcessEndAfterTheConnectionTimeout) {
    const auto file = m_dir / "IDENTFIL.DBF";
    auto c = Connect();
    c->SetConnectionTimeout(1);
    EXPECT_EQ(c->ConnectionTimeout(), 1);
    {
        // Another process is writing the table (holds its write lock).
        LockHolder writer(file, engine::dbf::kWriteLockOffset, true);
        ASSERT_TRUE(writer.Locked());
        ExpectError([&] { c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (10, 'Late')"); }, err::kFileInUse,
                    "IDENTFIL.DBF");
        ExpectError([&] { c->Execute("UPDATE IdentFil SET LastNam = 'Changed' WHERE PtNum = 2"); }, err::kFileInUse,
                    "IDENTFIL.DBF");
        EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 10"), 0u);  // reading needs no write lock
    }
    c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (10, 'Late')");
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 10"), 1u);
    {
        // Another process uses the table: exclusive use waits, then fails.
        LockHolder user(file, engine::dbf::kUseLockOffset, false);
        ASSERT_TRUE(user.Locked());
        ExpectError([&] { c->Execute("SET EXCLUSIVE ON; PACK IdentFil"); }, err::kFileInUse, "IDENTFIL.DBF");
        c->Execute("SET EXCLUSIVE OFF");
    }
    // A holder that lets go within the wait is waited for.
    c->SetConnectionTimeout(30);
    LockHolder user(file, engine::dbf::kUseLockOffset, false, 300);
    ASSERT_TRUE(user.Locked());
    c->Execute("SET EXCLUSIVE ON; PACK IdentFil; SET EXCLUSIVE OFF");
}

TEST_F(PracticeDatabase, WritesAreSyncedPerStatementOrAtFlushWhenDeferred) {
    auto c = Connect();
    EXPECT_FALSE(c->DeferredFlush());
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil"), 4u);
    long syncs = SyncCount();
    EXPECT_EQ(Count(*c, "SELECT * FROM IdentFil WHERE PtNum = 2"), 1u);
    EXPECT_EQ(SyncCount(), syncs) << "reading syncs nothing";
    c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (20, 'Synced')");
    EXPECT_GT(SyncCount(), syncs);
    syncs = SyncCount();
    {
        Recordset rs;
        rs.Open("AllTypes", *c, 3, 3, 2);
        rs.AddNew();
        rs.Fields().Item("Mem").SetValue(Value("a memo of its own"));
        rs.Update();
    }
    EXPECT_GE(SyncCount(), syncs + 2) << "table and memo synced when the recordset closes";

    c->SetDeferredFlush(true);
    syncs = SyncCount();
    c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (21, 'Deferred')");
    c->Execute("DELETE FROM InsIdent WHERE InsNum = 1");
    {
        Recordset rs;
        rs.Open("AllTypes", *c, 3, 3, 2);
        rs.AddNew();
        rs.Fields().Item("Mem").SetValue(Value("deferred memo"));
        rs.Update();
    }
    EXPECT_EQ(SyncCount(), syncs) << "nothing synced before Flush";
    c->Flush();
    EXPECT_GE(SyncCount(), syncs + 4) << "IdentFil, InsIdent, AllTypes and its memo";
    syncs = SyncCount();
    c->Flush();
    EXPECT_EQ(SyncCount(), syncs) << "nothing left to sync";
    c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (22, 'At close')");
    EXPECT_EQ(SyncCount(), syncs);
    c->Close();
    EXPECT_GT(SyncCount(), syncs);

    auto again = Connect();
    EXPECT_EQ(Count(*again, "SELECT * FROM IdentFil WHERE PtNum > 19"), 3u);
    EXPECT_EQ(Count(*again, "SELECT * FROM InsIdent WHERE InsNum = 1"), 0u);
    EXPECT_EQ(Count(*again, "SELECT * FROM AllTypes"), 3u);
}

}  // namespace
