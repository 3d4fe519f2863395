#include "archive/patient_copy.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>

#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/dbf_table_provider.h"
#include "engine/api/field_types.h"
#include "engine/api/recordset.h"
#include "engine/error.h"
#include "engine/sql/session.h"
#include "engine/sql/value_ops.h"

namespace app {

namespace {
const std::vector<std::string> kNoFields;
}  // namespace

const std::vector<std::string>& CopiedTable::FieldNames() const { return fields ? fields->names : kNoFields; }

const engine::Value* CopiedTable::SourceValue(size_t row, size_t field) const {
    const auto at = std::lower_bound(departures.begin(), departures.end(), std::pair{row, field},
                                     [](const Departure& d, const std::pair<size_t, size_t>& key) {
                                         return std::pair{d.row, d.field} < key;
                                     });
    if (at != departures.end() && at->row == row && at->field == field) return at->value ? &*at->value : nullptr;
    return &records[row][fields->places[field]];
}

void CopiedTable::Assign(size_t field, std::optional<engine::Value> value, std::vector<engine::Value>& record,
                         const engine::sql::FieldInfo& target) {
    const size_t row = records.size();
    engine::Value& place = record[fields->places[field]];
    if (!value) {
        departures.push_back(Departure{row, field, std::nullopt});
        return;
    }
    if (engine::api::KeptAsIs(*value, target)) {
        place = std::move(*value);
        return;
    }
    engine::Value converted = engine::api::ConvertForField(*value, target);
    if (!(converted == *value)) departures.push_back(Departure{row, field, std::move(value)});
    place = std::move(converted);
}

namespace {

using Actual = std::vector<engine::Value>;

bool Matches(const CopiedTable& copied, size_t row, const Actual& actual) {
    for (size_t f = 0; f < actual.size(); ++f) {
        const engine::Value* expected = copied.SourceValue(row, f);
        if (expected && !(*expected == actual[f])) return false;
    }
    return true;
}

// A value for a message: null, or its text without the field's trailing blanks, quoted.
std::string Quoted(const engine::Value& value) {
    if (value.IsNull()) return "null";
    std::string text = AdoTools::VariantText(value);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return "'" + text + "'";
}

// The first difference between a copied row and the archive row read back in its place.
std::string RowDifference(const std::string& table, const CopiedTable& copied, size_t row, const Actual* actual) {
    const std::string where = table + " row " + std::to_string(row + 1);
    if (!actual) return where + " is missing in the archive";
    for (size_t f = 0; f < actual->size(); ++f) {
        const engine::Value* expected = copied.SourceValue(row, f);
        if (expected && !(*expected == (*actual)[f]))
            return where + ", field " + copied.FieldNames()[f] + ": " + Quoted(*expected) + " in the practice, " +
                   Quoted((*actual)[f]) + " in the archive";
    }
    return where + " differs";
}

// Compares one table of one patient: the archive rows must be the copied rows, in any order.
std::string TableDifference(const std::string& table, const CopiedTable& copied, const std::vector<Actual>& actual) {
    if (actual.size() != copied.Rows())
        return table + ": " + std::to_string(actual.size()) + " rows in the archive, " + std::to_string(copied.Rows()) +
               " copied";
    std::vector<bool> used(actual.size(), false);
    for (size_t r = 0; r < copied.Rows(); ++r) {
        // Rows come back in the order they were added; look elsewhere only when that fails.
        size_t match = actual.size();
        if (!used[r] && Matches(copied, r, actual[r])) {
            match = r;
        } else {
            for (size_t a = 0; a < actual.size(); ++a)
                if (!used[a] && Matches(copied, r, actual[a])) {
                    match = a;
                    break;
                }
        }
        if (match == actual.size()) return RowDifference(table, copied, r, used[r] ? nullptr : &actual[r]);
        used[match] = true;
    }
    return {};
}

}  // namespace

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// The archive table as the connection keeps it, opened for appending.
std::unique_ptr<engine::api::DbfTableAccess> ArchiveTable(engine::api::Connection& archive, std::string_view table) {
    return archive.Core()->provider->OpenTable(std::string(table), engine::sql::OpenMode::kShared);
}

}  // namespace

