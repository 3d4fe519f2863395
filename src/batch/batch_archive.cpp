#include "batch/batch_archive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "archive/app_folder.h"
#include "archive/archive_creation.h"
#include "archive/archive_run.h"
#include "archive/preflight.h"
#include "batch/batch_options.h"
#include "batch/batch_restore.h"
#include "batch/console_face.h"
#include "common/exception_text.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"

namespace batch {
namespace {

constexpr const char* kModule = "frmArchive";
constexpr const char* kPracticeContainer = "corvane.dbc";

// The face for the run: the patient list stands for the grid's selection, in PtNum order,
// so the run visits it from the highest number to the lowest as the window visits a
// selection.
class BatchWindow final : public app::ArchiveWindow {
public:
    BatchWindow(std::string databasePath, engine::api::Connection& practice, std::vector<int32_t> patients,
                std::optional<std::string> password)
        : m_databasePath(std::move(databasePath)),
          m_practice(practice),
          m_patients(std::move(patients)),
          m_prompt(std::move(password)) {}

    const std::string& DatabasePath() const override { return m_databasePath; }
    engine::api::Connection* PracticeConnection() override { return &m_practice; }
    app::StatusServices& Status() override { return m_status; }
    void SetStopFlag(bool) override {}
    void ShowStopButton(bool) override {}
    long SelectedCount() override { return static_cast<long>(m_patients.size()); }
    long SelectedRowIndex(long entry) override { return entry; }
    int32_t PatientNumberOfRow(long rowIndex) override { return m_patients.at(static_cast<size_t>(rowIndex - 1)); }
    void ReloadCurrentFolder() override {}
    deletion::PasswordPrompt& DeletePasswordPrompt() override { return m_prompt; }
    std::string ProgramPath() override { return common::ProgramPath(); }
    std::string StartedBy() const override { return "batch"; }

private:
    std::string m_databasePath;
    engine::api::Connection& m_practice;
    std::vector<int32_t> m_patients;
    ConsolePasswordPrompt m_prompt;
    ConsoleStatus m_status;
};

// Where the application folder is and the log with it, as the window's start-up finds them;
// every start leaves the "AppPath = " line in the log.
std::string StartLog() {
    const std::string appPath = app::FindAppPath(common::ProgramFolder());
    product::LogFile = appPath + "/Corvane.log";
    product::DebugFlags = 1;
    product::WriteLog(kModule, "Form_Load", "AppPath = " + appPath);
    product::DebugFlags = 0;
    return appPath;
}

// The patients of a condition on IdentFil, ascending.
std::vector<int32_t> PatientsWhere(engine::api::Connection& practice, const std::string& condition) {
    std::vector<int32_t> patients;
    engine::api::Recordset rows;
    rows.Open("SELECT PtNum FROM IdentFil WHERE " + condition, practice);
    for (; !rows.Eof(); rows.MoveNext())
        if (const int32_t patient = app::GetPatientNumber(rows); patient > 0) patients.push_back(patient);
    std::sort(patients.begin(), patients.end());
    patients.erase(std::unique(patients.begin(), patients.end()), patients.end());
    return patients;
}

void PrintSummary(const app::RunSummary& summary, double seconds) {
    std::cout << app::SummaryLine(summary) << "\n";
    if (!summary.skipped.empty()) {
        std::cout << "Skipped:\n";
        for (const auto& [patient, why] : summary.skipped) std::cout << "  Patient " << patient << ": " << why << "\n";
    }
    std::cout << "Rows copied:\n";
    for (const auto& [table, rows] : summary.rowsCopied) {
        char line[64];
        std::snprintf(line, sizeof line, "  %-12s %ld\n", table.c_str(), rows);
        std::cout << line;
    }
    char line[64];
    std::snprintf(line, sizeof line, "Seconds: %.2f\n", seconds);
    std::cout << line << std::flush;
}

int Usage(const std::string& error) {
    std::cerr << "Archive: " << error << "\n\n" << UsageText();
    return kExitUsage;
}

int Failed(const std::string& text) {
    std::cerr << "Archive: " << text << std::endl;
    return kExitError;
}

}  // namespace

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

int RunBatch(const std::vector<std::string>& args) {
    std::string error;
    const std::optional<BatchOptions> options = ParseBatchOptions(args, error);
    if (!options) return Usage(error);
    if (options->help) {
        std::cout << UsageText();
        return kExitDone;
    }
    if (options->restore) return RunBatchRestore(*options);
    ConsoleUi console;
    ui::Install(&console);
    CatchStopSignals();
    try {
        StartLog();
        std::optional<std::string> password;
        if (options->passwordFile) password = ReadFirstLine(*options->passwordFile);

        const std::string databasePath = std::filesystem::absolute(options->database).lexically_normal().string();
        std::unique_ptr<engine::api::Connection> practice =
            AdoTools::Connect_DBC(common::FolderOf(databasePath), kPracticeContainer);
        std::vector<int32_t> patients = options->patients;
        if (options->where) {
            try {
                patients = PatientsWhere(*practice, *options->where);
            } catch (const engine::Error& e) {
                ui::Install(nullptr);
                return Failed("The condition " + *options->where +
                              " cannot be used: " + product::ErrorText(e.Number(), e.Description()));
            }
        }

        if (options->dryRun) {
            const int status = PrintDryRun(*practice, std::move(password), app::ShowDeletePrivilegeRefused, [&] {
                return archive::PreflightText(archive::ComputePreflight(
                    patients, *practice, common::RemoveBackslash(common::FolderOf(databasePath)), archive::Today()));
            });
            ui::Install(nullptr);
            return status;
        }

        const auto start = std::chrono::steady_clock::now();
        app::RunSummary summary;
        if (patients.empty()) {
            std::cerr << "Archive: no patient to archive." << std::endl;
        } else {
            summary = ArchivePatients(databasePath, *practice, std::move(patients), std::move(password));
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ui::Install(nullptr);
        if (summary.ending == app::RunSummary::Ending::Refused) return kExitError;  // said on standard error
        if (summary.ending == app::RunSummary::Ending::Cancelled) return kExitDone;
        PrintSummary(summary, seconds);
        switch (summary.ending) {
            case app::RunSummary::Ending::Complete: return kExitDone;
            case app::RunSummary::Ending::Stopped: return kExitStopped;
            default: return kExitError;
        }
    } catch (...) {
        const std::string text = common::CurrentErrorText();
        ui::Install(nullptr);
        return Failed(text);
    }
}

app::RunSummary ArchivePatients(const std::string& databasePath, engine::api::Connection& practice,
                                std::vector<int32_t> patients, std::optional<std::string> password) {
    BatchWindow window(databasePath, practice, std::move(patients), std::move(password));
    return app::CheckAndArchive(window);
}

int PrintDryRun(engine::api::Connection& practice, std::optional<std::string> password,
                const std::function<void()>& refused, const std::function<std::string()>& sheetText) {
    ConsolePasswordPrompt prompt(std::move(password));
    if (!deletion::CheckDeletePassword(&practice, prompt)) {
        refused();
        return kExitError;
    }
    std::cout << sheetText() << std::flush;
    return kExitDone;
}

int RunConsoleJob(bool create, const std::string& value, int debugBits) {
    ConsoleUi console;
    ui::Install(&console);
    int status = kExitDone;
    try {
        const std::string appPath = StartLog();
        product::DebugFlags |= debugBits;
        ConsoleStatus progress;
        if (create) {
            std::unique_ptr<engine::api::Connection> connection;
            app::CreateArchiveDatabase(value, appPath, progress, connection);
        } else {
            const std::string failed = app::PackFolder(value);
            if (!failed.empty())
                ui::MsgBox("The following tables could not be packed:\r\n" + failed, ui::Icon::None, "Archive");
        }
    } catch (...) {
        product::ReportError(kModule, "Form_Load", common::CurrentErrorText());
        status = kExitError;
    }
    ui::Install(nullptr);
    return status;
}

}  // namespace batch
