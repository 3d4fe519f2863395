// The archive run: what the Archive button does. For every patient selected in the main
// window's grid, from the last selected to the first, the patient's notes file moves into the
// archive's Notes folder, a copy already in the archive is removed (and the archive packed),
// every row of the eight patient tables is copied into the archive database, and the patient
// is deleted from the practice database. The reference tables are merged into the archive
// first. Progress goes to the status balloon and the log; the Stop button is heard between
// patients. The window plugs in through ArchiveWindow, so the run is tested without one.
//
// Surviving a crash or a kill at any instant. The steps of one patient are ordered so that
// every row is at all times whole in the practice database, whole in the archive, or both:
//   - notes: the file is copied over any archive copy before the practice file is deleted;
//     a kill between the two leaves both, and the next run copies and deletes again;
//   - a copy already in the archive is removed only when the practice still holds the
//     patient whole; the removal and the pack may stop half way (the engine's pack leaves a
//     table wholly before or wholly after), and the next run removes what is left;
//   - copying adds rows to the archive only; a kill leaves a partial copy there beside the
//     whole patient in the practice; IdentFil is copied first, so the next run that meets the
//     patient finds the partial copy, removes it and copies again;
//   - before the practice deletion begins, the patient is written durably to the archive's
//     journal (archive_journal.h): "the archive copy is complete". The deletion marks rows in
//     seven tables and then IdentFil, so a kill there leaves the patient half deleted in the
//     practice; were the patient then archived again, removing the complete archive copy
//     and copying only the practice rows still live would lose rows. Instead, a journaled
//     patient is never removed from the archive: at the start of every run, and whenever a
//     journaled patient is met again, the practice deletion is finished and the patient
//     taken off the journal (deleting rows already marked deleted is harmless);
//   - a selected patient who is no longer in the practice (IdentFil has no live row: selected
//     twice, or already deleted) is skipped, so a complete archive copy is never replaced by
//     the nothing that is left to copy.
//
// One run at a time: a click while a run is under way (heard through the window's event
// processing) is ignored. User-interface thread only.
#pragma once

#include <cstdint>
#include <string>

#include "archive/delete_patient.h"
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
    // The grid's selection: the number of selected entries, and the grid row index of entry
    // (from 1); a row index below 1 is a row that holds no record, such as a group heading.
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
};

// The Archive button: checks the delete privilege, creates the archive when its folder is
// missing, runs ArchiveSelectedPatients with the Stop button shown, then re-reads the grid
// and shows the "Archive Complete" message, however the run ended.
void cmdArchive_Click(ArchiveWindow& window);

// The run itself. Reports its own errors; never throws.
void ArchiveSelectedPatients(ArchiveWindow& window);

// True while a run is under way.
bool ArchiveRunInProgress();

// The patient number in the recordset's current row: the field "PtNum", else "Patient
// Number", as a whole number; 0 when the recordset has neither or the value is no number.
int32_t GetPatientNumber(engine::api::Recordset& recordset);

// The text of the message shown after every run.
std::string ArchiveCompleteText();

}  // namespace app
