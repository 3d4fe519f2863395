// Where the archive of a data folder is, found without regard to case, and the messages that
// name why an archive folder cannot be made or used.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive_paths.h"
#include "support/as_other_user.h"
#include "engine/error.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using archive::ArchiveFolderOf;
using testing_support::AsOtherUser;
using testing_support::TempDir;

TEST(ArchiveFolderOf, FindsTheArchiveFolderInAnyCaseAndOtherwiseNamesTheOneToMake) {
    TempDir data;
    EXPECT_EQ(ArchiveFolderOf(data.Str()), data.Str() + "/Archive");
    EXPECT_EQ(ArchiveFolderOf(data.Str() + "/"), data.Str() + "/Archive");

    testing_support::WriteFile(data / "archive", "a file, not a folder");
    EXPECT_EQ(ArchiveFolderOf(data.Str()), data.Str() + "/Archive");
    fs::remove(data / "archive");

    fs::create_directories(data / "ARCHIVE");
    EXPECT_EQ(ArchiveFolderOf(data.Str()), data.Str() + "/ARCHIVE");
    EXPECT_EQ(archive::ArchiveFolderOfDatabase(data.Str() + "/Corvane.dbc"), data.Str() + "/ARCHIVE");
    fs::create_directories(data / "Archive");  // the exact name wins
    EXPECT_EQ(ArchiveFolderOf(data.Str()), data.Str() + "/Archive");
}

TEST(ArchiveFolderOf, AnArchiveIsToBeCreatedUntilItsContainerIsThereInAnyCase) {
    TempDir data;
    const std::string folder = data.Str() + "/ARCHIVE";
    EXPECT_TRUE(archive::ArchiveNeedsCreating(folder));
    archive::MakeArchiveFolder(folder);
    EXPECT_TRUE(fs::is_directory(data / "ARCHIVE" / "Notes"));
    EXPECT_TRUE(archive::ArchiveNeedsCreating(folder));
    testing_support::WriteFile(data / "ARCHIVE" / "CORVANE.DBC", "");
    EXPECT_FALSE(archive::ArchiveNeedsCreating(folder));
}

TEST(MakeArchiveFolder, AMissingDataFolderIsNamedAndNotMade) {
    TempDir root;
    const std::string data = (root / "gone").string();
    try {
        archive::MakeArchiveFolder(data + "/Archive");
        ADD_FAILURE() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kFileAccess);
        EXPECT_EQ(e.Description(),
                  "Cannot create the archive folder '" + data + "/Archive': No such file or directory.");
    }
    EXPECT_FALSE(fs::exists(data));
    EXPECT_EQ(archive::ArchiveNotCreatedText(data, data + "/Archive"),
              "The archive database could not be created in '" + data + "/Archive': '" + data +
                  "': No such file or directory.");
}

TEST(MakeArchiveFolder, AReadOnlyDataFolderOrArchiveFolderGivesTheSystemsReason) {
    TempDir root;
    fs::create_directories(root / "data" / "Archive");
    fs::create_directories(root / "readonly");
    testing_support::OpenToEveryone(root / "data" / "Archive");
    chmod((root / "readonly").c_str(), 0555);
    chmod((root / "data" / "Archive").c_str(), 0555);
    const std::string readOnly = (root / "readonly").string();
    const std::string archiveFolder = (root / "data" / "Archive").string();

    EXPECT_EQ(AsOtherUser([&] {
                  try {
                      archive::MakeArchiveFolder(readOnly + "/Archive");
                      return std::string("made");
                  } catch (const engine::Error& e) {
                      return e.Description();
                  }
              }),
              "Cannot create the archive folder '" + readOnly + "/Archive': Permission denied.");
    EXPECT_EQ(AsOtherUser([&] { return archive::ArchiveNotCreatedText(readOnly, readOnly + "/Archive"); }),
              "The archive database could not be created in '" + readOnly + "/Archive': '" + readOnly +
                  "': Permission denied.");
    EXPECT_EQ(AsOtherUser([&] { return archive::ArchiveNotCreatedText((root / "data").string(), archiveFolder); }),
              "The archive database could not be created in '" + archiveFolder + "': '" + archiveFolder +
                  "': Permission denied.");
    EXPECT_EQ(AsOtherUser([&] { return archive::FolderProblem(archiveFolder, false).value_or("fine"); }), "fine");
}

}  // namespace
