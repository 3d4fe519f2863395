// FoxPro's byte-range locks: where they lie; a workstation's lock (a stand-in process taking
// them as Samba does) makes a write wait and then fail naming the table and the record, with
// the files untouched; the engine's own locks are seen by other processes at exactly FoxPro's
// bytes while it writes; and processes locking in opposite orders never hang.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "engine/dbf/foxpro_locks.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "support/expect_error.h"
#include "support/foxpro_workstation.h"
#include "support/temp_dir.h"

namespace {

using namespace engine;
namespace fs = std::filesystem;
using dbf::LockRange;
using std::chrono::milliseconds;
using testing_support::ByteRange;
using testing_support::ExpectError;
using testing_support::FoxHeaderByte;
using testing_support::FoxRecordByte;
using testing_support::FoxWorkstation;
using testing_support::LockedForOthers;
using testing_support::ReadFile;

// Patients: ten rows, PtNum 1 to 10, with a structural index when indexed.
fs::path MakePatients(const testing_support::TempDir& dir, bool indexed = true) {
    const fs::path file = dir / "Patients.dbf";
    auto t = Table::Create(file, {{.name = "PtNum", .type = 'I'}, {.name = "Name", .type = 'C', .length = 10}});
    if (indexed) t->CreateIndex({{.name = "PTNUM", .expression = "PtNum"}});
    for (int i = 1; i <= 10; ++i) t->Append({Value(int64_t{i}), Value("row" + std::to_string(i))});
    return file;
}

std::map<std::string, std::string> Files(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out[e.path().filename().string()] = ReadFile(e.path());
    return out;
}

dbf::TableHeader HeaderOf(uint8_t flags, uint16_t headerLength, uint16_t recordLength) {
    dbf::TableHeader h;
    h.flags = flags;
    h.headerLength = headerLength;
    h.recordLength = recordLength;
    return h;
}

TEST(FoxProLocks, BytesAreFoxProsAndCoverEveryCandidateWhereTheLayoutIsUncertain) {
    // A table with a structural index: FoxPro's bytes only.
    const auto indexed = HeaderOf(0x01, 328, 100);
    EXPECT_EQ(dbf::FoxHeaderRanges(indexed), (std::vector<LockRange>{{0x7FFFFFFE, 1}}));
    EXPECT_EQ(dbf::FoxRecordRanges(indexed, 0, 1), (std::vector<LockRange>{{0x7FFFFFFD, 1}}));  // record 1
    EXPECT_EQ(dbf::FoxRecordRanges(indexed, 1, 1), (std::vector<LockRange>{{0x7FFFFFFC, 1}}));  // record 2
    EXPECT_EQ(dbf::FoxRecordRanges(indexed, 4, 3), (std::vector<LockRange>{{0x7FFFFFF7, 3}}));  // records 5 to 7
    EXPECT_EQ(dbf::FoxTableRange(indexed), (LockRange{0x78000000, 0x07FFFFFF}));
    // A short record puts the other source's first byte lower: the range starts there.
    const LockRange narrow = dbf::FoxTableRange(HeaderOf(0x01, 40, 8));
    EXPECT_EQ(narrow.offset, 0x7FFFFFFFu - (0x80000000u - 42u) / 9u);
    EXPECT_EQ(narrow.offset + narrow.length, 0x7FFFFFFFu);

    // Without a structural index both layouts are covered.
    const auto free = HeaderOf(0x00, 328, 100);
    EXPECT_EQ(dbf::FoxHeaderRanges(free), (std::vector<LockRange>{{0x7FFFFFFE, 1}, {0x40000000, 328}}));
    EXPECT_EQ(dbf::FoxRecordRanges(free, 1, 2),
              (std::vector<LockRange>{{0x7FFFFFFB, 2}, {0x40000000 + 328 + 100, 200}}));
    EXPECT_EQ(dbf::FoxTableRange(free), (LockRange{0x40000000, 0x3FFFFFFF}));
}

TEST(FoxProLocks, AWorkstationsRecordLockMakesChangesWaitThenFailNamingTheRecordWithNothingWritten) {
    testing_support::TempDir dir;
    const fs::path file = MakePatients(dir);
    const auto before = Files(dir.Path());
    auto t = Table::Open(file, OpenMode::Shared, milliseconds(300));
    {
        FoxWorkstation station(file, {FoxRecordByte(7)});
        ASSERT_TRUE(station.Took());
        ExpectError(
            [&] {
                t->Overwrite(6, {Value(int64_t{70}), Value("changed")});
            },
            err::kRecordInUse, "Patients.dbf': record 7 is in use");
        ExpectError([&] { t->SetDeleted(6, true); }, err::kRecordInUse, "record 7");
        // A batch names the locked record and writes none of the others.
        std::vector<sql::RecordChange> batch;
        for (uint32_t r : {2u, 5u, 6u, 7u}) batch.push_back({r, {{1, Value("batch")}}});
        ExpectError([&] { t->Change(batch); }, err::kRecordInUse, "record 7");
        ExpectError([&] { t->SetDeleted(std::vector<uint32_t>{0, 6, 9}, true); }, err::kRecordInUse, "record 7");
        t->Flush();
        EXPECT_EQ(Files(dir.Path()), before);
        // Other records are free.
        t->Overwrite(7, {Value(int64_t{8}), Value("eight")});
        EXPECT_EQ(t->ReadValue(7, 1).As<std::string>().substr(0, 5), "eight");
    }
    // Released within the wait, the same change goes through.
    FoxWorkstation station(file, {FoxRecordByte(7)}, milliseconds(200));
    ASSERT_TRUE(station.Took());
    auto patient = Table::Open(file, OpenMode::Shared, milliseconds(20000));
    patient->SetDeleted(6, true);
    EXPECT_TRUE(patient->IsDeleted(6));
}

TEST(FoxProLocks, AHeldHeaderOrIndexByteMakesAnAppendFailWithNothingWritten) {
    testing_support::TempDir dir;
    const fs::path file = MakePatients(dir);
    const auto before = Files(dir.Path());
    auto t = Table::Open(file, OpenMode::Shared, milliseconds(300));
    {
        FoxWorkstation station(file, {FoxHeaderByte()});
        ASSERT_TRUE(station.Took());
        ExpectError(
            [&] {
                t->Append({Value(int64_t{11}), Value("late")});
            },
            err::kRecordInUse, "Patients.dbf': its header (record 0) is in use");
    }
    {
        FoxWorkstation station(dir / "Patients.cdx", {FoxHeaderByte()});
        ASSERT_TRUE(station.Took());
        ExpectError(
            [&] {
                t->Append({Value(int64_t{11}), Value("late")});
            },
            err::kFileInUse, "Patients.cdx' is in use");
    }
    t->Flush();
    EXPECT_EQ(Files(dir.Path()), before);
    EXPECT_EQ(t->RecordCount(), 10u);
    {
        FoxWorkstation station(file, {FoxHeaderByte()});
        ASSERT_TRUE(station.Took());
        t->Overwrite(0, t->ReadRecord(0).values);  // a record write does not need the header
    }
    FoxWorkstation station(file, {FoxHeaderByte()}, milliseconds(200));
    ASSERT_TRUE(station.Took());
    auto appender = Table::Open(file, OpenMode::Shared, milliseconds(20000));
    EXPECT_EQ(appender->Append({Value(int64_t{11}), Value("in time")}), 10u);
}

TEST(FoxProLocks, ExclusiveUsePackAndDeleteAllNeedTheWholeTable) {
    for (bool indexed : {true, false}) {
        SCOPED_TRACE(indexed ? "structural index" : "no index");
        testing_support::TempDir dir;
        const fs::path file = MakePatients(dir, indexed);
        {
            auto shared = Table::Open(file, OpenMode::Shared, milliseconds(200));
            shared->SetDeleted(2, true);
            shared->Flush();
            const auto before = Files(dir.Path());
            FoxWorkstation station(file, {FoxRecordByte(9)});
            ASSERT_TRUE(station.Took());
            ExpectError([&] { Table::Open(file, OpenMode::Exclusive, milliseconds(200)); }, err::kFileInUse,
                        "Patients.dbf");
            ExpectError([&] { shared->Pack(); }, err::kFileInUse, "Patients.dbf");
            ExpectError([&] { shared->DeleteAll(); }, err::kFileInUse, "Patients.dbf");
            if (indexed) ExpectError([&] { shared->Reindex(); }, err::kFileInUse, "Patients.dbf");
            EXPECT_EQ(Files(dir.Path()), before);
            // The table is shared as before.
            shared->SetDeleted(3, true);
        }
        // Free again: exclusive use holds the whole range until the table is closed.
        auto t = Table::Open(file, OpenMode::Exclusive);
        EXPECT_TRUE(LockedForOthers(file, {0x7FFFFFFE, 1}));
        EXPECT_TRUE(LockedForOthers(file, {indexed ? 0x78000000u : 0x40000000u, 1}));
        t->Pack();
        EXPECT_TRUE(LockedForOthers(file, FoxRecordByte(5))) << "the packed file is held too";
        EXPECT_EQ(t->RecordCount(), 8u);
        t->DeleteAll();
        t->Close();
        EXPECT_FALSE(LockedForOthers(file, {0x40000000, 0x3FFFFFFF}));
        auto after = Table::Open(file);
        for (uint32_t i = 0; i < after->RecordCount(); ++i) EXPECT_TRUE(after->IsDeleted(i));
    }
}

TEST(FoxProLocks, OtherProcessesSeeTheEngineHoldFoxProsBytesExactlyWhileItWrites) {
    testing_support::TempDir dir;
    const fs::path file = MakePatients(dir);
    const fs::path index = dir / "Patients.cdx";
    struct Seen {
        bool header = false, record5 = false, record4 = false, record6 = false, index = false;
    };
    std::vector<Seen> seen;
    dbf::SetFoxLockHook([&](const char* what) {
        if (std::string(what) != "write") return;
        seen.push_back({LockedForOthers(file, FoxHeaderByte()), LockedForOthers(file, FoxRecordByte(5)),
                        LockedForOthers(file, FoxRecordByte(4)), LockedForOthers(file, FoxRecordByte(6)),
                        LockedForOthers(index, FoxHeaderByte())});
    });
    {
        auto t = Table::Open(file);
        t->Append({Value(int64_t{11}), Value("new")});
        t->Overwrite(4, {Value(int64_t{50}), Value("five")});
        t->SetDeleted(std::vector<uint32_t>{3, 4, 5}, true);
    }
    dbf::SetFoxLockHook(nullptr);
    ASSERT_EQ(seen.size(), 3u);
    // Append: the header and the index, no record.
    EXPECT_TRUE(seen[0].header && seen[0].index);
    EXPECT_FALSE(seen[0].record5 || seen[0].record4);
    // Overwrite of record 5: its byte and the index, neither neighbour nor the header.
    EXPECT_TRUE(seen[1].record5 && seen[1].index);
    EXPECT_FALSE(seen[1].header || seen[1].record4 || seen[1].record6);
    // Marking records 4 to 6 (no tag reads DELETED(): the index is not touched).
    EXPECT_TRUE(seen[2].record4 && seen[2].record5 && seen[2].record6);
    EXPECT_FALSE(seen[2].header || seen[2].index);
    // Nothing is held after the writes.
    EXPECT_FALSE(LockedForOthers(file, {0x40000000, 0x3FFFFFFF}));
    EXPECT_FALSE(LockedForOthers(index, FoxHeaderByte()));
}

// Starts action in a child process, which exits with 0 when it ran through, with the engine
// error's number (modulo 200) or 200 otherwise.
pid_t Spawn(const std::function<void()>& action) {
    const pid_t child = fork();
    if (child == 0) {
        int code = 0;
        try {
            action();
        } catch (const Error& e) {
            code = static_cast<int>(e.Number() % 200);
        } catch (...) {
            code = 200;
        }
        _exit(code);
    }
    return child;
}

// The child's exit code, or -1 when it did not end within limit (it is killed then).
int Reap(pid_t child, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FoxProLocks, ProcessesLockingInOppositeOrdersNeverHang) {
    testing_support::TempDir dir;
    const fs::path file = MakePatients(dir);
    // Two engine processes change records 2 and 9 in opposite orders, and append, many times.
    auto writer = [&](bool reverse) {
        return [&, reverse] {
            auto t = Table::Open(file, OpenMode::Shared, milliseconds(20000));
            for (int i = 0; i < 150; ++i) {
                std::vector<sql::RecordChange> batch{{1, {{1, Value("a" + std::to_string(i))}}},
                                                     {8, {{1, Value("b" + std::to_string(i))}}}};
                if (reverse) std::swap(batch[0], batch[1]);
                t->Change(batch);
                if (i % 10 == 0) t->Append({Value(int64_t{100 + i}), Value(reverse ? "r" : "f")});
            }
        };
    };
    const pid_t forward = Spawn(writer(false));
    const pid_t backward = Spawn(writer(true));
    EXPECT_EQ(Reap(forward), 0);
    EXPECT_EQ(Reap(backward), 0);
    EXPECT_EQ(Table::Open(file)->RecordCount(), 10u + 30u);

    // A workstation holds record 9 and then waits (without limit) for record 2, while the
    // engine takes record 2 and waits for record 9: the engine's wait ends, it lets go of
    // record 2 having written nothing, and the workstation gets it.
    auto t = Table::Open(file, OpenMode::Shared, milliseconds(1500));
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    const pid_t station = fork();
    if (station == 0) {
        const int fd = ::open(file.c_str(), O_RDWR);
        if (!testing_support::SetClassicLock(fd, F_WRLCK, FoxRecordByte(9))) _exit(1);
        char c = 'y';
        (void)!write(go[1], &c, 1);
        usleep(300000);  // the engine has record 2 by now
        _exit(testing_support::SetClassicLock(fd, F_WRLCK, FoxRecordByte(2), true) ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(read(go[0], &c, 1), 1);
    close(go[0]);
    close(go[1]);
    const auto before = ReadFile(file);
    std::vector<sql::RecordChange> batch{{1, {{1, Value("two")}}}, {8, {{1, Value("nine")}}}};
    ExpectError([&] { t->Change(batch); }, err::kRecordInUse, "record 9");
    EXPECT_EQ(ReadFile(file), before);
    EXPECT_EQ(Reap(station), 0);
}

}  // namespace
