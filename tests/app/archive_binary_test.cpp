#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/process.h"
#include "sample_writer.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// The built program in an application folder of its own, as it is installed.
class ArchiveProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        fs::copy_file(ARCHIVE_PROGRAM, dir / "Archive");
        WriteFile(dir / "corvane.xml", "<corvane/>");
    }
    // Runs the program, ended by timeout should it ever hang.
    bool Run(const std::string& arguments) {
        return common::RunAndWait("timeout 60 " + (dir / "Archive").string() + " " + arguments);
    }
    TempDir dir;
};

TEST_F(ArchiveProgramTest, DashDAppendsTheStartLinesToCorvaneLog) {
    WriteFile(dir / "Corvane.log", "earlier\tline\r\n");
    ASSERT_TRUE(Run("-D --quit-after-load"));
    const std::string log = ReadFile(dir / "Corvane.log");
    const std::string appPath = "\tfrmArchive/Form_Load:  AppPath = " + dir.Str() + "\r\n";
    const size_t first = log.find(appPath);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.rfind("earlier\tline\r\n", 0), 0u);
    const size_t hyphens = log.find("\tfrmArchive/Form_Load:  -----------------------\r\n");
    ASSERT_NE(hyphens, std::string::npos) << log;
    EXPECT_LT(first, hyphens);
    // Every line ends in CR LF.
    for (size_t pos = log.find('\n'); pos != std::string::npos; pos = log.find('\n', pos + 1))
        EXPECT_EQ(log[pos - 1], '\r');
}

TEST_F(ArchiveProgramTest, CreateEndsTheProgramOnItsOwn) {
    // No --quit-after-load: the job must end the program before any window appears.
    ASSERT_TRUE(Run("-create/nowhere/Corvane.dbc"));
    const std::string log = ReadFile(dir / "Corvane.log");
    EXPECT_NE(log.find("AppPath = " + dir.Str()), std::string::npos);
    EXPECT_EQ(log.find("-----------------------"), std::string::npos);
}

TEST_F(ArchiveProgramTest, CreateTakesADatabasePathWithBlanksPassedAsOneArgument) {
    // The archive run starts the program this way; the path must not be cut at the blank.
    const fs::path data = dir / "My Practice" / "Data";
    sample::Options options;
    options.patients = 3;
    sample::WriteSampleDatabase(data, options);
    ASSERT_TRUE(common::RunAndWait({(dir / "Archive").string(), "-create" + (data / "Corvane.dbc").string()}));
    EXPECT_TRUE(fs::exists(data / "Archive" / "Corvane.dbc"));
    EXPECT_TRUE(fs::is_directory(data / "Archive" / "Notes"));
    EXPECT_FALSE(fs::exists(dir / "My Practice" / "Archive"));
    EXPECT_FALSE(fs::exists(dir / "Archive" / "Corvane.dbc"));
}
