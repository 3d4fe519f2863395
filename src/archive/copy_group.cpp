#include "archive/copy_group.h"

#include <algorithm>
#include <exception>

#include "archive/archive_journal.h"
#include "archive/run_files.h"
#include "engine/api/connection.h"

namespace app {

bool CopyGroup::Holds(int32_t patient) const {
    return std::any_of(copies.begin(), copies.end(), [&](const PatientCopy& copy) { return copy.patient == patient; });
}

void CopyGroup::Add(PatientCopy copy, std::string notes) {
    if (copies.empty()) {
        start = std::chrono::steady_clock::now();
        copies.reserve(kGroupPatients);
    }
    copies.push_back(std::move(copy));
    sourceNotes.push_back(std::move(notes));
}

void CopyGroup::AddNotes(std::string target, bool copied) {
    notesNamed = true;
    if (copied) notesCopies.push_back(std::move(target));
}

bool CopyGroup::Due() const {
    return copies.size() >= kGroupPatients ||
           std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(kGroupMilliseconds);
}

void WriteGroup(engine::api::Connection& target, const std::string& targetFolder, const CopyGroup& group,
                int32_t& failedPatient) {
    AppendCopies(target, group.copies, failedPatient);
    target.Flush();
    for (const std::string& file : group.notesCopies) archive::SyncPath(file, false);
    if (group.notesNamed) archive::SyncPath(targetFolder + "/Notes", true);
}

void CommitGood(ArchiveJournal& journal, engine::api::Connection& source, const CopyGroup& group,
                const std::set<int32_t>& good, const std::function<void()>& deleteRows, long& committed,
                std::vector<std::pair<std::string, long>>& rowsPerTable) {
    if (good.empty()) return;
    journal.Add(good);
    // From here until the journal is cleared the target's copies are the ones to keep.
    std::exception_ptr notesError;
    for (size_t i = 0; i < group.copies.size(); ++i) {
        if (group.sourceNotes[i].empty() || !good.count(group.copies[i].patient)) continue;
        try {
            archive::DeleteUnforced(group.sourceNotes[i]);
        } catch (...) {
            if (!notesError) notesError = std::current_exception();
        }
    }
    deleteRows();
    for (const PatientCopy& copy : group.copies) {
        if (!good.count(copy.patient)) continue;
        ++committed;
        for (size_t t = 0; t < rowsPerTable.size() && t < copy.tables.size(); ++t)
            rowsPerTable[t].second += static_cast<long>(copy.tables[t].Rows());
    }
    source.Flush();
    journal.Remove(good);
    if (notesError) std::rethrow_exception(notesError);
}

}  // namespace app
