// A disk that says no: a pack refused by the disk at any of its writes, fsyncs, truncations
// or renames leaves the table reading exactly as before; a record update cut short by a full
// disk is reported as an error naming the file and the system's reason; a short write that the
// system then completes loses nothing; an fsync the disk fails is reported.
#include <gtest/gtest.h>

#include <cerrno>

#include "engine/dbf/fault_file_system.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace {

using namespace engine;
using dbf::FaultyFileSystem;
namespace fs = std::filesystem;

struct Contents {
    std::vector<std::vector<Value>> rows;
    std::vector<bool> deleted;
    friend bool operator==(const Contents&, const Contents&) = default;
};

Contents Read(const fs::path& file) {
    auto t = Table::Open(file);
    Contents c;
    for (uint32_t i = 0; i < t->RecordCount(); ++i) {
        c.rows.push_back(t->ReadRecord(i).values);
        c.deleted.push_back(t->IsDeleted(i));
    }
    t->VerifyIndex();
    return c;
}

std::string Note(int i) { return i % 5 == 0 ? std::string() : std::string(i % 3 ? 30 : 900, char('a' + i % 26)); }

// A table with a memo and an index, every third row marked deleted: a pack has work to do.
void MakeTable(const fs::path& file) {
    auto t = Table::Create(
        file,
        {{.name = "Id", .type = 'I'}, {.name = "Name", .type = 'C', .length = 12}, {.name = "Note", .type = 'M'}});
    t->CreateIndex({{.name = "ID", .expression = "Id", .forExpression = ""}});
    for (int i = 0; i < 40; ++i)
        t->Append({Value(int64_t{i}), Value("name" + std::to_string(i)), Value(Note(i))}, i % 3 == 0);
}

// Packs the table on the faulty file system; returns the error text ("" on success).
std::string PackWith(const fs::path& file, FaultyFileSystem& faults) {
    dbf::ScopedFileSystem scoped(faults);
    try {
        auto t = Table::Open(file, OpenMode::Exclusive);
        t->Pack();
        t->Close();
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), err::kFileAccess) << e.Description();
        return e.Description();
    }
    return {};
}

struct PackFault {
    FaultyFileSystem::Op op;
    const char* name;
    int error;
    const char* reason;
};

TEST(FileFaults, APackThatTheDiskRefusesAtAnyCallLeavesTheTableAsItWas) {
    testing_support::TempDir dir;
    const fs::path pristine = dir / "pristine";
    fs::create_directories(pristine);
    MakeTable(pristine / "Notes.dbf");
    const Contents before = Read(pristine / "Notes.dbf");
    Contents packed;
    for (size_t i = 0; i < before.rows.size(); ++i)
        if (!before.deleted[i]) {
            packed.rows.push_back(before.rows[i]);
            packed.deleted.push_back(false);
        }

    // How many calls of each kind a pack makes, from a pack that nobody disturbs.
    auto fresh = [&](const std::string& name) {
        const fs::path folder = dir / name;
        fs::remove_all(folder);
        fs::copy(pristine, folder);
        return folder / "Notes.dbf";
    };
    FaultyFileSystem counting;
    ASSERT_EQ(PackWith(fresh("counted"), counting), "");
    ASSERT_EQ(Read(dir / "counted" / "Notes.dbf"), packed);

    const PackFault kinds[] = {
        {FaultyFileSystem::Op::Write, "write", ENOSPC, "No space left on device"},
        {FaultyFileSystem::Op::Sync, "flush", EIO, "Input/output error"},
        {FaultyFileSystem::Op::Truncate, "resize", ENOSPC, "No space left on device"},
        {FaultyFileSystem::Op::Rename, "rename", EIO, "Input/output error"},
    };
    long failedPacks = 0;
    for (const PackFault& kind : kinds) {
        const long calls = counting.Calls(kind.op);
        for (long nth = 1; nth <= calls; ++nth) {
            SCOPED_TRACE(std::string(kind.name) + " call " + std::to_string(nth) + " of " + std::to_string(calls));
            const fs::path file = fresh("run");
            FaultyFileSystem faults;
            faults.FailCall(kind.op, "", nth, kind.error);
            const std::string error = PackWith(file, faults);
            ASSERT_EQ(faults.FaultsInjected(), 1);
            const Contents after = Read(file);
            if (error.empty()) {
                // Only an fsync of the folder may fail unreported; the pack then is whole.
                EXPECT_EQ(after, packed);
                continue;
            }
            ++failedPacks;
            EXPECT_NE(error.find(kind.reason), std::string::npos) << error;
            EXPECT_NE(error.find("Notes."), std::string::npos) << error;
            // Before the packed table is marked ready nothing has changed; from then on the
            // next open finishes the pack (and an index whose rebuild failed is rebuilt).
            // Never anything between.
            EXPECT_TRUE(after == before || after == packed) << error;
            if (kind.op == FaultyFileSystem::Op::Write && error.find(".cdx") == std::string::npos) {
                EXPECT_EQ(after, before) << error;
            }
        }
    }
    EXPECT_GT(failedPacks, 4);
}

