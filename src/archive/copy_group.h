// The group commit the archive run and the restore share: patients whose rows (and notes
// files) were copied from a source database into a target database are made durable in the
// target, and only then, after the caller has checked the copies, listed in the run's journal
// and deleted from the source. archive_run.h gives the order and why it is safe; the restore
// (restore_run.h) runs the same steps the other way round. Qt-free.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "archive/patient_copy.h"

namespace engine::api {
class Connection;
}

namespace app {

class ArchiveJournal;

// The largest group of patients committed together, and the time after which a group is
// committed however few patients it holds: each commit costs a round of fsyncs (the tables
// of both databases, the journal, the Notes folder), so a group is as large as memory and
// the work a kill may have to redo allow.
inline constexpr size_t kGroupPatients = 500;
inline constexpr int kGroupMilliseconds = 250;

// The patients copied and not yet committed: their copies, per copy the source notes file to
// delete once he is committed (empty: none), the notes files whose bytes were copied into the
// target (their data must be synced) and whether any notes file was given a name there (the
// target's Notes folder must be synced).
struct CopyGroup {
    std::vector<PatientCopy> copies;
    std::vector<std::string> sourceNotes;
    std::vector<std::string> notesCopies;
    bool notesNamed = false;
    std::chrono::steady_clock::time_point start;

    bool Empty() const { return copies.empty(); }
    bool Holds(int32_t patient) const;
    void Add(PatientCopy copy, std::string notes);
    // Records a notes file given its target name by LinkOrCopy; copied: its bytes were copied.
    void AddNotes(std::string target, bool copied);
    // Full (kGroupPatients), or begun kGroupMilliseconds ago.
    bool Due() const;
    // The group, leaving this one empty.
    CopyGroup Take() { return std::exchange(*this, CopyGroup{}); }
};

// Step 1 of a commit: appends the group's copies to the target tables (AppendCopies), flushes
// the target connection, and syncs the notes copies and then the target's Notes folder. A
// linked notes file needs only the folder: a link writes no data, and the file's bytes are as
// durable as they were under the source name. When a
// row cannot be written the error passes up and failedPatient receives his patient number.
void WriteGroup(engine::api::Connection& target, const std::string& targetFolder, const CopyGroup& group,
                int32_t& failedPatient);

// Steps 3 to 5 for the patients of the group whose copies were found sound: they are written
// to the journal in one durable write; their source notes files are deleted and deleteRows
// deletes their rows from the source; committed and rowsPerTable (the patient tables in
// copying order) count them; the source connection is flushed and the journal cleared of them.
// A notes file that cannot be deleted is reported (rethrown) after the rest is done.
void CommitGood(ArchiveJournal& journal, engine::api::Connection& source, const CopyGroup& group,
                const std::set<int32_t>& good, const std::function<void()>& deleteRows, long& committed,
                std::vector<std::pair<std::string, long>>& rowsPerTable);

}  // namespace app
