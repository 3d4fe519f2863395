#include "archive/restore_check.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>

#include "archive/patient_copy.h"
#include "archive/patient_tables.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/ascii_case.h"
#include "engine/error.h"

namespace archive {
namespace {

using engine::api::Connection;
using engine::api::Recordset;

// Record numbers that are keys of their table besides the autoincrement fields the practice's
// tables declare: Case's candidate CaseNum.
struct RecordKey {
    std::string_view table;
    std::string_view key;
};
constexpr RecordKey kRecordKeys[] = {{"Case", "CaseNum"}};

std::string TrimRight(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// The value as it is written into SQL text: whole numbers as digits, text quoted.
std::optional<std::string> SqlLiteral(const engine::Value& value) {
    if (const auto* whole = value.If<int64_t>()) return std::to_string(*whole);
    if (const auto* real = value.If<double>()) {
        std::ostringstream text;
        text.precision(17);
        text << *real;
        return text.str();
    }
    if (const auto* text = value.If<std::string>()) {
        if (text->find('\'') != std::string::npos) return std::nullopt;
        return "'" + *text + "'";
    }
    return std::nullopt;
}

// Whether the query returns a row; with deleted, rows marked deleted count too.
bool HasRows(Connection& connection, const std::string& query, bool deleted) {
    if (deleted) connection.Execute("SET DELETED OFF", -1);
    bool found = false;
    try {
        Recordset rows;
        rows.Open(query, connection, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);
        found = rows.State() == 1 && !rows.Eof();
    } catch (...) {
        if (deleted) connection.Execute("SET DELETED ON", -1);
        throw;
    }
    if (deleted) connection.Execute("SET DELETED ON", -1);
    return found;
}

}  // namespace

long RestoreSheet::TotalRows() const {
    long total = 0;
    for (const TableRows& table : rows) total += table.rows;
    return total;
}

RestoreChecker::RestoreChecker(Connection& practice, Connection& archive) : m_practice(practice), m_archive(archive) {}

const std::vector<std::string>& RestoreChecker::KeyFields(const std::string& table, const std::string& patientKey) {
    auto found = m_keyFields.find(table);
    if (found != m_keyFields.end()) return found->second;
    std::vector<std::string> keys;
    Recordset probe;
    probe.Open("SELECT * FROM " + table + " WHERE " + patientKey + " = 0", m_practice, engine::api::kAdOpenStatic,
               engine::api::kAdLockOptimistic, -1);
    for (engine::api::Field& field : probe.Fields()) {
        const auto recordKey = std::find_if(std::begin(kRecordKeys), std::end(kRecordKeys), [&](const RecordKey& k) {
            return engine::AsciiLower(std::string(k.table)) == engine::AsciiLower(table) &&
                   engine::AsciiLower(std::string(k.key)) == engine::AsciiLower(field.Name());
        });
        const bool patientField = engine::AsciiLower(field.Name()) == engine::AsciiLower(patientKey);
        // Named as the program spells it where it knows the field.
        if (patientField) continue;
        if (recordKey != std::end(kRecordKeys)) keys.emplace_back(recordKey->key);
        else if (field.Info().autoIncrement) keys.push_back(field.Name());
    }
    probe.Close();
    return m_keyFields.emplace(table, std::move(keys)).first->second;
}

std::optional<std::string> RestoreChecker::Blocker(int32_t patient) {
    const std::string number = std::to_string(patient);
    if (!HasRows(m_archive, "SELECT PtNum FROM IdentFil WHERE PtNum = " + number, false)) return "not in the archive";
    const std::string identity = "SELECT PtNum FROM IdentFil WHERE PtNum = " + number;
    if (HasRows(m_practice, identity, false)) return "in the practice database again";

    // His archive rows, and which of them the practice still holds marked deleted with the
    // same values: the restore puts those back in their own place, so the keys they hold are
    // his own.
    app::PatientCopy copy;
    copy.patient = patient;
    for (size_t t = 0; t < kPatientTables.size(); ++t)
        copy.tables[t] = app::CopyPatientTable(m_archive, m_practice, t, patient);
    const app::DeletedTwins twins = app::FindDeletedTwins(m_practice, copy);
    const auto allTwins = [&](size_t t) {
        return std::all_of(twins[t].begin(), twins[t].end(), [](const auto& twin) { return twin.has_value(); });
    };
    if (HasRows(m_practice, identity, true) && !allTwins(0))
        return "his patient number is held by rows marked deleted in the practice database; pack it first";

    for (size_t t = 0; t < kPatientTables.size(); ++t) {
        const std::string table(kPatientTables[t].table), patientKey(kPatientTables[t].key);
        const app::CopiedTable& copied = copy.tables[t];
        if (copied.records.empty()) continue;
        for (const std::string& key : KeyFields(table, patientKey)) {
            const std::vector<std::string>& names = copied.FieldNames();
            const auto field = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
                return engine::AsciiLower(name) == engine::AsciiLower(key);
            });
            if (field == names.end()) continue;
            const size_t f = static_cast<size_t>(field - names.begin());
            for (size_t row = 0; row < copied.Rows(); ++row) {
                const engine::Value* value = copied.SourceValue(row, f);
                if (!value || value->IsNull()) continue;
                const std::optional<std::string> literal = SqlLiteral(*value);
                if (!literal) continue;
                const std::string query = "SELECT " + key + " FROM " + table + " WHERE " + key + " = " + *literal;
                const std::string what = table + " " + key + " " + AdoTools::VariantText(*value);
                if (HasRows(m_practice, query, false)) return what + " is taken in the practice database";
                if (!twins[t][row] && HasRows(m_practice, query, true))
                    return what + " is held by a row marked deleted in the practice database; pack it first";
            }
        }
    }
    return std::nullopt;
}

