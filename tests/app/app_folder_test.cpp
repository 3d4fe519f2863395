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
    }
    std::string Bin() const { return (root / "bin").string(); }
    std::string Installed() const { return (root / "installed").string(); }
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
    EXPECT_EQ(FindAppPath(Bin(), Installed()), Bin());
    EXPECT_EQ(FindAppPath(Bin() + "/", Installed()), Bin());
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(AppFolderTest, MarkerInTheParentFolderGivesTheParent) {
    Mark(root.Path());
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), root.Str());
}

TEST_F(AppFolderTest, TheInstalledFolderComesNext) {
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), Installed());
}

TEST_F(AppFolderTest, MarkerMatchesInAnyCase) {
    WriteFile(root / "bin" / "Corvane.XML", "<corvane/>");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), Bin());
}

TEST_F(AppFolderTest, TheRegisteredInstallFolderComesBeforeAskingButAfterEveryMarker) {
    Register("/opt/corvane/bin/corvane");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), "/opt/corvane/bin");
    Register("C:\\Program Files\\Tarnwell\\Corvane\\Corvane.exe");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), "C:\\Program Files\\Tarnwell\\Corvane");
    EXPECT_TRUE(rec.calls.empty());
    Mark(root / "installed");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), Installed());
    Mark(root / "bin");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), Bin());
}

TEST_F(AppFolderTest, OtherwiseTheUserIsAskedAndOneTrailingSeparatorIsDropped) {
    rec.inputs.push_back("/srv/corvane/");
    EXPECT_EQ(FindAppPath(Bin(), Installed()), "/srv/corvane");
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].kind, ui::Shown::Kind::InputBox);
    EXPECT_EQ(rec.calls[0].text, "Enter Path:  ");
    EXPECT_EQ(rec.calls[0].title, "Enter path");
}

TEST_F(AppFolderTest, CancelledInputGivesAnEmptyFolder) {
    EXPECT_EQ(FindAppPath(Bin(), Installed()), "");
    // An unknown program folder never matches the current folder by accident.
    EXPECT_EQ(FindAppPath("", Installed()), "");
    EXPECT_EQ(rec.calls.size(), 2u);
}