CopiedTable CopyPatientTable(engine::api::Connection& practice, engine::api::Connection& archive, size_t tableIndex,
                             int32_t patient) {
    const auto& [table, key, deletion] = kPatientTables.at(tableIndex);
    const std::vector<engine::sql::FieldInfo> targetFields = ArchiveTable(archive, table)->Fields();
    engine::api::Recordset source;
    source.Open("SELECT * FROM " + std::string(table) + " WHERE " + std::string(key) + " = " + std::to_string(patient),
                practice, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);

    // The fields both tables have, with the target's type, which decides what is written.
    auto layout = std::make_shared<CopiedFields>();
    struct Pair {
        engine::api::Field* source;
        int type;
    };
    std::vector<Pair> fields;
    for (engine::api::Field& field : source.Fields()) {
        for (size_t t = 0; t < targetFields.size(); ++t) {
            if (!SameName(targetFields[t].name, field.Name())) continue;
            layout->names.push_back(field.Name());
            layout->places.push_back(t);
            fields.push_back(Pair{&field, engine::api::AdoType(targetFields[t])});
            break;
        }
    }
    CopiedTable copied;
    copied.fields = std::move(layout);
    for (; !source.Eof(); source.MoveNext()) {
        std::vector<engine::Value> record(targetFields.size());
        for (size_t f = 0; f < fields.size(); ++f)
            copied.Assign(f, AdoTools::CopiedValue(fields[f].source->Value(), fields[f].type), record,
                          targetFields[copied.fields->places[f]]);
        copied.records.push_back(std::move(record));
    }
    source.Close();
    return copied;
}

void AppendCopies(engine::api::Connection& archive, const std::vector<PatientCopy>& group, int32_t& failedPatient) {
    failedPatient = 0;
    engine::api::DbfTableProvider& provider = *archive.Core()->provider;
    for (size_t t = 0; t < kPatientTables.size(); ++t) {
        std::vector<const std::vector<engine::Value>*> rows;
        std::vector<int32_t> owners;  // the patient of each row
        for (const PatientCopy& copy : group) {
            const CopiedTable& copied = copy.tables[t];
            for (size_t r = 0; r < copied.records.size(); ++r) {
                if (!copied.inPlace.empty() && copied.inPlace[r]) continue;
                rows.push_back(&copied.records[r]);
                owners.push_back(copy.patient);
            }
        }
        if (rows.empty()) continue;
        provider.BeginStatement();
        size_t appended = 0;
        try {
            ArchiveTable(archive, kPatientTables[t].table)->AppendRows(rows, &appended);
        } catch (...) {
            failedPatient = owners.at(std::min(appended, owners.size() - 1));
            try {
                provider.EndStatement();
            } catch (...) {
            }
            throw;
        }
        provider.EndStatement();
    }
}

namespace {

// The field of the table's fields named name (without regard to case); throws when none is.
size_t FieldNamed(const std::vector<engine::sql::FieldInfo>& fields, std::string_view table, std::string_view name) {
    for (size_t f = 0; f < fields.size(); ++f)
        if (SameName(fields[f].name, name)) return f;
    throw engine::Error(engine::err::kBadArgument,
                        "Field '" + std::string(name) + "' does not exist in table '" + std::string(table) + "'.");
}

// Whether the value is the patient's number, as "field = n" compares them.
bool IsPatient(const engine::Value& value, int32_t patient) {
    const auto same = engine::sql::Compare(value, engine::Value(static_cast<int64_t>(patient)), false);
    return same && *same == 0;
}

// The rows that may hold the patient in the field: those an index on the field finds, or,
// without one, every row of the table. Each must still be checked: an index answers for the
// key, not for the row's mark or its current value.
std::vector<engine::sql::RecordNumber> Candidates(engine::api::DbfTableAccess& access, size_t field, int32_t patient) {
    if (auto found = access.LookupEqual(field, engine::Value(static_cast<int64_t>(patient)))) return std::move(*found);
    std::vector<engine::sql::RecordNumber> all(access.RecordCount());
    for (engine::sql::RecordNumber r = 0; r < all.size(); ++r) all[r] = r;
    return all;
}

// The rows (sorted) whose field equals the patient, as "field = n" finds them; rows marked
// deleted only when withDeleted. Answered from an index on the field where there is one.
std::vector<engine::sql::RecordNumber> PatientRows(engine::api::DbfTableAccess& access, size_t field, int32_t patient,
                                                   bool withDeleted) {
    std::vector<engine::sql::RecordNumber> records;
    for (engine::sql::RecordNumber r : Candidates(access, field, patient))
        if ((withDeleted || !access.IsDeleted(r)) && IsPatient(access.ReadValue(r, field), patient))
            records.push_back(r);
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    return records;
}

// Runs step on the table as one statement of the connection (checked for others' changes
// first; its writes synced after unless the connection defers flushing).
template <typename Step>
void OnTable(engine::api::Connection& connection, std::string_view table, Step step) {
    engine::api::ConnectionCore& core = *connection.Core();
    engine::api::DbfTableProvider& provider = *core.provider;
    const auto mode =
        core.session->Options().exclusive ? engine::sql::OpenMode::kExclusive : engine::sql::OpenMode::kShared;
    provider.BeginStatement();
    try {
        auto access = provider.OpenTable(std::string(table), mode);
        step(*access);
    } catch (...) {
        try {
            provider.EndStatement();
        } catch (...) {
        }
        throw;
    }
    provider.EndStatement();
}

}  // namespace

