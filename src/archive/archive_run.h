// The archive run: what the Archive button and `Archive --batch` do. For every selected
// patient, from the last selected to the first, the patient's notes file gets its name in the
// archive's Notes folder (a hard link to the practice file; a copy where no link can be
// made), a copy already in the archive is removed (and the archive packed), every row of the
// eight patient tables is copied into the archive database, and the patient is deleted from
// the practice database. The reference tables are merged into the archive
// first. Progress goes to the status services and the log, per patient; the Stop request is
// heard between patients. The face (window or command line) plugs in through ArchiveWindow.
//
// The patients are read from the practice a group's worth at a time (step 1 below). Those
// of them the archive holds already (an earlier copy, whole or partial) and the practice
// still holds have their archive copies removed then, before any of them is copied: all at
// once, the archive packed once, after the group in hand is committed. The practice holds
// them whole meanwhile (none of them is in the journal), so a kill or a Stop before their
// copy loses nothing.
//
// Patients are committed in groups: both connections defer their flushing, and a group of
// patients (at most kGroupPatients, or what was copied within kGroupMilliseconds; a group
// also ends at Stop, at an error, at the end, and before earlier archive copies are removed
// and the archive packed) is made durable in this order:
//   1. the group's rows, read from the practice table by table for the patients that come
//      next (one statement per table, before the first of them is handled; the archive is
//      asked in the same way which of them it holds already), are appended to the archive
//      tables (each table's rows in one write) and the archive connection flushed; the
//      notes files copied are synced, each once, and the archive's Notes folder once (the
//      folder's fsync makes the archive names durable, the files' their copied bytes; a
//      linked file needs no fsync of its own: the link writes no data, and its bytes stay as
//      durable as they were under the practice name), so a power loss cannot take the
//      archive name the practice name is deleted in favour of;
//   2. every copy is read back from the archive tables and compared with the practice rows
//      (row count and every copied value, per table); a patient whose copy differs is left
//      untouched in the practice, the bad copy is removed and the run ends with an error;
//      a patient whose practice rows another user changed since they were read (a row of
//      his deleted, or one added) is left in the practice as that user left it, his copy
//      removed, and reported skipped: deleting him would take rows the archive has not got;
//   3. the checked patients are written to the archive's journal (archive_journal.h) in one
//      durable write: "their archive copy is complete";
//   4. their practice notes files are deleted and their rows marked deleted in the practice,
//      and the practice connection flushed;
//   5. the journal is cleared.
// So archive rows are durable before any practice row of the group is marked deleted, and a
// crash, a kill or a power loss at any instant leaves every row whole in the practice
// database, whole in the archive, or both:
//   - before step 3 the practice is untouched; the archive may hold copies (whole or partial)
//     beside the patients; the next run that meets such a patient finds the copy, removes it
//     (the engine's pack leaves a table wholly before or wholly after) and copies again;
//   - from step 3 the journaled patients are whole in the archive; were one archived again
//     after a half-finished deletion, removing the complete archive copy and copying only the
//     practice rows still live would lose rows. Instead a journaled patient is never removed
//     from the archive: at the start of every run the practice deletion of the journaled
//     patients is finished (deleting rows already marked deleted is harmless), flushed, and
//     the journal cleared;
//   - notes: the practice name is deleted only after the journal write, so a kill leaves the
//     file in the practice (and perhaps also in the archive, a second name of the same file
//     that the next run finds made), never nowhere; a patient left in the practice (changed,
//     his copy differing, his group not written) loses the archive name a link gave him;
//   - a selected patient who is no longer in the practice (IdentFil has no live row: selected
//     twice, or already deleted) is skipped, so a complete archive copy is never replaced by
//     the nothing that is left to copy.
//
// The patients are taken from the face at the start of the run (their numbers), so what the
// face does with its list meanwhile (sorting, another folder) cannot change the run.
//
// One run at a time: a click while a run is under way (heard through the window's event
// processing) is ignored, and across processes and workstations CheckAndArchive holds the
// archive's run lock (run_lock.h) for the whole run. User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "archive/copy_group.h"
#include "archive/delete_patient.h"
#include "archive/preflight.h"
#include "archive/status_services.h"

namespace engine::api {
class Connection;
class Recordset;
}  // namespace engine::api

