// Damaged tables, memos and indexes: whatever bytes a file holds, opening and reading it either
// works or raises engine::Error, and writes refuse rather than spread the damage.
#include <gtest/gtest.h>

#include <random>

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

// A table with a field of every kind the practice tables use, a memo and a structural index.
void MakeTable(const fs::path& file) {
    auto t = Table::Create(file, {{.name = "ID", .type = 'I'},
                                  {.name = "NAME", .type = 'C', .length = 12},
                                  {.name = "AMOUNT", .type = 'N', .length = 8, .decimals = 2},
                                  {.name = "BORN", .type = 'D'},
                                  {.name = "SEEN", .type = 'T', .nullable = true},
                                  {.name = "PAID", .type = 'Y'},
                                  {.name = "OK", .type = 'L'},
                                  {.name = "NICK", .type = 'V', .length = 10, .nullable = true},
                                  {.name = "NOTE", .type = 'M'}});
    for (int i = 0; i < 12; ++i)
        t->Append({Value(int64_t{i}), Value("name" + std::to_string(i)), Value(i * 1.25),
                   Value(Date{JulianDayFromYmd(1960 + i, 1 + i % 12, 1 + i)}),
                   i % 3 ? Value(DateTime{2460000 + i, 1000}) : Value(), Value(Currency{i * 10000}), Value(i % 2 == 0),
                   Value("n" + std::to_string(i)), Value(std::string(30 + 17 * i, 'm'))},
                  i % 5 == 4);
    t->CreateIndex({{.name = "ID", .expression = "ID"},
                    {.name = "NAME", .expression = "UPPER(NAME)", .forExpression = "!DELETED()"},
                    {.name = "BORN", .expression = "DTOS(BORN)+STR(ID,3)"}});
}

// Opens the table, reads every record and value, then appends, changes and marks one row.
void UseFully(const fs::path& file) {
    auto t = Table::Open(file, OpenMode::Exclusive);
    std::vector<Value> first;
    for (uint32_t i = 0; i < t->RecordCount(); ++i) {
        try {
            auto record = t->ReadRecord(i);
            if (first.empty()) first = record.values;
        } catch (const Error&) {
        }
    }
    try {
        t->VerifyIndex();
    } catch (const Error&) {
    }
    try {
        t->Append(first);
    } catch (const Error&) {
    }
    try {
        t->Overwrite(0, first);
        t->SetDeleted(0, true);
    } catch (const Error&) {
    }
}

// Byte offset of field number index's descriptor in a table file.
size_t Descriptor(int index) { return 32 + 32 * static_cast<size_t>(index); }

TEST(DamagedFiles, AFieldShorterOrLongerThanItsTypeStoresIsRefusedOnOpen) {
    testing_support::TempDir dir;
    MakeTable(dir / "good.dbf");
    const std::string good = ReadFile(dir / "good.dbf");
    // ID (I), BORN (D), SEEN (T), PAID (Y) and NOTE (M): the codec reads and writes 4 or 8 bytes.
    const std::pair<int, std::string> cases[] = {{0, "'ID' of type I has length 2 instead of 4"},
                                                 {3, "'BORN' of type D has length 2 instead of 8"},
                                                 {4, "'SEEN' of type T has length 2 instead of 8"},
                                                 {5, "'PAID' of type Y has length 2 instead of 8"},
                                                 {8, "'NOTE' of type M has length 2 instead of 4"}};
    for (const auto& [field, text] : cases) {
        std::string bytes = good;
        bytes[Descriptor(field) + 16] = 2;
        const std::string name = "f" + std::to_string(field) + ".dbf";
        WriteFile(dir / name, bytes);
        fs::copy_file(dir / "good.fpt", dir / ("f" + std::to_string(field) + ".fpt"));
        ExpectError([&] { Table::Open(dir / name); }, err::kCorruptTable, name);
        try {
            Table::Open(dir / name);
        } catch (const Error& e) {
            EXPECT_NE(e.Description().find(text), std::string::npos) << e.Description();
        }
    }
}

TEST(DamagedFiles, ANumericFieldWiderThanSixtyFourIsWrittenWhole) {
    testing_support::TempDir dir;
    {
        auto t = Table::Create(dir / "wide.dbf", {{.name = "AMOUNT", .type = 'C', .length = 100}});
        t->Append({Value("1")});
    }
    // Other programs write numeric fields wider than 20; the whole width is padded on write.
    std::string bytes = ReadFile(dir / "wide.dbf");
    bytes[Descriptor(0) + 11] = 'N';
    WriteFile(dir / "wide.dbf", bytes);
    auto t = Table::Open(dir / "wide.dbf", OpenMode::Exclusive);
    t->Overwrite(0, {Value(int64_t{-123456789})});
    t->Append({Value(int64_t{42})});
    EXPECT_EQ(t->ReadValue(0, 0), Value(int64_t{-123456789}));
    EXPECT_EQ(t->ReadValue(1, 0), Value(int64_t{42}));
    const std::string stored = ReadFile(dir / "wide.dbf");
    const size_t record = stored.size() - 1 - 2 * 101;  // two records of 101 bytes and the end mark
    EXPECT_EQ(stored.substr(record + 1, 100), std::string(90, ' ') + "-123456789");
}

TEST(DamagedFiles, ADateTimeOnADayNoCalendarHasReadsAsADamagedEmptyValue) {
    testing_support::TempDir dir;
    Table::Create(dir / "t.dbf", {{.name = "SEEN", .type = 'T'}})->Append({Value(DateTime{2460000, 1000})});
    std::string bytes = ReadFile(dir / "t.dbf");
    const size_t field = 32 + 32 + 1 + 263 + 1;  // header, one descriptor, end mark, back link, deletion flag
    const std::string stored = "\xFF\xFF\xFF\x7F\x70\x5A\x26\x05";  // day 2^31-1, 86399.6 s
    bytes.replace(field, 8, stored);
    WriteFile(dir / "t.dbf", bytes);
    EXPECT_EQ(Table::Open(dir / "t.dbf")->ReadValue(0, 0), Value(DateTime{0, 0, true}));
}

