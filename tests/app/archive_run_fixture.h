// Test doubles and databases for the archive run: a window whose grid selects rows of a
// recordset over IdentFil, a status balloon that records what it shows, a generated practice
// database with an archive made from it the way -create makes one (files copied, patient
// tables emptied and packed), and row snapshots of the eight patient tables.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_run.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "sample_writer.h"

namespace archive_run_testing {

namespace fs = std::filesystem;

// Table and patient-number field, in copying order.
inline const std::vector<std::pair<std::string, std::string>>& PatientTables() {
    static const std::vector<std::pair<std::string, std::string>> tables = {
        {"IdentFil", "PtNum"}, {"Appointment", "PId"}, {"Case", "PtNum"},   {"BillOthe", "PtNum"},
        {"MngCare", "PtNum"},  {"PostFile", "PtNum"},  {"PatIns", "PtNum"}, {"PmtAndChrg", "PtNum"},
    };
    return tables;
}

class RecordingStatus : public app::StatusServices {
public:
    void ShowStatus(const std::string& title, const std::string& text, bool) override {
        events.push_back(title + " | " + text);
        if (onShow) onShow(text);
    }
    void HideStatus() override { events.push_back("hide"); }
    bool StopRequested() override { return stopFlag; }

    std::vector<std::string> events;
    std::function<void(const std::string&)> onShow;
    bool stopFlag = false;
};

class AnsweringPrompt : public deletion::PasswordPrompt {
public:
    std::string AskPassword() override {
        ++asked;
        return answer;
    }
    void ShowRefusal(const std::string& title, const std::string&) override { refusals.push_back(title); }
    std::string answer;
    std::vector<std::string> refusals;
    int asked = 0;
};

// The window: the grid shows IdentFil in table order; rowIndex r is its r-th row.
class FakeWindow : public app::ArchiveWindow {
public:
    explicit FakeWindow(const fs::path& dataFolder)
        : m_databasePath((dataFolder / "Corvane.dbc").string()),
          m_practice(AdoTools::Connect_DBC(dataFolder.string(), "Corvane.dbc")) {
        ReadGrid();
    }

    // Reads the grid's patient numbers, as the window's grid does when a folder is opened.
    void ReadGrid() {
        rows.clear();
        engine::api::Recordset grid;
        grid.Open("SELECT * FROM IdentFil", *m_practice);
        for (; !grid.Eof(); grid.MoveNext()) rows.push_back(app::GetPatientNumber(grid));
    }
    // Selects the grid rows of these patients, in this order.
    void SelectPatients(const std::vector<int32_t>& patients) {
        selection.clear();
        for (int32_t patient : patients) {
            const auto it = std::find(rows.begin(), rows.end(), patient);
            selection.push_back(it == rows.end() ? 0 : static_cast<long>(it - rows.begin()) + 1);
        }
    }

    const std::string& DatabasePath() const override { return m_databasePath; }
    engine::api::Connection* PracticeConnection() override { return m_practice.get(); }
    app::StatusServices& Status() override { return status; }
    void SetStopFlag(bool stop) override { status.stopFlag = stop; }
    void ShowStopButton(bool visible) override { stopButton.push_back(visible); }
    long SelectedCount() override { return static_cast<long>(selection.size()); }
    long SelectedRowIndex(long entry) override { return selection.at(static_cast<size_t>(entry - 1)); }
    int32_t PatientNumberOfRow(long rowIndex) override { return rows.at(static_cast<size_t>(rowIndex - 1)); }
    void ReloadCurrentFolder() override {
        ++reloads;
        ReadGrid();
    }
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return prompt; }
    std::string ProgramPath() override { return programPath; }

    RecordingStatus status;
    AnsweringPrompt prompt;
    std::vector<int32_t> rows;    // patient number of each grid row
    std::vector<long> selection;  // row index of each selected entry
    std::vector<bool> stopButton;
    int reloads = 0;
    std::string programPath = "/nonexistent/Archive";

private:
    std::string m_databasePath;
    std::unique_ptr<engine::api::Connection> m_practice;
};

inline void MakePractice(const fs::path& folder, int patients, uint64_t seed = 5, const std::string& password = {}) {
    sample::Options options;
    options.patients = patients;
    options.seed = seed;
    options.deletePassword = password;
    sample::WriteSampleDatabase(folder, options);
}

