// The in-memory file system beneath the engine: what the tables rely on of a local disk —
// a rename over a file another handle holds open, a second name by a link, truncate then
// read, two handles on one file, open-file locks between handles — and a table written, packed and opened again on
// it, with nothing of it reaching the disk.
#include <gtest/gtest.h>

#include <cerrno>

#include "engine/dbf/file_io.h"
#include "engine/dbf/memory_file_system.h"
#include "engine/dbf/table.h"
#include "engine/error.h"

namespace {

using namespace engine;
using dbf::File;
using dbf::MemoryFileSystem;

std::string ReadAll(const File& f) {
    std::string bytes(f.Size(), '\0');
    f.ReadAt(0, bytes.data(), bytes.size(), err::kFileAccess);
    return bytes;
}

TEST(MemoryFileSystem, ARenameOverAFileLeavesItsOpenHandleReadingTheOldOne) {
    MemoryFileSystem memory;
    dbf::ScopedFileSystem scoped(memory);
    memory.WriteFile("/d/t.dbf", "old");
    memory.WriteFile("/d/t.new", "new!");
    File old("/d/t.dbf", File::Access::ReadWrite);
    dbf::RenameFile("/d/t.new", "/d/t.dbf");

    EXPECT_FALSE(old.StillAtPath());
    EXPECT_EQ(ReadAll(old), "old");
    EXPECT_EQ(memory.ReadFile("/d/t.dbf"), "new!");
    EXPECT_FALSE(dbf::PathExists("/d/t.new"));
    EXPECT_EQ(dbf::FolderNames("/d"), std::vector<std::string>{"t.dbf"});
    EXPECT_TRUE(File("/d/t.dbf", File::Access::Read).StillAtPath());
    // The folder's listing is there for the lookup that ignores case.
    EXPECT_EQ(FindFileNoCase("/d", "T.DBF"), std::filesystem::path("/d/t.dbf"));
    // Every spelling of a path names the one file.
    for (const char* spelling : {"/d//t.dbf", "/d/./t.dbf", "/e/../d/t.dbf", "d/t.dbf", "/d/x/.."})
        EXPECT_TRUE(dbf::PathExists(spelling)) << spelling;
    EXPECT_EQ(memory.ReadFile("//d/./t.dbf"), "new!");
    // Writing a file makes the folders above it.
    memory.WriteFile("/n/e/s.dbf", "deep");
    EXPECT_TRUE(dbf::PathIsFolder("/n/e"));
    EXPECT_EQ(dbf::FolderNames("/n"), std::vector<std::string>{"e"});
    EXPECT_EQ(dbf::FolderNames("/n/e"), std::vector<std::string>{"s.dbf"});
}

TEST(MemoryFileSystem, ALinkIsASecondNameOfTheFileThatOutlivesTheFirst) {
    MemoryFileSystem memory;
    dbf::ScopedFileSystem scoped(memory);
    memory.WriteFile("/d/n.rtf", "notes");
    memory.WriteFile("/a/other.rtf", "other");
    ASSERT_EQ(memory.Link("/d/n.rtf", "/a/n.rtf"), 0);
    EXPECT_TRUE(dbf::SameFile("/d/n.rtf", "/a/n.rtf"));
    EXPECT_EQ(memory.Link("/d/n.rtf", "/a/other.rtf"), -1);  // a name taken
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(memory.Link("/d/missing.rtf", "/a/m.rtf"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(memory.Link("/d", "/a/d"), -1);  // folders have one name
    EXPECT_EQ(errno, EPERM);
    ASSERT_TRUE(dbf::RemovePath("/d/n.rtf"));
    EXPECT_EQ(memory.ReadFile("/a/n.rtf"), "notes");
}

TEST(MemoryFileSystem, TwoHandlesOnOneFileSeeEachOthersWritesTruncationAndLocks) {
    MemoryFileSystem memory;
    dbf::ScopedFileSystem scoped(memory);
    memory.WriteFile("/t.dbf", "");
    File a("/t.dbf", File::Access::ReadWrite);
    File b("t.dbf", File::Access::ReadWrite);  // a relative name is taken from the root
    EXPECT_EQ(a.Identity(), b.Identity());

    a.WriteAt(4, "xy", 2);  // past the end: the gap reads as zeros
    EXPECT_EQ(ReadAll(b), std::string("\0\0\0\0xy", 6));
    b.Truncate(5);
    EXPECT_EQ(a.Size(), 5u);
    EXPECT_EQ(ReadAll(a), std::string("\0\0\0\0x", 5));
    b.Truncate(0);
    char byte = 0;
    EXPECT_EQ(a.ReadSome(0, &byte, 1), 0u);
    EXPECT_THROW(a.ReadAt(0, &byte, 1, err::kFileAccess), Error);

    ASSERT_TRUE(a.TryLock(10, 5, true));
    EXPECT_FALSE(b.TryLock(14, 1, false));
    EXPECT_TRUE(b.TryLock(15, 1, true)) << "a range next to the held one is free";
    a.Unlock(10, 2);
    EXPECT_TRUE(b.TryLock(10, 2, false));
    EXPECT_FALSE(b.TryLock(12, 1, false)) << "the rest of the range stays locked";
    a.Close();
    EXPECT_TRUE(b.TryLock(0, 100, true)) << "closing releases the handle's locks";
}

TEST(MemoryFileSystem, ATableIsWrittenPackedAndOpenedAgainWithoutTouchingTheDisk) {
    MemoryFileSystem memory;
    dbf::ScopedFileSystem scoped(memory);
    ASSERT_EQ(memory.MakeFolder("/data", 0755), 0);
    {
        auto t = Table::Create("/data/Notes.dbf", {{.name = "Id", .type = 'I'}, {.name = "Note", .type = 'M'}});
        t->CreateIndex({{.name = "ID", .expression = "Id"}});
        for (int i = 0; i < 30; ++i) t->Append({Value(int64_t{i}), Value(std::string(100 + i, 'n'))}, i % 3 == 0);
        t->Pack();
        t->Close();
    }
    EXPECT_FALSE(std::filesystem::exists("/data/Notes.dbf"));
    auto t = Table::Open("/data/NOTES.DBF", OpenMode::Exclusive);
    ASSERT_EQ(t->RecordCount(), 20u);
    EXPECT_EQ(t->ReadRecord(19).values[1], Value(std::string(129, 'n')));
    t->VerifyIndex();
    EXPECT_THROW(Table::Open("/data/Notes.dbf", OpenMode::Shared, std::chrono::milliseconds(0)), Error)
        << "the exclusive use holds against a second open";
}

}  // namespace
