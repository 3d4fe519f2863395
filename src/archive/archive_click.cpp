// The Archive button and what the command line shares of it (the selection, the password,
// the run lock, the pre-flight sheet, archive creation and the run record around the run),
// the closing message, and the patient number of a grid row.
#include <cmath>
#include <cstdint>

#include "archive/archive_paths.h"
#include "archive/archive_run.h"
#include "archive/busy_flag.h"
#include "archive/preflight.h"
#include "archive/run_lock.h"
#include "archive/run_record.h"
#include "common/exception_text.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "engine/api/recordset.h"
#include "engine/error.h"

namespace app {
namespace {

constexpr const char* kModule = "frmArchive";

bool g_clickActive = false;

constexpr const char* kTitle = "Archive";
constexpr const char* kCancelledOutcome = "Cancelled at the pre-flight sheet; nothing was archived.";

// What the run record says of a run that began.
std::string Outcome(const RunSummary& summary) {
    std::string outcome = SummaryLine(summary);
    if (!summary.errorText.empty()) outcome += "\r\n" + summary.errorText;
    return outcome;
}

// The run's row in ArchLog, from its summary; written while the run lock is still held.
void RecordRun(const std::string& archiveFolder, archive::RunRecord& record, const RunSummary& summary,
               const std::string& outcome) {
    record.requested = summary.requested;
    record.archived = summary.archived;
    record.skipped = static_cast<long>(summary.skipped.size());
    for (const auto& [table, rows] : summary.rowsCopied) record.CountRows(table, rows);
    record.outcome = outcome;
    archive::WriteRunRecord(archiveFolder, record);
}

// Ends a run that could not begin because of an error: reported with a message box, named in
// the summary.
RunSummary NotStarted(RunSummary summary, const std::string& procedure) {
    summary.ending = RunSummary::Ending::Refused;
    summary.errorText = common::CurrentErrorText();
    product::ReportError(kModule, procedure, summary.errorText, true);
    return summary;
}

// Ends the run before anything is written when a database it changes may not be written,
// naming the folder or file and the system's reason. folderToo: the folder itself is written
// too (the archive's packs, notes and run record).
void CheckWritable(const std::string& what, const std::string& folder, bool folderToo) {
    std::optional<std::string> problem = archive::DatabaseWriteProblem(folder);
    if (!problem && folderToo) problem = archive::FolderProblem(folder, true);
    if (problem) throw engine::Error(engine::err::kFileAccess, "The " + what + " cannot be changed: " + *problem + ".");
}

// Creates the archive with a -create child of the program when its container is missing; the
// error names what kept it from being made.
void CreateArchiveWhenMissing(ArchiveWindow& window, const std::string& dataFolder, const std::string& archiveFolder) {
    if (!archive::ArchiveNeedsCreating(archiveFolder)) return;
    common::RunAndWait({window.ProgramPath(), "-create" + window.DatabasePath()});
    if (archive::ArchiveNeedsCreating(archiveFolder))
        throw engine::Error(engine::err::kFileAccess, archive::ArchiveNotCreatedText(dataFolder, archiveFolder));
}

}  // namespace

std::string ArchiveCompleteText() {
    return "In order to achieve any performance improvements, have all\r\n"
           "users exit the system and then issue the PACK command\r\n"
           "from the Start menu as:\r\n"
           "\r\n"
           "\tStart->Programs->Corvane->Corvane Pack.";
}

bool ArchiveRunInProgress() { return g_clickActive || ArchiveLoopInProgress(); }

std::string SummaryLine(const RunSummary& summary) {
    std::string line = "Archived " + std::to_string(summary.archived) + " of " + std::to_string(summary.requested) +
                       (summary.requested == 1 ? " patient; " : " patients; ") +
                       std::to_string(summary.skipped.size()) + " skipped";
    switch (summary.ending) {
        case RunSummary::Ending::Stopped: return line + "; stopped by the user.";
        case RunSummary::Ending::Error:
        case RunSummary::Ending::Refused: return line + "; ended by an error (see above).";
        case RunSummary::Ending::Cancelled: return line + "; cancelled.";
        case RunSummary::Ending::Complete: break;
    }
    return line + ".";
}

void ShowDeletePrivilegeRefused() {
    ui::MsgBox("You must have DELETE privileges to archive.\r\nArchive aborted!", ui::Icon::Exclamation,
               "Archive aborted.");
}

RunSummary CheckAndArchive(ArchiveWindow& window) {
    RunSummary summary;
    std::vector<SelectedEntry> entries;
    std::vector<int32_t> patients;
    try {
        entries = TakeSelection(window);
    } catch (...) {
        return NotStarted(summary, "cmdArchive_Click");
    }
    for (const SelectedEntry& entry : entries) {
        if (entry.rowIndex < 1) continue;
        ++summary.requested;
        patients.push_back(entry.patient);
    }
    if (patients.empty()) {
        ui::MsgBox(archive::kSelectPatientsFirst, ui::Icon::Exclamation, kTitle);
        summary.ending = RunSummary::Ending::Cancelled;
        return summary;
    }

    if (!deletion::CheckDeletePassword(window.PracticeConnection(), window.DeletePasswordPrompt())) {
        ShowDeletePrivilegeRefused();
        summary.ending = RunSummary::Ending::Refused;
        return summary;
    }

    // From here every run leaves its row in the archive's ArchLog.
    archive::RunRecord record = archive::RunRecord::Begin(window.StartedBy());
    const std::string dataFolder = common::RemoveBackslash(common::FolderOf(window.DatabasePath()));
    const std::string archiveFolder = archive::ArchiveFolderOf(dataFolder);
    archive::RunLock lock;
    try {
        lock = archive::RunLock::TryAcquire(archiveFolder, archive::LockPurpose::Run);
        if (!lock.Held() && lock.Holder().purpose == archive::LockPurpose::Pack) {
            // A pack takes seconds: the run waits for it, saying so.
            window.Status().ShowStatus("Updating Archive", "Waiting for the pack of the archive to finish.", true);
            lock = archive::RunLock::TryAcquire(archiveFolder, archive::LockPurpose::Run, archive::kWaitForPack);
            window.Status().HideStatus();
        }
    } catch (...) {
        window.Status().HideStatus();
        summary = NotStarted(summary, "cmdArchive_Click");
        RecordRun(archiveFolder, record, summary, summary.errorText);
        return summary;
    }
    if (!lock.Held()) {
        summary.ending = RunSummary::Ending::Refused;
        summary.errorText = lock.RefusalText();
        ui::MsgBox(summary.errorText, ui::Icon::Exclamation, kTitle);
        RecordRun(archiveFolder, record, summary, summary.errorText);
        return summary;
    }
    product::WriteLog(kModule, "cmdArchive_Click", "Run lock taken: " + archiveFolder);

    try {
        CheckWritable("practice database", dataFolder, false);
        if (!archive::ArchiveNeedsCreating(archiveFolder)) CheckWritable("archive database", archiveFolder, true);
        if (window.WantsPreflight()) {
            engine::api::Connection* practice = window.PracticeConnection();
            if (!practice) throw engine::Error(engine::err::kNotOpen, "The practice database is not connected.");
            const archive::PreflightSheet sheet =
                archive::ComputePreflight(patients, *practice, dataFolder, archive::Today());
            if (!window.ConfirmPreflight(sheet)) {
                summary.ending = RunSummary::Ending::Cancelled;
                RecordRun(archiveFolder, record, summary, kCancelledOutcome);
                return summary;
            }
        }
        if (archive::ArchiveNeedsCreating(archiveFolder)) {
            CreateArchiveWhenMissing(window, dataFolder, archiveFolder);
            CheckWritable("archive database", archiveFolder, true);
        }
    } catch (...) {
        summary = NotStarted(summary, "cmdArchive_Click");
        RecordRun(archiveFolder, record, summary, summary.errorText);
        return summary;
    }

    window.SetStopFlag(false);
    window.ShowStopButton(true);
    summary = ArchiveSelectedPatients(window, std::move(entries));
    window.ShowStopButton(false);
    RecordRun(archiveFolder, record, summary, Outcome(summary));
    return summary;
}

RunSummary cmdArchive_Click(ArchiveWindow& window) {
    if (ArchiveRunInProgress()) return {};
    if (window.DatabasePath().empty() || !window.PracticeConnection()) return {};
    BusyFlag busy(g_clickActive);

    RunSummary summary = CheckAndArchive(window);
    if (summary.ending == RunSummary::Ending::Refused || summary.ending == RunSummary::Ending::Cancelled)
        return summary;
    try {
        window.ReloadCurrentFolder();
    } catch (...) {
        product::ReportError(kModule, "cmdArchive_Click", common::CurrentErrorText(), true);
    }
    ui::MsgBox(SummaryLine(summary) + "\r\n\r\n" + ArchiveCompleteText(), ui::Icon::Information, "Archive Complete");
    return summary;
}

int32_t GetPatientNumber(engine::api::Recordset& recordset) {
    engine::api::Field* field = AdoTools::GetField(recordset, "PtNum");
    if (!field) field = AdoTools::GetField(recordset, "Patient Number");
    if (!field) return 0;
    try {
        const engine::Value value = field->Value();
        double number = 0;
        if (const auto* whole = value.If<int64_t>()) number = static_cast<double>(*whole);
        else if (const auto* real = value.If<double>()) number = *real;
        else if (const auto* money = value.If<engine::Currency>()) number = money->tenThousandths / 10000.0;
        else if (const auto* text = value.If<std::string>()) number = std::stod(*text);
        else return 0;
        number = std::nearbyint(number);
        if (!(number >= INT32_MIN && number <= INT32_MAX)) return 0;
        return static_cast<int32_t>(number);
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace app
