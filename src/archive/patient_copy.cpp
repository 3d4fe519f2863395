#include "archive/patient_copy.h"

#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"

namespace app {
namespace {

using Expected = std::vector<std::optional<engine::Value>>;
using Actual = std::vector<engine::Value>;

bool Matches(const Expected& expected, const Actual& actual) {
    for (size_t f = 0; f < expected.size(); ++f)
        if (expected[f] && !(*expected[f] == actual[f])) return false;
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
    const Expected& expected = copied.rows[row];
    for (size_t f = 0; f < expected.size(); ++f)
        if (expected[f] && !(*expected[f] == (*actual)[f]))
            return where + ", field " + copied.fields[f] + ": " + Quoted(*expected[f]) + " in the practice, " +
                   Quoted((*actual)[f]) + " in the archive";
    return where + " differs";
}

// Compares one table of one patient: the archive rows must be the copied rows, in any order.
std::string TableDifference(const std::string& table, const CopiedTable& copied, const std::vector<Actual>& actual) {
    if (actual.size() != copied.rows.size())
        return table + ": " + std::to_string(actual.size()) + " rows in the archive, " +
               std::to_string(copied.rows.size()) + " copied";
    std::vector<bool> used(actual.size(), false);
    for (size_t r = 0; r < copied.rows.size(); ++r) {
        // Rows come back in the order they were added; look elsewhere only when that fails.
        size_t match = actual.size();
        if (!used[r] && Matches(copied.rows[r], actual[r])) {
            match = r;
        } else {
            for (size_t a = 0; a < actual.size(); ++a)
                if (!used[a] && Matches(copied.rows[r], actual[a])) {
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

CopiedTable CopyPatientTable(engine::api::Connection& practice, engine::api::Connection& archive, size_t tableIndex,
                             int32_t patient) {
    const auto& [table, key] = kPatientTables.at(tableIndex);
    engine::api::Recordset target;
    target.Open(table, archive, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, engine::api::kAdCmdTable);
    engine::api::Recordset source;
    source.Open(std::string("SELECT * FROM ") + table + " WHERE " + key + " = " + std::to_string(patient), practice,
                engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);

    // The fields both tables have, with the target's type, which decides what is written.
    CopiedTable copied;
    std::vector<std::pair<engine::api::Field*, int>> fields;
    for (engine::api::Field& field : source.Fields()) {
        if (engine::api::Field* into = AdoTools::GetField(target, field.Name())) {
            copied.fields.push_back(field.Name());
            fields.emplace_back(&field, into->Type());
        }
    }
    for (; !source.Eof(); source.MoveNext()) {
        Expected row;
        row.reserve(fields.size());
        for (const auto& [field, type] : fields) row.push_back(AdoTools::CopiedValue(field->Value(), type));
        target.AddNew();
        AdoTools::CopyRecord(source.Fields(), target);
        target.Update();
        copied.rows.push_back(std::move(row));
    }
    source.Close();
    target.Close();
    return copied;
}

std::map<int32_t, std::string> VerifyCopies(engine::api::Connection& archive, const std::vector<PatientCopy>& copies) {
    std::map<int32_t, std::string> differences;
    archive.Execute("SET DELETED ON", -1);  // rows marked deleted are no copy
    for (const PatientCopy& copy : copies) {
        const std::string number = std::to_string(copy.patient);
        for (size_t t = 0; t < kPatientTables.size(); ++t) {
            const auto& [table, key] = kPatientTables[t];
            const CopiedTable& copied = copy.tables[t];
            // One equality lookup per patient and table: the engine answers it from an index.
            engine::api::Recordset back;
            back.Open("SELECT * FROM " + std::string(table) + " WHERE " + key + " = " + number, archive,
                      engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);
            std::vector<engine::api::Field*> fields;
            for (const std::string& name : copied.fields) fields.push_back(&back.Fields().Item(name));
            std::vector<Actual> rows;
            for (; !back.Eof(); back.MoveNext()) {
                Actual row;
                row.reserve(fields.size());
                for (engine::api::Field* field : fields) row.push_back(field->Value());
                rows.push_back(std::move(row));
            }
            back.Close();
            std::string difference = TableDifference(table, copied, rows);
            if (!difference.empty()) {
                differences[copy.patient] = std::move(difference);
                break;
            }
        }
    }
    return differences;
}

}  // namespace app