TEST(DamagedFiles, AMemoHeaderThatNamesAFreeBlockInUseOrInsideItselfNeverOverwritesIt) {
    testing_support::TempDir dir;
    MakeTable(dir / "t.dbf");
    std::string memo = ReadFile(dir / "t.fpt");
    const std::string header = memo.substr(0, 512);
    // Next free block 1 lies inside the 512-byte header (blocks of 64 bytes).
    memo[0] = memo[1] = memo[2] = 0;
    memo[3] = 1;
    WriteFile(dir / "t.fpt", memo);
    {
        auto t = Table::Open(dir / "t.dbf", OpenMode::Exclusive);
        auto values = t->ReadRecord(1).values;
        values.back() = Value(std::string(10, 'q'));
        ExpectError([&] { t->Overwrite(1, values); }, err::kCorruptMemo, "t.fpt");
    }
    EXPECT_EQ(ReadFile(dir / "t.fpt"), memo);

    // Next free block 8 is the first block after the header, which the first memo uses.
    memo[3] = 8;
    WriteFile(dir / "t.fpt", memo);
    auto t = Table::Open(dir / "t.dbf", OpenMode::Exclusive);
    const auto before = t->ReadRecord(0).values;
    auto changed = t->ReadRecord(3).values;
    changed.back() = Value(std::string(200, 'z'));
    t->Overwrite(3, changed);
    EXPECT_EQ(t->ReadRecord(0).values, before);
    EXPECT_EQ(t->ReadValue(3, 8), Value(std::string(200, 'z')));
}

TEST(DamagedFiles, AMemoHeaderNamingAFreeBlockFarPastTheEndNeitherGrowsTheFileNorLetsPackAllocateIt) {
    testing_support::TempDir dir;
    MakeTable(dir / "t.dbf");
    std::string memo = ReadFile(dir / "t.fpt");
    // Next free block 0x10000000 of 64 bytes: 16 GB past a file of a few KB.
    memo.replace(0, 4, std::string("\x10\x00\x00\x00", 4));
    // Record 2's memo block claims 0x90000000 bytes (2.4 GB).
    const std::string table = ReadFile(dir / "t.dbf");
    const auto le = [&](size_t at, int bytes) {
        uint32_t v = 0;
        for (int b = bytes - 1; b >= 0; --b) v = v << 8 | uint8_t(table[at + b]);
        return v;
    };
    // Header length, record length, and NOTE's place in the record (its descriptor's displacement).
    const size_t block = le(le(8, 2) + 2 * le(10, 2) + le(Descriptor(8) + 12, 4), 4);
    memo.replace(block * 64 + 4, 4, std::string("\x90\x00\x00\x00", 4));
    WriteFile(dir / "t.fpt", memo);
    const uintmax_t size = fs::file_size(dir / "t.fpt");

    auto t = Table::Open(dir / "t.dbf", OpenMode::Exclusive);
    ExpectError([&] { t->ReadRecord(2); }, err::kCorruptMemo, "t.fpt");
    auto values = t->ReadRecord(1).values;
    values.back() = Value(std::string(100, 'q'));
    t->Overwrite(1, values);
    EXPECT_EQ(t->ReadValue(1, 8), Value(std::string(100, 'q')));
    // The new value went at the end of the file, not 16 GB on.
    ASSERT_LT(fs::file_size(dir / "t.fpt"), size + 1024);
    // Packing reads every kept memo: the damaged length is refused and the table left whole.
    ExpectError([&] { t->Pack(); }, err::kCorruptMemo, "t.fpt");
    EXPECT_EQ(t->RecordCount(), 12u);
    EXPECT_EQ(t->ReadValue(1, 8), Value(std::string(100, 'q')));
}

TEST(DamagedFiles, SeededFlipsAndCutsOfTableMemoAndIndexGiveErrorsNeverCrashes) {
    testing_support::TempDir source;
    MakeTable(source / "t.dbf");
    const std::string names[] = {"t.dbf", "t.fpt", "t.cdx"};
    std::string good[3];
    for (int f = 0; f < 3; ++f) good[f] = ReadFile(source / names[f]);
    ASSERT_FALSE(good[2].empty());

    std::mt19937 rng(20240611);
    int opened = 0, refused = 0;
    for (int round = 0; round < 300; ++round) {
        testing_support::TempDir dir;
        const int target = round % 3;
        for (int f = 0; f < 3; ++f) {
            std::string bytes = good[f];
            if (f == target) {
                if (round % 7 == 6) {
                    bytes.resize(rng() % bytes.size());
                } else {
                    // Mostly the headers and descriptors, where lengths and counts live.
                    const size_t span = round % 2 ? bytes.size() : std::min<size_t>(bytes.size(), 1024);
                    for (int i = 0, n = 1 + int(rng() % 6); i < n; ++i) bytes[rng() % span] = static_cast<char>(rng());
                }
            }
            WriteFile(dir / names[f], bytes);
        }
        try {
            UseFully(dir / "t.dbf");
            ++opened;
        } catch (const Error& e) {
            EXPECT_NE(e.Number(), 0) << e.Description();
            ++refused;
        }
        // What the writes left behind opens again or is refused; it never crashes.
        try {
            auto again = Table::Open(dir / "t.dbf");
            for (uint32_t i = 0; i < again->RecordCount(); ++i) again->ReadRecord(i);
        } catch (const Error&) {
        }
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
}

}  // namespace
