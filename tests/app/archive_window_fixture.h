// The main window under test: a frmArchive whose database and grid steps are fakes that
// record what they were given, and a fixture with a temporary application folder, the
// recording user interface and readers for the log.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <QLabel>
#include <QTextEdit>

#include "app/frm_archive.h"
#include "common/command_args.h"
#include "common/product.h"
#include "common/recording_ui.h"
#include "engine/api/connection.h"
#include "engine/error.h"
#include "settings/xml_reg.h"
#include "support/temp_dir.h"
#include "tips/frm_tip.h"

namespace app_testing {

inline const char* const kNoDatabase = "You do not have a database.\r\nSelect a database from within Corvane.";

// The folder file of the test application folder: Patients with two shown sub-folders and a
// hidden one, each defined with a layout.
inline const char* const kFoldersXml = R"(<?xml version="1.0"?>
<Data>
  <Patients><SubFolder>Active Patients</SubFolder><Display>True</Display></Patients>
  <Patients><SubFolder>Inactive Patients</SubFolder><Display>False</Display></Patients>
  <Patients><SubFolder>New Patients</SubFolder></Patients>
  <Folder><Name>Patients</Name><Layout>patients.lyt</Layout><LookInTitle>Last Name</LookInTitle></Folder>
  <Folder><Name>Active Patients</Name><Layout>active.lyt</Layout><LookInTitle>Last Name</LookInTitle></Folder>
  <Folder><Name>New Patients</Name><Layout>new.lyt</Layout><LookInTitle>Last Name</LookInTitle></Folder>
</Data>
)";

// A window whose jobs, connection and grid record their calls and can be made to fail.
class TestWindow : public app::frmArchive {
public:
    using frmArchive::frmArchive;

    struct LayoutLoad {
        std::string file;
        std::string connectionString;
    };

    std::string failedTables;
    bool throwOnCreate = false;
    bool throwOnConnect = false;
    bool throwOnLayout = false;
    int created = 0;
    std::vector<std::string> packedFolders;
    std::vector<std::string> statusWhilePacking;  // balloon title and text during each pack
    std::vector<std::string> connectedTo;         // folder + "|" + container
    std::vector<LayoutLoad> layoutsLoaded;
    std::vector<std::string> patientsMovedTo;

protected:
    void CreateArchiveDatabase() override {
        ++created;
        if (throwOnCreate) throw engine::Error(1705, "File is in use.");
        frmArchive::CreateArchiveDatabase();
    }
    std::string PackDatabase(const std::string& folder) override {
        packedFolders.push_back(folder);
        if (const tips::frmTip* tip = StatusTip(); tip && tip->isVisible()) {
            statusWhilePacking.push_back(tip->findChild<QLabel*>("lblTitle")->text().toStdString());
            statusWhilePacking.push_back(tip->findChild<QTextEdit*>("txtTip")->toPlainText().toStdString());
        }
        return failedTables;
    }
    // A connection that names the database without opening it.
    std::unique_ptr<engine::api::Connection> ConnectPractice(const std::string& folder,
                                                             const std::string& dbcName) override {
        connectedTo.push_back(folder + "|" + dbcName);
        if (throwOnConnect) throw engine::Error(1, "Connection failed.");
        auto connection = std::make_unique<engine::api::Connection>();
        connection->SetConnectionString("connection to " + folder + dbcName);
        return connection;
    }
    void LoadGridLayout(const std::string& file, const std::string& connectionString) override {
        if (throwOnLayout) throw engine::Error(2, "Layout file cannot be read.");
        layoutsLoaded.push_back({file, connectionString});
    }
    void MoveGridToPatient(const std::string& patientNumber) override { patientsMovedTo.push_back(patientNumber); }
};

class FormLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(root / "app");
        testing_support::WriteFile(root / "app" / "corvane.xml", "<corvane/>");
        testing_support::WriteFile(root / "app" / "Folders.xml", kFoldersXml);
        environment.programFolder = AppFolder();
        environment.installedFolder = (root / "nowhere").string();
        environment.packagedFolder = (root / "nowhere").string();
        product::DebugFlags = 0;
        product::LogFile.clear();
    }
    void TearDown() override {
        common::SetCommandLine("");
        product::DebugFlags = 0;
        product::LogFile.clear();
        settings::XMLReg.reset();
    }
    std::string AppFolder() const { return (root / "app").string(); }

    // The text parts of the log lines, each checked for its TAB and CR LF.
    std::vector<std::string> LogTexts() const {
        std::vector<std::string> out;
        const std::string all = testing_support::ReadFile(root / "app" / "Corvane.log");
        for (size_t pos = 0; pos < all.size();) {
            const size_t end = all.find("\r\n", pos);
            if (end == std::string::npos) {
                ADD_FAILURE() << "log line without CR LF";
                break;
            }
            const std::string line = all.substr(pos, end - pos);
            const size_t tab = line.find('\t');
            EXPECT_NE(tab, std::string::npos) << line;
            out.push_back(line.substr(tab + 1));
            pos = end + 2;
        }
        return out;
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> out;
        for (const ui::Shown& s : rec.Messages()) out.push_back(s.text);
        return out;
    }

    testing_support::TempDir root;
    app::StartupEnvironment environment;
    ui::RecordingUi rec;
};

}  // namespace app_testing