TEST(FileFaults, ADiskFullDuringAPackOfAnyLengthLeavesTheTableAsItWas) {
    testing_support::TempDir dir;
    fs::create_directories(dir / "pristine");
    MakeTable(dir / "pristine" / "Notes.dbf");
    const fs::path file = dir / "run" / "Notes.dbf";
    const Contents before = Read(dir / "pristine" / "Notes.dbf");
    Contents packed;
    for (size_t i = 0; i < before.rows.size(); ++i)
        if (!before.deleted[i]) {
            packed.rows.push_back(before.rows[i]);
            packed.deleted.push_back(false);
        }
    // The new table and memo are written first, then the index of the packed table.
    for (uint64_t room : {0ull, 1ull, 100ull, 700ull, 2000ull, 3000ull, 6000ull}) {
        SCOPED_TRACE(room);
        fs::remove_all(dir / "run");
        fs::copy(dir / "pristine", dir / "run");
        FaultyFileSystem faults;
        faults.FailWritesAfter("", room);
        const std::string error = PackWith(file, faults);
        if (error.empty()) {  // room enough for the whole pack
            EXPECT_EQ(Read(file), packed);
            continue;
        }
        EXPECT_NE(error.find("Cannot write file '"), std::string::npos) << error;
        EXPECT_NE(error.find("': No space left on device."), std::string::npos) << error;
        const Contents after = Read(file);
        if (error.find(".cdx") == std::string::npos) {
            EXPECT_EQ(after, before) << error;
        } else {
            EXPECT_EQ(after, packed) << error;  // the next open rebuilds the index
        }
    }
}

TEST(FileFaults, AnUpdateCutShortByAFullDiskIsAnErrorAndAShortWriteThatIsCompletedLosesNothing) {
    testing_support::TempDir dir;
    const fs::path file = dir / "Notes.dbf";
    MakeTable(file);
    const std::vector<Value> changed = {Value(int64_t{1}), Value("changed-name"), Value(Note(1))};
    {
        FaultyFileSystem faults;
        faults.FailWritesAfter("notes.dbf", 5);
        dbf::ScopedFileSystem scoped(faults);
        auto t = Table::Open(file);
        testing_support::ExpectError([&] { t->Overwrite(1, changed); }, err::kFileAccess,
                                     "Cannot write file '" + file.string() + "': No space left on device.");
    }
    {
        FaultyFileSystem faults;
        faults.ShortWrite("notes.dbf");
        dbf::ScopedFileSystem scoped(faults);
        auto t = Table::Open(file);
        t->Overwrite(2, changed);
        t->Close();
        EXPECT_EQ(faults.FaultsInjected(), 1);
    }
    auto t = Table::Open(file);
    EXPECT_EQ(t->ReadValue(2, 1), Value("changed-name"));
    EXPECT_EQ(t->ReadValue(2, 2), Value(Note(1)));
}

TEST(FileFaults, AFailedFsyncOfATableIsReportedNamingIt) {
    testing_support::TempDir dir;
    const fs::path file = dir / "Notes.dbf";
    MakeTable(file);
    FaultyFileSystem faults;
    faults.FailCall(FaultyFileSystem::Op::Sync, "notes.dbf", 1, EIO);
    dbf::ScopedFileSystem scoped(faults);
    auto t = Table::Open(file);
    // The first file flushed may be the table or one of its companions; each is named.
    testing_support::ExpectError(
        [&] {
            t->Append({Value(int64_t{99}), Value("new"), Value(std::string("memo"))});
            t->Flush();
        },
        err::kFileAccess, "Cannot flush file '" + file.string());
    EXPECT_EQ(faults.FaultsInjected(), 1);
}

}  // namespace
