// Table::Change, several records as one step: candidate keys may move between the records of
// one change but never end up twice, and a write that fails part way (here: the index file
// may not grow) puts back the records already written. Deletion marks of many records: each
// run of neighbouring records read and written at once, and all marked or none.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/dbf/fault_file_system.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using testing_support::ReadFile;

std::string Key(int n) { return "key" + std::to_string(n) + std::string(30, '-'); }

// A table of count rows with a candidate tag on its C(40) field and a plain tag on its number.
std::filesystem::path MakeTable(const testing_support::TempDir& dir, int count) {
    const auto path = dir / "keys.dbf";
    auto t = engine::Table::Create(path, {{.name = "CODE", .type = 'C', .length = 40}, {.name = "N", .type = 'I'}});
    for (int i = 0; i < count; ++i) t->Append({Value(Key(i)), Value(i)});
    t->CreateIndex({{.name = "CODE", .expression = "CODE", .candidate = true}, {.name = "N", .expression = "N"}});
    return path;
}

engine::sql::RecordChange Set(uint32_t record, std::string code) {
    return engine::sql::RecordChange{record, {{0, Value(std::move(code))}}};
}

TEST(TableChange, KeysMayMoveBetweenRecordsOfOneChangeButNeverDouble) {
    testing_support::TempDir dir;
    const auto path = MakeTable(dir, 3);
    auto t = engine::Table::Open(path, engine::OpenMode::Exclusive);
    t->Change({Set(0, Key(1)), Set(1, Key(0))});  // a swap
    EXPECT_EQ(t->ReadValue(0, 0), Value(Key(1) + "      "));
    EXPECT_EQ(t->ReadValue(1, 0), Value(Key(0) + "      "));
    const std::string before = ReadFile(path);
    testing_support::ExpectError(
        [&] {
            t->Change({Set(0, Key(7)), Set(2, Key(7))});
        },
        engine::err::kUniqueViolated, "CODE");
    testing_support::ExpectError(
        [&] {
            t->Change({Set(0, Key(9)), Set(1, Key(2))});
        },
        engine::err::kUniqueViolated, "CODE");
    EXPECT_EQ(ReadFile(path), before);
    for (size_t tag = 0; tag < 2; ++tag) EXPECT_EQ(t->IndexEntries(tag), t->ExpectedIndexEntries(tag));
}

TEST(TableChange, AWriteFailingPartWayPutsBackTheRecordsAlreadyWritten) {
    testing_support::TempDir dir;
    const auto path = MakeTable(dir, 400);
    const auto index = dir / "keys.cdx";
    const std::string before = ReadFile(path);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // New keys need new index nodes, and the index file may grow by a few nodes only: a
        // write fails after some records are written.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{ReadFile(index).size() + 8 * 512, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        int status = 2;  // no error
        try {
            auto t = engine::Table::Open(path, engine::OpenMode::Exclusive);
            std::vector<engine::sql::RecordChange> changes;
            for (uint32_t r = 0; r < 400; ++r)
                changes.push_back(Set(r, "new" + std::to_string(r) + std::string(30, '+')));
            t->Change(changes);
        } catch (const engine::Error&) {
            status = ReadFile(path) == before ? 0 : 3;
        }
        _exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: the change did not fail; 3: the table was left changed";
    EXPECT_EQ(ReadFile(path), before);
    auto t = engine::Table::Open(path, engine::OpenMode::Exclusive);  // rebuilds an index left half-changed
    for (size_t tag = 0; tag < 2; ++tag) EXPECT_EQ(t->IndexEntries(tag), t->ExpectedIndexEntries(tag));
}

// Marks set for scattered records and runs of neighbours (given in any order, some twice)
// change the marks of those records only; a write refused after the first run puts back the
// marks already written.
TEST(TableChange, MarksOfManyRecordsChangeThoseRecordsOnlyAndAllOrNone) {
    testing_support::TempDir dir;
    const auto path = dir / "marks.dbf";
    {
        auto t = engine::Table::Create(path, {{.name = "CODE", .type = 'C', .length = 40}, {.name = "N", .type = 'I'}});
        for (int i = 0; i < 3000; ++i) t->Append({Value(Key(i)), Value(i)});
    }
    std::vector<uint32_t> records = {2999, 7, 8, 9, 10, 500, 0, 9};
    for (uint32_t r = 1000; r < 2900; ++r) records.push_back(r);  // more than one read's worth
    const std::string before = ReadFile(path);
    {
        engine::dbf::FaultyFileSystem faults;
        faults.FailCall(engine::dbf::FaultyFileSystem::Op::Write, "marks.dbf", 3, EIO);
        engine::dbf::ScopedFileSystem scoped(faults);
        auto t = engine::Table::Open(path, engine::OpenMode::Shared);
        EXPECT_THROW(t->SetDeleted(records, true), engine::Error);
    }
    EXPECT_EQ(ReadFile(path), before);
    auto t = engine::Table::Open(path, engine::OpenMode::Shared);
    for (uint32_t r : {0u, 1u, 2999u}) EXPECT_FALSE(t->IsDeleted(r));  // read into the cache before
    t->SetDeleted(records, true);
    std::string expected = before;
    const size_t headerLength = static_cast<unsigned char>(before[8]) | static_cast<unsigned char>(before[9]) << 8;
    for (uint32_t r : records) expected[headerLength + size_t(r) * 45] = '*';
    EXPECT_EQ(ReadFile(path), expected);
    for (uint32_t r = 0; r < 3000; ++r)
        ASSERT_EQ(t->IsDeleted(r), std::find(records.begin(), records.end(), r) != records.end()) << r;
    t->SetDeleted(records, false);
    EXPECT_EQ(ReadFile(path), before);
}

}  // namespace