// An emptied copy of the practice database in archiveFolder, as -create leaves it.
inline void MakeArchiveLike(const fs::path& practiceFolder, const fs::path& archiveFolder) {
    fs::create_directories(archiveFolder / "Notes");
    for (const auto& entry : fs::directory_iterator(practiceFolder))
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), archiveFolder / entry.path().filename(), fs::copy_options::overwrite_existing);
    auto archive = AdoTools::Connect_DBC(archiveFolder.string(), "Corvane.dbc");
    archive->Execute("SET EXCLUSIVE ON");
    for (const auto& [table, key] : PatientTables()) {
        archive->Execute("DELETE FROM " + table);
        archive->Execute("PACK \"" + (archiveFolder / table).string() + "\"");
    }
    archive->Execute("SET EXCLUSIVE OFF");
}

// Copies a patient's practice rows into the archive, as an earlier run would have left them
// (markDeleted: only as rows marked deleted).
inline void CopyIntoArchive(const fs::path& practiceFolder, const fs::path& archiveFolder, int32_t patient,
                            bool markDeleted) {
    auto practice = AdoTools::Connect_DBC(practiceFolder.string(), "Corvane.dbc");
    auto archive = AdoTools::Connect_DBC(archiveFolder.string(), "Corvane.dbc");
    for (const auto& [table, key] : PatientTables()) {
        engine::api::Recordset target, source;
        target.Open(table, *archive, 3, 3, engine::api::kAdCmdTable);
        source.Open("SELECT * FROM " + table + " WHERE " + key + " = " + std::to_string(patient), *practice);
        for (; !source.Eof(); source.MoveNext()) {
            target.AddNew();
            AdoTools::CopyRecord(source.Fields(), target);
            target.Update();
        }
        target.Close();
        if (markDeleted) archive->Execute("DELETE FROM " + table + " WHERE " + key + " = " + std::to_string(patient));
    }
}

// One row as the text of its fields (null flags left out), trailing blanks dropped.
struct Row {
    int32_t patient;
    bool deleted;
    std::string values;
    friend bool operator==(const Row&, const Row&) = default;
    friend bool operator<(const Row& a, const Row& b) {
        return std::tie(a.patient, a.deleted, a.values) < std::tie(b.patient, b.deleted, b.values);
    }
};
using Snapshot = std::map<std::string, std::vector<Row>>;  // by table

inline Snapshot Read(const fs::path& folder) {
    Snapshot snapshot;
    auto dbc = engine::Container::Open(folder / "Corvane.dbc");
    for (const auto& [name, key] : PatientTables()) {
        const auto entry = dbc->FindTable(name);
        auto table = engine::Table::Open(entry->file);
        const int keyIndex = table->FieldIndex(key);
        auto& rows = snapshot[name];
        for (uint32_t r = 0; r < table->RecordCount(); ++r) {
            std::string text;
            for (size_t f = 0; f < table->Fields().size(); ++f) {
                if (table->Fields()[f].type == '0') continue;  // the null flags
                std::string value = AdoTools::VariantText(table->ReadValue(r, f));
                while (!value.empty() && value.back() == ' ') value.pop_back();
                text += value + "|";
            }
            rows.push_back({static_cast<int32_t>(table->ReadValue(r, static_cast<size_t>(keyIndex)).As<int64_t>()),
                            table->IsDeleted(r), text});
        }
    }
    return snapshot;
}

// The sorted live (or deleted) rows of one patient, table by table.
inline std::map<std::string, std::vector<std::string>> RowsOf(const Snapshot& snapshot, int32_t patient, bool deleted) {
    std::map<std::string, std::vector<std::string>> result;
    for (const auto& [table, rows] : snapshot) {
        auto& list = result[table];
        for (const Row& row : rows)
            if (row.patient == patient && row.deleted == deleted) list.push_back(row.values);
        std::sort(list.begin(), list.end());
    }
    return result;
}

inline size_t CountOf(const std::map<std::string, std::vector<std::string>>& rows) {
    size_t n = 0;
    for (const auto& [table, list] : rows) n += list.size();
    return n;
}

}  // namespace archive_run_testing
