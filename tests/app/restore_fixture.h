// Test doubles for the restore: a face that answers the pre-flight sheet and the password from
// what the test sets, over a practice connection of its own, a helper that archives patients
// with the archive run and packs the practice afterwards, as the closing message asks the
// users to, and the fixture of a practice with its archive in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/archive_creation.h"
#include "archive/restore_run.h"
#include "archive_run_fixture.h"
#include "common/recording_ui.h"
#include "support/temp_dir.h"

namespace restore_testing {

using namespace archive_run_testing;

class FakeRestoreFace : public archive::RestoreFace {
public:
    explicit FakeRestoreFace(const fs::path& dataFolder)
        : m_databasePath((dataFolder / "Corvane.dbc").string()),
          m_practice(AdoTools::Connect_DBC(dataFolder.string(), "Corvane.dbc")) {}

    const std::string& DatabasePath() const override { return m_databasePath; }
    engine::api::Connection* PracticeConnection() override { return m_practice.get(); }
    app::StatusServices& Status() override { return status; }
    void SetStopFlag(bool stop) override { status.stopFlag = stop; }
    void ShowStopButton(bool visible) override { stopButton.push_back(visible); }
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return prompt; }
    bool ConfirmRestore(const archive::RestoreSheet& shown) override {
        sheets.push_back(shown);
        return confirm;
    }
    std::string StartedBy() const override { return "window"; }
    void Close() { m_practice.reset(); }

    RecordingStatus status;
    AnsweringPrompt prompt;
    std::vector<archive::RestoreSheet> sheets;
    std::vector<bool> stopButton;
    bool confirm = true;

private:
    std::string m_databasePath;
    std::unique_ptr<engine::api::Connection> m_practice;
};

// Archives patients with the archive run, then packs the practice database. Returns the
// messages the run showed, "[title] text" a line.
inline std::string ArchiveAndPack(const fs::path& data, const std::vector<int32_t>& patients) {
    std::string shown;
    {
        ui::RecordingUi silent;
        FakeWindow window(data);
        window.SelectPatients(patients);
        app::cmdArchive_Click(window);
        for (const auto& message : silent.Messages()) shown += "[" + message.title + "] " + message.text + "\n";
    }
    app::PackFolder(data.string());
    return shown;
}

// A practice made in Data() and its archive beside it, in a temporary folder, with the
// practice's rows and patients as they were made.
class RestoreDatabasesTest : public ::testing::Test {
protected:
    fs::path Data() const { return dir / "Data"; }
    fs::path Archive() const { return Data() / "Archive"; }
    // Makes the archive as -create makes it for the practice in Data(), and remembers the
    // practice's rows and its patients.
    void MakeArchiveAndRemember() {
        MakeArchiveLike(Data(), Archive());
        original = Read(Data());
        for (const Row& row : original.at("IdentFil")) all.push_back(row.patient);
    }

    testing_support::TempDir dir;
    Snapshot original;
    std::vector<int32_t> all;
};

}  // namespace restore_testing
