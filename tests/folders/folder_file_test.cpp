#include <gtest/gtest.h>

#include <filesystem>

#include "common/product.h"
#include "common/recording_ui.h"
#include "folders/folder_file.h"
#include "support/temp_dir.h"

namespace folders {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class ReadFolderFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        product::LogFile = (dir / "Corvane.log").string();
        product::DebugFlags = 0;
    }
    void TearDown() override { product::LogFile.clear(); }

    TempDir dir;
    ui::RecordingUi recorder;
    pugi::xml_document doc;
};

TEST_F(ReadFolderFileTest, LoadsTheFileAndMakesItWritable) {
    const fs::path file = dir / "Folders.xml";
    WriteFile(file, "<Data><Patients><SubFolder>Active</SubFolder></Patients></Data>");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_TRUE(ReadFolderFile(dir.Str(), doc));
    EXPECT_STREQ(doc.child("Data").child("Patients").child_value("SubFolder"), "Active");
    EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_TRUE(recorder.Messages().empty());
}

TEST_F(ReadFolderFileTest, FindsTheFileWhateverTheCaseOfItsName) {
    WriteFile(dir / "FOLDERS.XML", "<Data><Folder><Name>Patients</Name></Folder></Data>");
    EXPECT_TRUE(ReadFolderFile(dir.Str(), doc));
    EXPECT_TRUE(doc.child("Data").child("Folder"));
}

TEST_F(ReadFolderFileTest, AParseErrorIsReportedWithReasonLineAndSourceText) {
    WriteFile(dir / "Folders.xml",
              "<?xml version=\"1.0\"?>\r\n<Data>\r\n  <Patients><SubFolder>Active</Sub></Patients>\r\n</Data>\r\n");
    EXPECT_FALSE(ReadFolderFile(dir.Str(), doc));
    const std::string expected =
        "frmArchive/ReadFolderFile:  Error loading Folders file.\r\nStart-end tags mismatch\r\n3\r\n"
        "  <Patients><SubFolder>Active</Sub></Patients>";
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, expected);
    EXPECT_EQ(shown[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(shown[0].title, "Archive");
    // The report is logged even with logging off, and the window goes on with an empty document.
    EXPECT_NE(ReadFile(dir / "Corvane.log").find("\t" + expected + "\r\n"), std::string::npos);
    EXPECT_FALSE(doc.first_child());
}

TEST_F(ReadFolderFileTest, AMissingFileIsReportedAsNotLocated) {
    doc.load_string("<Data><Old/></Data>");
    EXPECT_FALSE(ReadFolderFile(dir.Str(), doc));
    const auto shown = recorder.Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              "frmArchive/ReadFolderFile:  Error loading Folders file.\r\n"
              "The system cannot locate the object specified.\r\n0\r\n");
    EXPECT_FALSE(doc.first_child());
}

TEST(LoadFolderFile, ReportsTheLineOfAnErrorOnTheFirstLineAndAtTheEnd) {
    TempDir dir;
    pugi::xml_document doc;
    WriteFile(dir / "a.xml", "<Data><Folder></Data>");
    EXPECT_EQ(LoadFolderFile((dir / "a.xml").string(), doc).value_or(""),
              "Error loading Folders file.\r\nStart-end tags mismatch\r\n1\r\n<Data><Folder></Data>");
    WriteFile(dir / "b.xml", "<Data>\n<Folder>\n");
    // Cut off at the end: the parser stops on the last line that has text.
    EXPECT_EQ(LoadFolderFile((dir / "b.xml").string(), doc).value_or(""),
              "Error loading Folders file.\r\nStart-end tags mismatch\r\n2\r\n<Folder>");
}

}  // namespace
}  // namespace folders