namespace {

bool IsMemo(const engine::sql::FieldInfo& field) {
    return field.type == 'M' || field.type == 'G' || field.type == 'W' || (field.type == 'B' && field.length == 10);
}

// The deleted twins of one table of one patient's copy, on the open table.
std::vector<std::optional<uint32_t>> TwinsInTable(engine::api::DbfTableAccess& access, std::string_view table,
                                                  std::string_view key, const PatientCopy& copy,
                                                  const CopiedTable& copied) {
    std::vector<std::optional<uint32_t>> twins(copied.Rows());
    std::vector<engine::sql::RecordNumber> marked;
    for (engine::sql::RecordNumber r : PatientRows(access, FieldNamed(access.Fields(), table, key), copy.patient, true))
        if (access.IsDeleted(r)) marked.push_back(r);
    if (marked.empty()) return twins;
    std::vector<size_t> fields;
    for (const std::string& name : copied.FieldNames()) fields.push_back(FieldNamed(access.Fields(), table, name));
    std::vector<bool> used(marked.size(), false);
    for (size_t row = 0; row < copied.Rows(); ++row) {
        for (size_t m = 0; m < marked.size() && !twins[row]; ++m) {
            if (used[m]) continue;
            bool same = true;
            for (size_t f = 0; f < fields.size() && same; ++f) {
                const engine::Value* expected = copied.SourceValue(row, f);
                if (!expected || IsMemo(access.Fields()[fields[f]])) continue;
                same = *expected == access.ReadValue(marked[m], fields[f]);
            }
            if (!same) continue;
            used[m] = true;
            twins[row] = static_cast<uint32_t>(marked[m]);
        }
    }
    return twins;
}

}  // namespace

DeletedTwins FindDeletedTwins(engine::api::Connection& target, const PatientCopy& copy) {
    DeletedTwins twins;
    for (size_t t = 0; t < kPatientTables.size(); ++t) {
        const auto& [table, key, deletion] = kPatientTables[t];
        if (copy.tables[t].records.empty()) continue;
        OnTable(target, table, [&](engine::api::DbfTableAccess& access) {
            twins[t] = TwinsInTable(access, table, key, copy, copy.tables[t]);
        });
    }
    return twins;
}

void ReviveDeletedTwins(engine::api::Connection& target, std::vector<PatientCopy>& group) {
    for (size_t t = 0; t < kPatientTables.size(); ++t) {
        const auto& [table, key, deletion] = kPatientTables[t];
        OnTable(target, table, [&](engine::api::DbfTableAccess& access) {
            for (PatientCopy& copy : group) {
                CopiedTable& copied = copy.tables[t];
                if (copied.records.empty()) continue;
                const std::vector<std::optional<uint32_t>> twins = TwinsInTable(access, table, key, copy, copied);
                std::vector<engine::sql::RecordNumber> revived;
                copied.inPlace.assign(copied.records.size(), false);
                for (size_t row = 0; row < copied.records.size(); ++row) {
                    if (!twins[row]) continue;
                    access.Overwrite(*twins[row], copied.records[row]);
                    revived.push_back(*twins[row]);
                    copied.inPlace[row] = true;
                }
                if (!revived.empty()) access.SetDeleted(revived, false);
            }
        });
    }
}

bool HoldsPatient(engine::api::Connection& connection, int32_t patient) {
    return !PatientsHeld(connection, {patient}).empty();
}

void DeleteCopiedRows(engine::api::Connection& practice, const std::vector<PatientCopy>& copies,
                      const std::set<int32_t>& patients) {
    // DeletePatientRecords' tables, in its order, then IdentFil.
    for (size_t t : archive::kDeletionOrder) {
        std::vector<engine::sql::RecordNumber> records;
        for (const PatientCopy& copy : copies)
            if (patients.count(copy.patient))
                records.insert(records.end(), copy.sourceRecords[t].begin(), copy.sourceRecords[t].end());
        if (records.empty()) continue;
        std::sort(records.begin(), records.end());
        // A table that cannot be written ends the deletion with the group still in the journal:
        // skipping it would report the patients archived with rows left live in the practice.
        OnTable(practice, kPatientTables[t].table,
                [&](engine::api::DbfTableAccess& access) { access.SetDeleted(records, true); });
    }
}