std::string RestoreChecker::ArchiveName(int32_t patient) {
    try {
        Recordset row;
        row.Open("SELECT LastNam, FirstNam FROM IdentFil WHERE PtNum = " + std::to_string(patient), m_archive,
                 engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);
        if (row.Eof()) return {};
        const std::string last = TrimRight(AdoTools::VariantText(row.Fields().Item(0L).Value()));
        const std::string first = TrimRight(AdoTools::VariantText(row.Fields().Item(1L).Value()));
        return first.empty() ? last : last + ", " + first;
    } catch (const engine::Error&) {
        return {};
    }
}

RestoreSheet ComputeRestoreSheet(const std::vector<int32_t>& patients, Connection& practice, Connection& archive,
                                 const std::string& archiveFolder) {
    RestoreSheet sheet;
    sheet.archiveFolder = archiveFolder;
    const std::set<int32_t> distinct(patients.begin(), patients.end());
    sheet.patients = static_cast<long>(distinct.size());
    RestoreChecker checker(practice, archive);
    for (int32_t patient : distinct) {
        if (std::optional<std::string> blocker = checker.Blocker(patient))
            sheet.refused.push_back({patient, checker.ArchiveName(patient), *blocker});
        else sheet.toRestore.push_back(patient);
    }
    for (const PatientTable& t : kPatientTables) {
        TableRows counted{std::string(t.table), 0};
        for (int32_t patient : sheet.toRestore) {
            Recordset rows;
            rows.Open("SELECT " + std::string(t.key) + " FROM " + std::string(t.table) + " WHERE " +
                          std::string(t.key) + " = " + std::to_string(patient),
                      archive, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);
            for (; !rows.Eof(); rows.MoveNext()) ++counted.rows;
            rows.Close();
        }
        sheet.rows.push_back(counted);
    }
    std::error_code error;
    for (int32_t patient : sheet.toRestore)
        if (std::filesystem::exists(archiveFolder + "/Notes/" + std::to_string(patient) + ".rtf", error))
            ++sheet.notesFiles;
    return sheet;
}

std::string RestoreSheetText(const RestoreSheet& sheet) {
    std::ostringstream text;
    text << "Archive folder: " << sheet.archiveFolder << "\n";
    text << "Patients asked for: " << sheet.patients << "\n";
    text << "Patients to restore: " << sheet.toRestore.size() << "\n";
    text << "Rows to move back: " << sheet.TotalRows() << "\n";
    for (const TableRows& table : sheet.rows) text << "  " << table.table << " " << table.rows << "\n";
    text << "Notes files: " << sheet.notesFiles << "\n";
    if (!sheet.refused.empty()) {
        text << "Skipped (left in the archive): " << sheet.refused.size() << "\n";
        for (const RestoreRefusal& refusal : sheet.refused)
            text << "  Patient " << refusal.ptNum << (refusal.name.empty() ? "" : " (" + refusal.name + ")") << ": "
                 << refusal.reason << "\n";
    }
    return text.str();
}

}  // namespace archive
