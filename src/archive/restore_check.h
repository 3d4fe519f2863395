// What a restore is about to do, and which patients it must leave in the archive: the
// restore's pre-flight sheet. A patient can be restored when the archive holds him (a live
// IdentFil row) and none of his keys is held in the practice database: his patient number
// (IdentFil), and the record numbers of his rows (Case's CaseNum and every autoincrement field
// of the practice's tables). A restore puts his rows back with every value they had, so a key
// held by another row would mix two patients' records. A key held only by rows marked deleted
// (a patient archived and not yet packed away) is held too, since the practice's candidate
// indexes count those rows until the practice is packed, unless the row is his own with the
// values of his archive row: the restore then puts the archive row back in that row's place
// (patient_copy.h, ReviveDeletedTwins), so such a patient needs no pack first. Reads only;
// Qt-free.
//
// Where it is called: the restore run (restore_run.h) computes the sheet after taking the run
// lock and finishing an interrupted restore, shows it (window: frmRestoreSheet, batch: printed
// by RestoreSheetText) and checks each patient again with RestoreChecker::Blocker right before
// moving him.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "archive/preflight.h"

namespace engine::api {
class Connection;
}  // namespace engine::api

namespace archive {

// A patient the restore leaves in the archive, and why.
struct RestoreRefusal {
    int32_t ptNum = 0;
    std::string name;    // "Last, First" from the archive; empty when it has no row
    std::string reason;  // e.g. "in the practice database again"
};

struct RestoreSheet {
    long patients = 0;                    // distinct patient numbers asked for
    std::vector<int32_t> toRestore;       // those that can be restored, ascending
    std::vector<TableRows> rows;          // their archive rows, the eight tables in copying order
    long notesFiles = 0;                  // their notes files in the archive's Notes folder
    std::vector<RestoreRefusal> refused;  // the others, ascending
    std::string archiveFolder;

    long TotalRows() const;
};

// Answers, for one patient at a time, whether the restore may move him.
class RestoreChecker {
public:
    RestoreChecker(engine::api::Connection& practice, engine::api::Connection& archive);
    // Why the patient cannot be restored now; none when he can. Throws engine::Error when a
    // table cannot be read.
    std::optional<std::string> Blocker(int32_t patient);
    // "Last, First" of the patient's archive row; empty when there is none.
    std::string ArchiveName(int32_t patient);

private:
    const std::vector<std::string>& KeyFields(const std::string& table, const std::string& patientKey);

    engine::api::Connection& m_practice;
    engine::api::Connection& m_archive;
    std::map<std::string, std::vector<std::string>> m_keyFields;  // by table
};

// Counts the sheet for patients (duplicates once) from the archive of archiveFolder.
RestoreSheet ComputeRestoreSheet(const std::vector<int32_t>& patients, engine::api::Connection& practice,
                                 engine::api::Connection& archive, const std::string& archiveFolder);

// The sheet as plain text, one fact a line, for the terminal.
std::string RestoreSheetText(const RestoreSheet& sheet);

}  // namespace archive
