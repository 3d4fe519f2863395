// Copying a patient's rows from the practice database into the archive, and checking the
// copies: the archive run copies each table row by row (add, copy fields, save) and keeps
// what it wrote, so that before a group of patients is deleted from the practice their
// copies can be read back from the archive tables and compared, per table, row count and
// every copied value.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "archive/patient_tables.h"
#include "engine/value.h"

namespace engine::api {
class Connection;
}
namespace engine::sql {
struct FieldInfo;
}

namespace app {

// The patient tables in copying order, with the field that holds the patient number.
using archive::kPatientTableCount;
using archive::kPatientTables;

// The fields of a table both databases have, as the copies of one statement use them: their
// names and each one's place in the target table's record. Shared by the copies of all the
// patients read together.
struct CopiedFields {
    std::vector<std::string> names;
    std::vector<size_t> places;
};

// What is copied into one target table for one patient: the rows to write (every field of the
// target table, in its order), and what checking the copies compares them with, the source
// value assigned to each copied field. A row's values are held once: the source value is the
// record's own value unless the copy departs from it (a null value is not assigned, the field
// is left as a new row has it; a value converted to the target field differs), and only
// departures are kept apart.
struct CopiedTable {
    // A copied field of a row whose source value is not the record's: nullopt where the field
    // is not assigned (nothing to compare), else the value as read from the source.
    struct Departure {
        size_t row;
        size_t field;
        std::optional<engine::Value> value;
    };

    std::shared_ptr<const CopiedFields> fields;
    std::vector<std::vector<engine::Value>> records;
    std::vector<Departure> departures;  // by row, then field
    // Rows written in place of a marked row rather than appended (ReviveDeletedTwins); empty
    // when none is.
    std::vector<bool> inPlace;

    size_t Rows() const { return records.size(); }
    const std::vector<std::string>& FieldNames() const;
    // The source value of copied field `field` (an index into FieldNames) in row: nullptr where
    // the field is not assigned.
    const engine::Value* SourceValue(size_t row, size_t field) const;
    // Sets copied field `field` of record, the row about to be added (at records.size()), from
    // the value read from the source (nullopt: not assigned), converted for target (the target
    // table's field); keeps a departure where what is stored is not the value read.
    void Assign(size_t field, std::optional<engine::Value> value, std::vector<engine::Value>& record,
                const engine::sql::FieldInfo& target);
};

// One patient's copy: every table in copying order, and per table the practice records the
// rows were read from and the table's record count then (ReadPatientCopies; empty for a copy
// made by CopyPatientTable).
struct PatientCopy {
    int32_t patient = 0;
    std::array<CopiedTable, kPatientTableCount> tables;
    std::array<std::vector<uint32_t>, kPatientTableCount> sourceRecords;
    std::array<uint32_t, kPatientTableCount> sourceCount{};
};

// Reads the rows of patient in table number tableIndex of kPatientTables from practice, in
// the practice's order, and returns them as they are to be appended to the archive table
// (each value converted as a recordset's field assignment converts it). Nothing is written
// yet: AppendCopies writes a group's copies. Errors pass to the caller.
CopiedTable CopyPatientTable(engine::api::Connection& practice, engine::api::Connection& archive, size_t tableIndex,
                             int32_t patient);

// Reads the live rows of a group of patients from every patient table of practice, one
// statement per table (each patient's rows found through the table's index), and returns per
// patient what CopyPatientTable returns for each table, with the records read. A patient
// without a live IdentFil row is returned with no IdentFil rows. Errors pass to the caller.
std::map<int32_t, PatientCopy> ReadPatientCopies(engine::api::Connection& practice, engine::api::Connection& archive,
                                                 const std::vector<int32_t>& patients);

// The patients, of those read by ReadPatientCopies, whose live rows in the practice are no
// longer the rows read, one statement per table; for each, what changed. Without an index
// lookup: a row read must still be live and the patient's, and no row appended since may be
// the patient's (a row taken over from another patient by a change of its number is not seen).
std::map<int32_t, std::string> ChangedInPractice(engine::api::Connection& practice,
                                                 const std::vector<PatientCopy>& copies);

// Appends the copies of a group of patients to the archive tables, table by table in copying
// order, each table's rows in one write of the table (one hold of its write lock, its index
// pages written once). When a row cannot be written the error passes to the caller and
// failedPatient receives the patient whose row it was; the rows before it stay appended
// (a partial copy, which the next run that meets the patient removes).
void AppendCopies(engine::api::Connection& archive, const std::vector<PatientCopy>& group, int32_t& failedPatient);

// For the restore, the rows marked deleted that still hold a patient's keys in the practice (a
// patient archived and not packed away yet): for each copied row of each table, the practice
// row (0-based) of the same patient, marked deleted, whose values are the copy's, or nullopt.
// Memo fields are not compared (a marked row's memo blocks may have been reused and are never
// read). Each practice row stands for one copied row at most.
using DeletedTwins = std::array<std::vector<std::optional<uint32_t>>, kPatientTableCount>;
DeletedTwins FindDeletedTwins(engine::api::Connection& target, const PatientCopy& copy);

// Puts every copied row of the group that has a deleted twin in the twin's place instead of
// appending it: the twin is written anew with every value of the copy (memos in new blocks),
// then its mark is taken off; those rows are taken out of the copies' records, so AppendCopies
// appends only the others. Either way the row comes back as an append would bring it; what is
// overwritten is a marked row with the same values, which a pack would have dropped. Rows of a
// patient undone later are marked deleted again as appended ones are. Errors pass up.
void ReviveDeletedTwins(engine::api::Connection& target, std::vector<PatientCopy>& group);

// Deletes the patients, of the copies read by ReadPatientCopies, from the practice database:
// marks deleted exactly the rows that were read for them (their record numbers), table by
// table in the order DeletePatientRecords deletes, IdentFil last, each table's rows of all the
// patients in one write of the table. The rows are not looked for again: ChangedInPractice has
// checked that they are still live and the patients', and that no row of theirs was added
// since. Unlike DeletePatientRecords, a table that cannot be changed is not skipped: its error
// passes up, so the run keeps the patients in its journal and the next run finishes their
// deletion.
void DeleteCopiedRows(engine::api::Connection& practice, const std::vector<PatientCopy>& copies,
                      const std::set<int32_t>& patients);

// Whether any of the eight patient tables of the connection holds a row of the patient, rows
// marked deleted included (what "SET DELETED OFF; SELECT key FROM table WHERE key = n" finds,
// table by table, answered from the tables' indexes).
bool HoldsPatient(engine::api::Connection& connection, int32_t patient);
// The same question for a group of patients, one statement per table: those held.
std::set<int32_t> PatientsHeld(engine::api::Connection& connection, const std::vector<int32_t>& patients);

// Reads the live archive rows of the copied patients back and compares them with what was
// copied: per table the row count and every copied value. Returns, for each patient whose
// archive rows differ, a description of the first difference; empty when all agree.
std::map<int32_t, std::string> VerifyCopies(engine::api::Connection& archive, const std::vector<PatientCopy>& copies);

}  // namespace app
