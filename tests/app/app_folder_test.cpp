#include <gtest/gtest.h>

#include <filesystem>

#include "archive/app_folder.h"
#include "common/recording_ui.h"
#include "common/registry_store.h"
#include "common/registry_value.h"
#include "support/registry_env.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using app::FindAppPath;
using testing_support::ScopedRegistry;
using testing_support::TempDir;
using testing_support::WriteFile;

class AppFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root / "bin");
        fs::create_directories(root / "installed");
        fs::create_directories(root / "packaged");
    }
    std::string Bin() const { return (root / "bin").string(); }
    std::string Installed() const { return (root / "installed").string(); }
    std::string Packaged() const { return (root / "packaged").string(); }
    void Mark(const fs::path& folder) { WriteFile(folder / "corvane.xml", "<corvane/>"); }

    // The install folder as the installer registers it for the machine.
    void Register(const std::string& program) {
        ASSERT_EQ(common::reg::SetValue(common::kHkeyLocalMachine, "SOFTWARE\\RArozu\\DerazoRI", "Corvane",
                                        common::reg::StringValue(program)),
                  common::reg::kOk);
    }

    TempDir root;
    ScopedRegistry registry;
    ui::RecordingUi rec;
};

TEST_F(AppFolderTest, MarkerBesideTheProgramWinsOverEveryOtherRule) {
    Mark(root / "bin");
    Mark(root.Path());
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), Bin());
    EXPECT_EQ(FindAppPath(Bin() + "/", Installed(), Packaged()), Bin());
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(AppFolderTest, MarkerInTheParentFolderGivesTheParent) {
    Mark(root.Path());
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), root.Str());
}

TEST_F(AppFolderTest, TheInstalledFolderComesNext) {
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), Installed());
}

TEST_F(AppFolderTest, MarkerMatchesInAnyCase) {
    WriteFile(root / "bin" / "Corvane.XML", "<corvane/>");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), Bin());
}

TEST_F(AppFolderTest, TheRegisteredInstallFolderComesBeforeAskingButAfterEveryMarker) {
    Register("/opt/corvane/bin/corvane");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), "/opt/corvane/bin");
    Register("C:\\Program Files\\Tarnwell\\Corvane\\Corvane.exe");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), "C:\\Program Files\\Tarnwell\\Corvane");
    EXPECT_TRUE(rec.calls.empty());
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), Installed());
    Mark(root / "bin");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), Bin());
}

TEST_F(AppFolderTest, ThePackagesFolderServesOnlyWhenTheSuiteIsNowhere) {
    Mark(root / "packaged");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), Packaged());
    EXPECT_EQ(FindAppPath("", Installed(), Packaged()), Packaged());
    EXPECT_TRUE(rec.calls.empty());
    // Without its marker the folder is no application folder.
    fs::remove(root / "packaged" / "corvane.xml");
    rec.inputs.push_back("/srv/corvane");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), "/srv/corvane");
    Mark(root / "packaged");
    Register("/opt/corvane/bin/corvane");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), "/opt/corvane/bin");
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), Installed());
}

TEST_F(AppFolderTest, OtherwiseTheUserIsAskedAndOneTrailingSeparatorIsDropped) {
    rec.inputs.push_back("/srv/corvane/");
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), "/srv/corvane");
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].kind, ui::Shown::Kind::InputBox);
    EXPECT_EQ(rec.calls[0].text, "Enter Path:  ");
    EXPECT_EQ(rec.calls[0].title, "Enter path");
}

TEST_F(AppFolderTest, CancelledInputGivesAnEmptyFolder) {
    EXPECT_EQ(FindAppPath(Bin(), Installed(), Packaged()), "");
    // An unknown program folder never matches the current folder by accident.
    EXPECT_EQ(FindAppPath("", Installed(), Packaged()), "");
    EXPECT_EQ(rec.calls.size(), 2u);
}
