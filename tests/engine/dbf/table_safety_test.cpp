// Malformed files give a numbered error naming the file and are never written; shared and
// exclusive use exclude each other across connections and processes; a pack killed at any
// instant leaves the table wholly as before or wholly as after.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace {

using namespace engine;
namespace fs = std::filesystem;
using testing_support::ExpectError;
using testing_support::ReadFile;
using testing_support::WriteFile;

void MakeTable(const fs::path& file, int rows, int deletedEvery = 3) {
    auto t = Table::Create(
        file,
        {{.name = "PtNum", .type = 'I'}, {.name = "Name", .type = 'C', .length = 10}, {.name = "Note", .type = 'M'}});
    for (int i = 0; i < rows; ++i)
        t->Append({Value(int64_t{i}), Value("row" + std::to_string(i)), Value(std::string(40 + i % 90, 'a' + i % 26))},
                  i % deletedEvery == 1);
}

TEST(TableSafety, MalformedFilesGiveNumberedErrorsNamingTheFileAndStayUnchanged) {
    testing_support::TempDir dir;
    MakeTable(dir / "good.dbf", 5);
    const std::string good = ReadFile(dir / "good.dbf");
    auto variant = [&](const std::string& name, std::string bytes) {
        WriteFile(dir / name, bytes);
        return dir / name;
    };
    auto open = [](const fs::path& p) { return [p] { Table::Open(p)->ReadRecord(0); }; };
    ExpectError(open(variant("short.dbf", good.substr(0, 20))), err::kCorruptTable, "short.dbf");
    ExpectError(open(variant("cut.dbf", good.substr(0, 200))), err::kCorruptTable, "cut.dbf");
    std::string count = good;
    count[4] = '\x7F';
    ExpectError(open(variant("count.dbf", count)), err::kCorruptTable, "count.dbf");
    std::string descriptors = good;
    descriptors[8] = 80;  // header length ends inside the second descriptor
    descriptors[9] = 0;
    ExpectError(open(variant("desc.dbf", descriptors)), err::kCorruptTable, "desc.dbf");
    ExpectError(open(variant("notatable.dbf", "\x99" + good.substr(1))), err::kNotATable, "notatable.dbf");
    const auto before = ReadFile(dir / "desc.dbf");
    EXPECT_EQ(ReadFile(dir / "desc.dbf"), before);

    // A memo pointer past the end of the memo file, and a memo length past its end.
    fs::copy_file(dir / "good.dbf", dir / "memo.dbf");
    std::string memo = ReadFile(dir / "good.fpt");
    WriteFile(dir / "memo.fpt", memo.substr(0, memo.size() - 200));
    ExpectError([&] { Table::Open(dir / "memo.dbf")->ReadRecord(3); }, err::kCorruptMemo, "memo.fpt");
    memo[512 + 4] = '\x7F';  // length of the first memo
    WriteFile(dir / "memo.fpt", memo);
    ExpectError([&] { Table::Open(dir / "memo.dbf")->ReadRecord(0); }, err::kCorruptMemo, "memo.fpt");

    // A broken container: not a table at all, and a table record with a broken property list.
    WriteFile(dir / "broken.dbc", "garbage");
    ExpectError([&] { Container::Open(dir / "broken.dbc"); }, err::kCorruptContainer, "broken.dbc");
    {
        auto dbc = Container::Create(dir / "bad.dbc");
        dbc->CreateTable("T", "t.dbf", {{.name = "A", .type = 'I'}});
    }
    {
        auto raw = Table::Open(dir / "bad.dbc", OpenMode::Exclusive);
        auto values = raw->ReadRecord(5).values;
        values[4] = Value(Bytes{200, 0, 0, 0, 1, 0, 1, 'x'});
        raw->Overwrite(5, values);
    }
    ExpectError([&] { Container::Open(dir / "bad.dbc")->Tables(); }, err::kCorruptContainer, "bad.dbc");
}

