// The restore: the archive run reversed. For every patient asked for, the patient's rows of
// the eight patient tables move from the archive database back into the practice database,
// every value as it was (autoincrement and other record numbers included, so rows that refer
// to them still hold), and the notes file moves from the archive's Notes folder back to the
// practice's. It is what the "Restore..." dialog of the main window and `Archive --batch
// DATABASE --restore` do, through the RestoreFace each gives.
//
// The run: the delete privilege is checked (restoring deletes from the archive); the run
// lock of the archive is taken (run_lock.h), so no archive run, pack or other restore meets
// it; a restore an earlier kill interrupted is finished (FinishInterruptedRestore); the
// pre-flight sheet is counted and shown (restore_check.h: patients live in the practice again
// and patients whose keys are taken are skipped and listed); then patient by patient, with
// the Stop request heard between patients, in groups committed as the archive run commits
// them (archive_run.h), each group in this order:
//   1. each patient is written to the restore's copying list (RestoreRun.copying) before any
//      of his rows reaches the practice; his notes file is copied; his rows are copied (into
//      his own rows marked deleted where the practice still holds them, see below);
//   2. the practice is flushed, the notes copies synced, and every copy is read back from the
//      practice tables and compared with the archive rows (row count and every value); a
//      patient whose copy differs has his practice copy marked deleted again and the run
//      ends with an error, his archive rows untouched;
//   3. the checked patients are written to the restore's journal (RestoreRun.journal) and
//      taken off the copying list: "their practice copy is complete";
//   4. their rows are marked deleted in the archive and their archive notes files deleted,
//      and the archive flushed;
//   5. they are taken off the journal.
// So a kill at any instant leaves every patient whole in the archive, whole in the practice,
// or both, and the next run (a restore or an archive run) finishes: a journaled patient is
// deleted from the archive; a patient still on the copying list has the partial practice copy
// marked deleted (his archive rows are whole).
//
// A patient archived since the practice was last packed still has his rows there, marked
// deleted, holding his keys: each of his archive rows that such a row matches is written back
// into that row, which is then unmarked, instead of being appended (patient_copy.h,
// ReviveDeletedTwins); so he can be restored without packing the practice first.
//
// Every run that got past the password appends an ArchLog row (run_record.h) with action
// "restore". User-interface thread only; one run at a time.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/delete_patient.h"
#include "archive/restore_check.h"
#include "archive/status_services.h"

namespace engine::api {
class Connection;
}  // namespace engine::api

namespace archive {

inline constexpr const char* kRestoreJournal = "RestoreRun.journal";
inline constexpr const char* kRestoreCopying = "RestoreRun.copying";
inline constexpr const char* kSelectRestorePatientsFirst = "Select the patients to restore first.";

// What the restore needs of its face (the restore dialog or the command line).
class RestoreFace {
public:
    virtual ~RestoreFace() = default;
    // The practice database container's full path.
    virtual const std::string& DatabasePath() const = 0;
    virtual engine::api::Connection* PracticeConnection() = 0;
    // The status balloon and the stop check.
    virtual app::StatusServices& Status() = 0;
    virtual void SetStopFlag(bool stop) = 0;
    virtual void ShowStopButton(bool visible) = 0;
    virtual deletion::PasswordPrompt& DeletePasswordPrompt() = 0;
    // Shows the pre-flight sheet; true lets the restore go on.
    virtual bool ConfirmRestore(const RestoreSheet& sheet) = 0;
    // "window" or "batch", for the run record.
    virtual std::string StartedBy() const = 0;
};

struct RestoreSummary {
    enum class Ending { Complete, Stopped, Error, Refused, Cancelled };
    Ending ending = Ending::Complete;
    long requested = 0;  // distinct patients asked for
    long restored = 0;
    std::vector<std::pair<int32_t, std::string>> skipped;  // patient and why
    std::vector<std::pair<std::string, long>> rowsMoved;   // per patient table, copying order
};

// "Restored 3 of 4 patients; 1 skipped." with "; stopped by the user." or "; ended by an
// error (see above)." as the run ended.
std::string RestoreSummaryLine(const RestoreSummary& summary);

// The closing message: the summary line, then the skipped patients, one a line.
std::string RestoreCompleteText(const RestoreSummary& summary);

// The whole restore of patients for the face: password, run lock, interrupted restore
// finished, sheet, run, run record. Shows its refusals and errors through the UI seam (titles
// "Restore aborted." and the error report); the caller shows the closing message. Never throws.
RestoreSummary RestorePatients(RestoreFace& face, const std::vector<int32_t>& patients);

// The refusal of a restore without the delete privilege ("Restore aborted.").
void ShowRestorePrivilegeRefused();

// True while a restore is under way.
bool RestoreInProgress();

// Finishes a restore that was interrupted (see above) on the two connections, which must stay
// open; nothing when the archive folder holds no restore lists. The archive run calls it at its
// start as well, so that it never archives a half-restored patient. Throws engine::Error.
void FinishInterruptedRestore(engine::api::Connection& practice, engine::api::Connection& archive,
                              const std::string& dataFolder, const std::string& archiveFolder);

}  // namespace archive
