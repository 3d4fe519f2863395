#include <gtest/gtest.h>

#include <filesystem>

#include "common/files.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace common;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {
fs::perms Perms(const fs::path& p) { return fs::status(p).permissions(); }
constexpr fs::perms kAnyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
}  // namespace

TEST(AddSubFolder, CreatesNamedOrNewFolderAndIgnoresFailures) {
    TempDir dir;
    AddSubFolder(dir.Str(), "Notes");
    AddSubFolder(dir.Str());
    EXPECT_TRUE(fs::is_directory(dir / "Notes"));
    EXPECT_TRUE(fs::is_directory(dir / "New Folder"));
    AddSubFolder(dir.Str(), "Notes");                   // exists: no error
    AddSubFolder((dir / "missing").string(), "Notes");  // parent missing: no error
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(MakePath, CreatesTheWholeMissingChain) {
    TempDir dir;
    fs::create_directory(dir / "a");
    EXPECT_TRUE(MakePath((dir / "a/b/c").string()));
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
    EXPECT_TRUE(MakePath((dir / "a/b/c").string() + "/"));  // all there already
    EXPECT_TRUE(MakePath((dir / "x/y").string() + "/"));    // trailing separator
    EXPECT_TRUE(fs::is_directory(dir / "x/y"));
}

TEST(MakePath, FalseWhenALevelCannotBeCreated) {
    TempDir dir;
    WriteFile(dir / "file", "not a folder");
    EXPECT_FALSE(MakePath((dir / "file/sub").string()));
    EXPECT_FALSE(MakePath(""));
}

TEST(SetFileAttributes, NormalMakesTheFileWritableByItsOwner) {
    TempDir dir;
    const fs::path file = dir / "IdentFil.dbf";
    WriteFile(file, "x");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_TRUE(SetFileAttributes(file.string(), kAttrNormal));
    EXPECT_EQ(Perms(file), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(SetFileAttributes, ReadOnlyClearsEveryWriteBitAndOtherBitsAreIgnored) {
    TempDir dir;
    const fs::path file = dir / "Folders.xml";
    WriteFile(file, "x");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write | fs::perms::others_read);
    EXPECT_TRUE(SetFileAttributes(file.string(), kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive));
    EXPECT_EQ(Perms(file) & kAnyWrite, fs::perms::none);
    EXPECT_EQ(Perms(file), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // Hidden, system and archive alone leave a file writable.
    EXPECT_TRUE(SetFileAttributes(file.string(), kAttrHidden | kAttrArchive));
    EXPECT_NE(Perms(file) & fs::perms::owner_write, fs::perms::none);
    EXPECT_FALSE(SetFileAttributes((dir / "missing.xml").string(), kAttrNormal));
}

TEST(SetFolderFileAttributes, ChangesFilesDirectlyInsideOnly) {
    TempDir dir;
    WriteFile(dir / "a.dbf", "a");
    WriteFile(dir / "b.fpt", "b");
    fs::create_directory(dir / "Notes");
    WriteFile(dir / "Notes/1.rtf", "n");
    for (const char* name : {"a.dbf", "b.fpt", "Notes/1.rtf"}) fs::permissions(dir / name, fs::perms::owner_read);

    EXPECT_TRUE(SetFolderFileAttributes(dir.Str(), kAttrNormal));
    EXPECT_NE(Perms(dir / "a.dbf") & fs::perms::owner_write, fs::perms::none);
    EXPECT_NE(Perms(dir / "b.fpt") & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(Perms(dir / "Notes/1.rtf") & fs::perms::owner_write, fs::perms::none);
    EXPECT_FALSE(SetFolderFileAttributes((dir / "missing").string(), kAttrNormal));
}

TEST(FindInFolder, MatchesExactlyFirstThenIgnoringCase) {
    TempDir dir;
    WriteFile(dir / "CORVANE.XML", "<corvane/>");
    EXPECT_EQ(FindInFolder(dir.Str(), "corvane.xml"), (dir / "CORVANE.XML").string());
    WriteFile(dir / "corvane.xml", "<corvane/>");
    EXPECT_EQ(FindInFolder(dir.Str(), "corvane.xml"), (dir / "corvane.xml").string());
    EXPECT_EQ(FindInFolder(dir.Str(), "Folders.xml"), std::nullopt);
    EXPECT_EQ(FindInFolder((dir / "missing").string(), "corvane.xml"), std::nullopt);
}
