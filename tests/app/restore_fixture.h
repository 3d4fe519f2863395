// Test doubles for the restore: a face that answers the pre-flight sheet and the password from
// what the test sets, over a practice connection of its own, and a helper that archives
// patients with the archive run and packs the practice afterwards, as the closing message
// asks the users to.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/archive_creation.h"
#include "archive/restore_run.h"
#include "archive_run_fixture.h"
#include "common/recording_ui.h"

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

}  // namespace restore_testing