std::map<int32_t, std::string> VerifyCopies(engine::api::Connection& archive, const std::vector<PatientCopy>& copies) {
    std::map<int32_t, std::string> differences;
    for (size_t t = 0; t < kPatientTables.size(); ++t) {
        const auto& [table, key, deletion] = kPatientTables[t];
        // One statement per table: each patient's live rows found through the table's index
        // (rows marked deleted are no copy) and read back in the order they were appended.
        OnTable(archive, table, [&](engine::api::DbfTableAccess& access) {
            const size_t keyField = FieldNamed(access.Fields(), table, key);
            const CopiedFields* layout = nullptr;  // the copies read together share their fields
            std::vector<size_t> fields;
            for (const PatientCopy& copy : copies) {
                if (differences.count(copy.patient)) continue;
                const CopiedTable& copied = copy.tables[t];
                if (copied.fields.get() != layout || !layout) {
                    layout = copied.fields.get();
                    fields.clear();
                    for (const std::string& name : copied.FieldNames())
                        fields.push_back(FieldNamed(access.Fields(), table, name));
                }
                const std::vector<engine::sql::RecordNumber> records =
                    PatientRows(access, keyField, copy.patient, false);
                // Rows come back in the order they were added: compared so, value by value as
                // read, they need not be kept. Otherwise they are read again and compared in
                // any order, which also finds the first difference to report.
                bool inOrder = records.size() == copied.Rows();
                auto departure = copied.departures.begin();  // walked along with the rows
                for (size_t i = 0; inOrder && i < records.size(); ++i) {
                    for (size_t f = 0; f < fields.size() && inOrder; ++f) {
                        while (departure != copied.departures.end() &&
                               (departure->row < i || (departure->row == i && departure->field < f)))
                            ++departure;
                        const bool departs =
                            departure != copied.departures.end() && departure->row == i && departure->field == f;
                        const engine::Value* expected = departs ? (departure->value ? &*departure->value : nullptr)
                                                                : &copied.records[i][copied.fields->places[f]];
                        inOrder = !expected || *expected == access.ReadValue(records[i], fields[f]);
                    }
                }
                if (inOrder) continue;
                std::vector<Actual> rows;
                for (engine::sql::RecordNumber r : records) {
                    Actual row;
                    row.reserve(fields.size());
                    for (size_t f : fields) row.push_back(access.ReadValue(r, f));
                    rows.push_back(std::move(row));
                }
                std::string difference = TableDifference(std::string(table), copied, rows);
                if (!difference.empty()) differences[copy.patient] = std::move(difference);
            }
        });
    }
    return differences;
}

std::map<int32_t, PatientCopy> ReadPatientCopies(engine::api::Connection& practice, engine::api::Connection& archive,
                                                 const std::vector<int32_t>& patients) {
    std::map<int32_t, PatientCopy> copies;
    for (int32_t patient : patients) copies[patient].patient = patient;
    for (size_t t = 0; t < kPatientTables.size(); ++t) {
        const auto& [table, key, deletion] = kPatientTables[t];
        const std::vector<engine::sql::FieldInfo> targetFields = ArchiveTable(archive, table)->Fields();
        OnTable(practice, table, [&](engine::api::DbfTableAccess& access) {
            const std::vector<engine::sql::FieldInfo>& sourceFields = access.Fields();
            const size_t keyField = FieldNamed(sourceFields, table, key);
            // The fields both tables have, with the target's type, which decides what is written.
            struct Pair {
                size_t source;
                int type;
            };
            std::vector<Pair> pairs;
            auto layout = std::make_shared<CopiedFields>();
            for (size_t s = 0; s < sourceFields.size(); ++s) {
                for (size_t g = 0; g < targetFields.size(); ++g) {
                    if (!SameName(targetFields[g].name, sourceFields[s].name)) continue;
                    layout->names.push_back(sourceFields[s].name);
                    layout->places.push_back(g);
                    pairs.push_back(Pair{s, engine::api::AdoType(targetFields[g])});
                    break;
                }
            }
            engine::sql::Record record;
            const uint32_t count = access.RecordCount();
            for (auto& [patient, copy] : copies) {
                CopiedTable& copied = copy.tables[t];
                copied.fields = layout;
                copy.sourceCount[t] = count;
                // Each row is decoded once: its mark and its patient number are checked on
                // the values that are copied.
                std::vector<engine::sql::RecordNumber> candidates = Candidates(access, keyField, patient);
                std::sort(candidates.begin(), candidates.end());
                candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
                copied.records.reserve(candidates.size());
                for (engine::sql::RecordNumber r : candidates) {
                    if (access.IsDeleted(r)) continue;
                    access.Read(r, record);
                    if (!IsPatient(record.values[keyField], patient)) continue;
                    copy.sourceRecords[t].push_back(r);
                    std::vector<engine::Value> values(targetFields.size());
                    for (size_t f = 0; f < pairs.size(); ++f) {
                        // What CopiedValue gives, taken out of the row read (each of its fields
                        // is copied once) rather than copied where no conversion is made.
                        engine::Value& source = record.values[pairs[f].source];
                        std::optional<engine::Value> value;
                        if (pairs[f].type == engine::api::kAdDate) value = AdoTools::CopiedValue(source, pairs[f].type);
                        else if (!source.IsNull()) value = std::move(source);
                        copied.Assign(f, std::move(value), values, targetFields[layout->places[f]]);
                    }
                    copied.records.push_back(std::move(values));
                }
            }
        });
    }
    return copies;
}