namespace app {

// What the archive run needs of the main window.
class ArchiveWindow {
public:
    virtual ~ArchiveWindow() = default;
    // The practice database container's full path; empty when no database is open.
    virtual const std::string& DatabasePath() const = 0;
    // The practice connection, or nullptr when there is none.
    virtual engine::api::Connection* PracticeConnection() = 0;
    // The status balloon and the stop check (which reads the stop flag).
    virtual StatusServices& Status() = 0;
    virtual void SetStopFlag(bool stop) = 0;
    virtual void ShowStopButton(bool visible) = 0;
    // The grid's selection, read once at the start of a run: the number of selected entries,
    // and the grid row index of entry (from 1); a row index below 1 is a row that holds no
    // record, such as a group heading.
    virtual long SelectedCount() = 0;
    virtual long SelectedRowIndex(long entry) = 0;
    // The patient number shown in that grid row (GetPatientNumber below on the grid's
    // recordset moved to the row), 0 when it has none.
    virtual int32_t PatientNumberOfRow(long rowIndex) = 0;
    // Opens the folder selected in the folder bar again, as a click on it would.
    virtual void ReloadCurrentFolder() = 0;
    // Asks for the delete password.
    virtual deletion::PasswordPrompt& DeletePasswordPrompt() = 0;
    // The running program's full path, started with -create when the archive is missing.
    virtual std::string ProgramPath() = 0;
    // How the run was started, for the run record: "window" or "batch".
    virtual std::string StartedBy() const { return "window"; }
    // The pre-flight sheet: when WantsPreflight, the run counts the sheet after the password
    // check and the run lock, and ConfirmPreflight shows it; false ends the run before anything
    // is written. A face without a sheet (the unattended batch) is not asked.
    virtual bool WantsPreflight() const { return false; }
    virtual bool ConfirmPreflight(const archive::PreflightSheet& /*sheet*/) { return true; }
};

// One entry of the grid's selection, taken when the run starts: the grid row index (below 1:
// a row that holds no record) and the patient number shown in that row.
struct SelectedEntry {
    long rowIndex = 0;
    int32_t patient = 0;
};

// The selection of the face, read once: what a run works on whatever the face does meanwhile.
std::vector<SelectedEntry> TakeSelection(ArchiveWindow& window);

// What a run did, for the closing message and the batch summary.
// Refused: the run did not begin and the user was told why (no delete privilege, another run
// holds the run lock, the archive could not be had). Cancelled: nothing was selected, or the
// pre-flight sheet was cancelled; nothing was touched.
struct RunSummary {
    enum class Ending { Complete, Stopped, Error, Refused, Cancelled };
    Ending ending = Ending::Complete;
    long requested = 0;  // patients selected (entries that are patient rows)
    long archived = 0;
    std::vector<std::pair<int32_t, std::string>> skipped;  // patient and why
    std::vector<std::pair<std::string, long>> rowsCopied;  // per patient table, copying order
    std::string errorText;                                 // Error and Refused: what the user was told
};

// The line above the closing text: "Archived 47 of 300 patients; 2 skipped; stopped by the user."
std::string SummaryLine(const RunSummary& summary);

// The Archive button: CheckAndArchive, then, when the run began, re-reads the grid and shows
// the "Archive Complete" message with the summary line above it, however the run ended. A run
// that was refused or cancelled shows its own message and no closing message.
RunSummary cmdArchive_Click(ArchiveWindow& window);

// The steps of cmdArchive_Click that the command line shares, in this order: the selection is
// taken (none: "Select the patients to archive first.", Ending::Cancelled); the delete
// privilege (a refusal shows "You must have DELETE privileges to archive." and ends with
// Ending::Refused); the run lock of the archive folder, held until the run has ended (held by
// another run: its RefusalText, Ending::Refused); the pre-flight sheet when the face wants one
// (cancelled: Ending::Cancelled); the archive created when missing; the run with the stop flag
// cleared. Every run that got past the password appends its row to the archive's ArchLog.
// Reports its own errors; never throws.
RunSummary CheckAndArchive(ArchiveWindow& window);

// The message of a refused delete password: "You must have DELETE privileges to archive."
void ShowDeletePrivilegeRefused();

// The run itself, on the selection as the face has it now, or as it was taken. Reports its
// own errors; never throws.
RunSummary ArchiveSelectedPatients(ArchiveWindow& window);
RunSummary ArchiveSelectedPatients(ArchiveWindow& window, std::vector<SelectedEntry> entries);

// True while a run is under way: the button's (ArchiveRunInProgress) or the run itself
// (ArchiveLoopInProgress).
bool ArchiveRunInProgress();
bool ArchiveLoopInProgress();

// The patient number in the recordset's current row: the field "PtNum", else "Patient
// Number", as a whole number; 0 when the recordset has neither or the value is no number.
int32_t GetPatientNumber(engine::api::Recordset& recordset);

// The text of the message shown after every run.
std::string ArchiveCompleteText();

// For the benchmark only: whether copies are read back and compared before the practice
// deletion (on by default).
void SetVerifyCopies(bool verify);
// For tests only: called with the archive connection after a group was copied and flushed,
// before it is checked (a test alters a copied value here). Empty to remove.
void SetBeforeVerifyHook(std::function<void(engine::api::Connection& archive)> hook);

}  // namespace app