TEST(TableSafety, ExclusiveUseAndPackAreRefusedWhileAnotherConnectionHoldsTheTable) {
    testing_support::TempDir dir;
    MakeTable(dir / "Case.dbf", 6);
    const std::string before = ReadFile(dir / "Case.dbf");
    auto shared1 = Table::Open(dir / "Case.dbf");
    auto shared2 = Table::Open(dir / "CASE.DBF");
    ExpectError([&] { Table::Open(dir / "Case.dbf", OpenMode::Exclusive); }, err::kFileInUse, "Case.dbf");
    ExpectError([&] { shared1->Pack(); }, err::kFileInUse, "Case.dbf");
    EXPECT_EQ(ReadFile(dir / "Case.dbf"), before);
    shared2.reset();
    shared1->Pack();  // now the only user
    EXPECT_EQ(shared1->RecordCount(), 4u);
    auto again = Table::Open(dir / "Case.dbf");  // shared use is back after the pack
    EXPECT_EQ(again->RecordCount(), 4u);
    ExpectError([&] { Table::Open(dir / "Case.dbf", OpenMode::Exclusive); }, err::kFileInUse, "Case.dbf");

    // Another process holding the table shared.
    shared1.reset();
    again.reset();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        auto held = Table::Open(dir / "Case.dbf");
        char c = 'x';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ExpectError([&] { Table::Open(dir / "Case.dbf", OpenMode::Exclusive); }, err::kFileInUse, "Case.dbf");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_NO_THROW(Table::Open(dir / "Case.dbf", OpenMode::Exclusive));
    close(ready[0]);
    close(ready[1]);
}

TEST(TableSafety, AppendsFromTwoConnectionsKeepCountsAndMemosApart) {
    testing_support::TempDir dir;
    MakeTable(dir / "t.dbf", 0);
    auto a = Table::Open(dir / "t.dbf");
    auto b = Table::Open(dir / "t.dbf");
    for (int i = 0; i < 10; ++i) {
        (i % 2 ? a : b)->Append({Value(int64_t{i}), Value("x"), Value("memo " + std::to_string(i))});
    }
    a->Refresh();
    ASSERT_EQ(a->RecordCount(), 10u);
    for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(a->ReadValue(i, 2), Value("memo " + std::to_string(i)));
}

std::vector<Record> AllRecords(const fs::path& file) {
    auto t = Table::Open(file);
    std::vector<Record> rows;
    for (uint32_t i = 0; i < t->RecordCount(); ++i) rows.push_back(t->ReadRecord(i));
    return rows;
}

TEST(TableSafety, APackKilledAtAnyInstantLeavesTheTableWhollyBeforeOrAfter) {
    testing_support::TempDir dir;
    const fs::path file = dir / "Pack.dbf";
    MakeTable(dir / "template.dbf", 3000);
    const std::vector<Record> before = AllRecords(dir / "template.dbf");
    std::vector<Record> after;
    for (const auto& r : before)
        if (!r.deleted) after.push_back(r);
    for (auto& r : after) r.deleted = false;

    auto reset = [&] {
        for (const auto& e : fs::directory_iterator(dir.Path()))
            if (e.path().filename().string().rfind("Pack.", 0) == 0) fs::remove(e.path());
        fs::copy_file(dir / "template.dbf", file);
        fs::copy_file(dir / "template.fpt", dir / "Pack.fpt");
    };
    // How long an uninterrupted pack takes, to spread the kills over it.
    reset();
    const auto start = std::chrono::steady_clock::now();
    Table::Open(file, OpenMode::Exclusive)->Pack();
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    ASSERT_EQ(AllRecords(file).size(), after.size());

    std::mt19937 random(12345);
    int sawBefore = 0, sawAfter = 0;
    for (int round = 0; round < 60; ++round) {
        reset();
        const pid_t child = fork();
        if (child == 0) {
            try {
                Table::Open(file, OpenMode::Exclusive)->Pack();
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        // Up to twice the measured span: a child's pack on a loaded machine takes longer than
        // the one measured, and some kills must come after it has finished.
        std::uniform_int_distribution<long> delay(0, span.count() * 2 + 1000);
        usleep(static_cast<useconds_t>(delay(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const auto rows = AllRecords(file);
        if (rows.size() == before.size()) {
            ASSERT_EQ(rows.size(), before.size());
            for (size_t i = 0; i < rows.size(); ++i) {
                ASSERT_EQ(rows[i].deleted, before[i].deleted) << "round " << round;
                if (!rows[i].deleted) {
                    ASSERT_EQ(rows[i].values, before[i].values) << "round " << round;
                }
            }
            ++sawBefore;
        } else {
            ASSERT_EQ(rows.size(), after.size()) << "round " << round;
            for (size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i].values, after[i].values) << "round " << round;
            ++sawAfter;
        }
        for (const auto& e : fs::directory_iterator(dir.Path()))
            EXPECT_EQ(e.path().string().find(".pack-"), std::string::npos) << e.path();
    }
    EXPECT_GT(sawBefore, 0);
    EXPECT_GT(sawAfter, 0);
}

}  // namespace