std::map<int32_t, std::string> ChangedInPractice(engine::api::Connection& practice,
                                                 const std::vector<PatientCopy>& copies) {
    std::map<int32_t, std::string> changed;
    if (copies.empty()) return changed;
    for (size_t t = 0; t < kPatientTables.size(); ++t) {
        const auto& [table, key, deletion] = kPatientTables[t];
        OnTable(practice, table, [&](engine::api::DbfTableAccess& access) {
            const size_t keyField = FieldNamed(access.Fields(), table, key);
            const auto holds = [&](engine::sql::RecordNumber r, int32_t patient) {
                const auto same = engine::sql::Compare(access.ReadValue(r, keyField),
                                                       engine::Value(static_cast<int64_t>(patient)), false);
                return same && *same == 0;
            };
            uint32_t oldest = copies.front().sourceCount[t];
            for (const PatientCopy& copy : copies) oldest = std::min(oldest, copy.sourceCount[t]);
            const engine::sql::RecordNumber count = access.RecordCount();
            // The rows read, in file order (the group is handled last patient first, each
            // patient's rows ahead of the one before): read on from block to block.
            std::vector<std::pair<engine::sql::RecordNumber, int32_t>> read;
            for (const PatientCopy& copy : copies)
                if (!changed.count(copy.patient))
                    for (engine::sql::RecordNumber r : copy.sourceRecords[t]) read.emplace_back(r, copy.patient);
            std::sort(read.begin(), read.end());
            for (const auto& [r, patient] : read) {
                if (changed.count(patient)) continue;
                if (r < count && !access.IsDeleted(r) && holds(r, patient)) continue;
                changed[patient] =
                    std::string(table) + ": row " + std::to_string(r + 1) + " deleted or changed since it was read";
            }
            for (engine::sql::RecordNumber r = oldest; r < count; ++r) {
                if (access.IsDeleted(r)) continue;
                for (const PatientCopy& copy : copies) {
                    if (r < copy.sourceCount[t] || changed.count(copy.patient) || !holds(r, copy.patient)) continue;
                    changed[copy.patient] = std::string(table) + ": row " + std::to_string(r + 1) +
                                            " added since the patient's rows were read";
                }
            }
        });
    }
    return changed;
}

std::set<int32_t> PatientsHeld(engine::api::Connection& connection, const std::vector<int32_t>& patients) {
    std::set<int32_t> held;
    for (const auto& [table, key, deletion] : kPatientTables) {
        std::vector<int32_t> unknown;
        for (int32_t patient : patients)
            if (!held.count(patient)) unknown.push_back(patient);
        if (unknown.empty()) break;
        OnTable(connection, table, [&](engine::api::DbfTableAccess& access) {
            const size_t keyField = FieldNamed(access.Fields(), table, key);
            for (int32_t patient : unknown) {
                for (engine::sql::RecordNumber r : Candidates(access, keyField, patient)) {
                    if (!IsPatient(access.ReadValue(r, keyField), patient)) continue;
                    held.insert(patient);
                    break;
                }
            }
        });
    }
    return held;
}

}  // namespace app
