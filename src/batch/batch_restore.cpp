#include "batch/batch_restore.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>

#include "archive/app_folder.h"
#include "archive/archive_journal.h"
#include "archive/archive_paths.h"
#include "archive/archive_run.h"
#include "archive/restore_run.h"
#include "batch/batch_archive.h"
#include "batch/console_face.h"
#include "common/exception_text.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/error.h"

namespace batch {
namespace {

class BatchRestoreFace final : public archive::RestoreFace {
public:
    BatchRestoreFace(std::string databasePath, engine::api::Connection& practice, std::optional<std::string> password)
        : m_databasePath(std::move(databasePath)), m_practice(practice), m_prompt(std::move(password)) {}

    const std::string& DatabasePath() const override { return m_databasePath; }
    engine::api::Connection* PracticeConnection() override { return &m_practice; }
    app::StatusServices& Status() override { return m_status; }
    void SetStopFlag(bool) override {}
    void ShowStopButton(bool) override {}
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return m_prompt; }
    bool ConfirmRestore(const archive::RestoreSheet& sheet) override {
        std::cerr << archive::RestoreSheetText(sheet) << std::flush;
        return true;
    }
    std::string StartedBy() const override { return "batch"; }

private:
    std::string m_databasePath;
    engine::api::Connection& m_practice;
    ConsolePasswordPrompt m_prompt;
    ConsoleStatus m_status;
};

// The archived patients of a condition on the archive's IdentFil, ascending.
std::vector<int32_t> ArchivedWhere(const std::string& archiveFolder, const std::string& condition) {
    std::unique_ptr<engine::api::Connection> archive = AdoTools::Connect_DBC(archiveFolder, archive::kArchiveContainer);
    std::vector<int32_t> patients;
    engine::api::Recordset rows;
    rows.Open("SELECT PtNum FROM IdentFil WHERE " + condition, *archive);
    for (; !rows.Eof(); rows.MoveNext())
        if (const int32_t patient = app::GetPatientNumber(rows); patient > 0) patients.push_back(patient);
    rows.Close();
    std::sort(patients.begin(), patients.end());
    patients.erase(std::unique(patients.begin(), patients.end()), patients.end());
    return patients;
}

void PrintSummary(const archive::RestoreSummary& summary) {
    std::cout << archive::RestoreSummaryLine(summary) << "\n";
    if (!summary.skipped.empty()) {
        std::cout << "Skipped:\n";
        for (const auto& [patient, why] : summary.skipped) std::cout << "  Patient " << patient << ": " << why << "\n";
    }
    std::cout << "Rows moved back:\n";
    for (const auto& [table, rows] : summary.rowsMoved) {
        char line[64];
        std::snprintf(line, sizeof line, "  %-12s %ld\n", table.c_str(), rows);
        std::cout << line;
    }
    std::cout << std::flush;
}

// The restore's sheet as the run would count it, without taking the run lock or finishing an
// interrupted restore (both write); a restore waiting to be finished is said first.
std::string DryRunSheet(engine::api::Connection& practice, const std::string& archiveFolder,
                        const std::vector<int32_t>& patients) {
    std::string text;
    std::set<int32_t> interrupted = app::ArchiveJournal(archiveFolder, archive::kRestoreJournal).Pending();
    interrupted.merge(app::ArchiveJournal(archiveFolder, archive::kRestoreCopying).Pending());
    if (!interrupted.empty())
        text = "An interrupted restore of " + std::to_string(interrupted.size()) +
               " patient(s) is finished first; counted as the databases are now:\n";
    std::unique_ptr<engine::api::Connection> archive = AdoTools::Connect_DBC(archiveFolder, archive::kArchiveContainer);
    text += archive::RestoreSheetText(archive::ComputeRestoreSheet(patients, practice, *archive, archiveFolder));
    archive->Close();
    return text;
}

int Failed(const std::string& text) {
    std::cerr << "Archive: " << text << std::endl;
    return kExitError;
}

}  // namespace

int RunBatchRestore(const BatchOptions& options) {
    ConsoleUi console;
    ui::Install(&console);
    CatchStopSignals();
    int status = kExitDone;
    try {
        const std::string appPath = app::FindAppPath(common::ProgramFolder());
        product::LogFile = appPath + "/Corvane.log";
        std::optional<std::string> password;
        if (options.passwordFile) password = ReadFirstLine(*options.passwordFile);
        const std::string databasePath = std::filesystem::absolute(options.database).lexically_normal().string();
        std::unique_ptr<engine::api::Connection> practice =
            AdoTools::Connect_DBC(common::FolderOf(databasePath), "corvane.dbc");
        const std::string archiveFolder = archive::ArchiveFolderOfDatabase(databasePath);
        std::vector<int32_t> patients = options.patients;
        if (options.where) {
            if (archive::ArchiveNeedsCreating(archiveFolder)) {
                ui::Install(nullptr);
                return Failed("There is no archive database to restore from:  " + archiveFolder);
            }
            try {
                patients = ArchivedWhere(archiveFolder, *options.where);
            } catch (const engine::Error& e) {
                ui::Install(nullptr);
                return Failed("The condition " + *options.where +
                              " cannot be used: " + product::ErrorText(e.Number(), e.Description()));
            }
        }
        if (patients.empty()) {
            ui::Install(nullptr);
            std::cerr << "Archive: no patient to restore." << std::endl;
            return kExitDone;
        }
        if (options.dryRun) {
            if (archive::ArchiveNeedsCreating(archiveFolder)) {
                ui::Install(nullptr);
                return Failed("There is no archive database to restore from:  " + archiveFolder);
            }
            status = PrintDryRun(*practice, std::move(password), archive::ShowRestorePrivilegeRefused,
                                 [&] { return DryRunSheet(*practice, archiveFolder, patients); });
            ui::Install(nullptr);
            return status;
        }
        BatchRestoreFace face(databasePath, *practice, std::move(password));
        const archive::RestoreSummary summary = archive::RestorePatients(face, patients);
        using Ending = archive::RestoreSummary::Ending;
        if (summary.ending == Ending::Refused) status = kExitError;
        else {
            PrintSummary(summary);
            status = summary.ending == Ending::Complete  ? kExitDone
                     : summary.ending == Ending::Stopped ? kExitStopped
                                                         : kExitError;
        }
    } catch (...) {
        const std::string text = common::CurrentErrorText();
        ui::Install(nullptr);
        return Failed(text);
    }
    ui::Install(nullptr);
    return status;
}

}  // namespace batch
