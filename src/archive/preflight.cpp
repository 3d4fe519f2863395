#include "archive/preflight.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "archive/archive_paths.h"
#include "archive/patient_tables.h"
#include "common/paths.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/error.h"

namespace archive {
namespace {

using engine::api::Connection;
using engine::api::Recordset;

// Up to this many patients each is looked up by key (an index answers at once); beyond it
// every table's key column is read once instead.
constexpr size_t kLookupLimit = 25;

using PatientSet = std::set<int32_t>;
using RowVisitor = std::function<void(int32_t patient, Recordset& row)>;

bool WholeNumber(const engine::Value& value, int32_t& out) {
    double number = 0;
    if (const auto* whole = value.If<int64_t>()) number = static_cast<double>(*whole);
    else if (const auto* real = value.If<double>()) number = *real;
    else return false;
    number = std::nearbyint(number);
    if (!(number >= INT32_MIN && number <= INT32_MAX)) return false;
    out = static_cast<int32_t>(number);
    return true;
}

// Calls visit for every row of table that belongs to one of patients; fields are read after
// the key ("PtNum, LastNam").
void ForEachRow(Connection& connection, std::string_view table, std::string_view key, const std::string& fields,
                const PatientSet& patients, const RowVisitor& visit) {
    const std::string select =
        "SELECT " + std::string(key) + (fields.empty() ? "" : ", " + fields) + " FROM " + std::string(table);
    Recordset rows;
    const auto visitAll = [&](std::optional<int32_t> known) {
        for (; !rows.Eof(); rows.MoveNext()) {
            int32_t patient = 0;
            if (known) patient = *known;
            else if (!WholeNumber(rows.Fields().Item(0).Value(), patient) || !patients.contains(patient)) continue;
            visit(patient, rows);
        }
        rows.Close();
    };
    if (patients.size() <= kLookupLimit) {
        for (int32_t patient : patients) {
            rows.Open(select + " WHERE " + std::string(key) + " = " + std::to_string(patient), connection);
            visitAll(patient);
        }
    } else {
        rows.Open(select, connection);
        visitAll(std::nullopt);
    }
}

std::string TrimRight(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

std::string DayText(engine::Date date) {
    int year = 0, month = 0, day = 0;
    engine::YmdFromJulianDay(date.julianDay, year, month, day);
    return std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year);
}

// The patients with a name each, the first kListedPatients of them.
std::vector<PatientLine> Listed(const PatientSet& patients, const std::map<int32_t, std::string>& names) {
    std::vector<PatientLine> lines;
    for (int32_t patient : patients) {
        if (lines.size() == kListedPatients) break;
        const auto name = names.find(patient);
        lines.push_back({patient, name == names.end() ? std::string() : name->second});
    }
    return lines;
}

// Appointment rows of the patients after today; the dates stay unknown when the table has no
// ApptDate field.
PatientSet FutureAppointments(Connection& practice, const PatientSet& patients, engine::Date today, bool& known) {
    PatientSet future;
    known = true;
    try {
        ForEachRow(practice, "Appointment", "PId", "ApptDate", patients, [&](int32_t patient, Recordset& row) {
            const engine::Value date = row.Fields().Item(1).Value();
            if (const auto* day = date.If<engine::Date>(); day && day->julianDay > today.julianDay)
                future.insert(patient);
            else if (const auto* moment = date.If<engine::DateTime>(); moment && moment->julianDay > today.julianDay)
                future.insert(patient);
        });
    } catch (const engine::Error& e) {
        if (e.Number() != engine::err::kUnknownField) throw;
        known = false;
    }
    return future;
}

// The patients with any row in the archive's patient tables, rows marked deleted included:
// those the run removes from the archive before copying them again.
PatientSet InArchive(const std::string& archiveFolder, const PatientSet& patients) {
    PatientSet found;
    std::unique_ptr<Connection> archive = AdoTools::Connect_DBC(archiveFolder, kArchiveContainer);
    archive->Execute("SET DELETED OFF");
    for (const PatientTable& table : kPatientTables) {
        PatientSet notYet;
        for (int32_t patient : patients)
            if (!found.contains(patient)) notYet.insert(patient);
        if (notYet.empty()) break;
        ForEachRow(*archive, table.table, table.key, "", notYet,
                   [&](int32_t patient, Recordset&) { found.insert(patient); });
    }
    archive->Close();
    return found;
}

}  // namespace

bool NothingToArchive(const std::vector<int32_t>& patients) {
    for (int32_t patient : patients)
        if (patient > 0) return false;
    return true;
}

long PreflightSheet::TotalRows() const {
    long total = 0;
    for (const TableRows& table : rows) total += table.rows;
    return total;
}

engine::Date Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return engine::Date{engine::JulianDayFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday)};
}

PreflightSheet ComputePreflight(const std::vector<int32_t>& asked, Connection& practice, const std::string& dataFolder,
                                engine::Date today) {
    const PatientSet patients(asked.begin(), asked.end());
    PreflightSheet sheet;
    sheet.patients = static_cast<long>(patients.size());
    sheet.today = DayText(today);
    sheet.archiveFolder = ArchiveFolderOf(dataFolder);
    std::error_code ec;
    sheet.archiveExists =
        std::filesystem::is_directory(sheet.archiveFolder, ec) && !ArchiveNeedsCreating(sheet.archiveFolder);

    std::map<int32_t, std::string> names;
    for (const PatientTable& table : kPatientTables) {
        long rows = 0;
        const bool identity = table.table == "IdentFil";
        ForEachRow(practice, table.table, table.key, identity ? "LastNam, FirstNam" : "", patients,
                   [&](int32_t patient, Recordset& row) {
                       ++rows;
                       if (identity)
                           names[patient] = TrimRight(AdoTools::VariantText(row.Fields().Item(1).Value())) + ", " +
                                            TrimRight(AdoTools::VariantText(row.Fields().Item(2).Value()));
                   });
        sheet.rows.push_back({std::string(table.table), rows});
    }
    for (int32_t patient : patients) sheet.notInPractice += names.contains(patient) ? 0 : 1;

    const std::string notes = common::AddBackslash(common::RemoveBackslash(dataFolder)) + "Notes/";
    for (int32_t patient : patients)
        sheet.notesFiles += std::filesystem::exists(notes + std::to_string(patient) + ".rtf", ec);

    const PatientSet future = FutureAppointments(practice, patients, today, sheet.appointmentDatesKnown);
    sheet.withFutureAppointments = static_cast<long>(future.size());
    sheet.futureAppointmentPatients = Listed(future, names);

    if (sheet.archiveExists) {
        const PatientSet archived = InArchive(sheet.archiveFolder, patients);
        sheet.alreadyArchived = static_cast<long>(archived.size());
        sheet.alreadyArchivedPatients = Listed(archived, names);
    }
    return sheet;
}

std::string PreflightText(const PreflightSheet& sheet) {
    std::ostringstream text;
    const auto list = [&](const std::vector<PatientLine>& lines, long count) {
        for (const PatientLine& line : lines) text << "  " << line.ptNum << "  " << line.name << "\n";
        if (count > static_cast<long>(lines.size()))
            text << "  ... and " << count - static_cast<long>(lines.size()) << " more\n";
    };
    text << "Patients to archive: " << sheet.patients << "\n";
    text << "Archive folder: " << sheet.archiveFolder << (sheet.archiveExists ? "" : " (will be created)") << "\n";
    text << "Rows to move:\n";
    for (const TableRows& table : sheet.rows) {
        std::string name = table.table;
        name.resize(std::max<size_t>(name.size(), 12), ' ');
        text << "  " << name << table.rows << "\n";
    }
    text << "  Total       " << sheet.TotalRows() << "\n";
    text << "Notes files: " << sheet.notesFiles << "\n";
    if (sheet.appointmentDatesKnown) {
        text << "Patients with appointments after " << sheet.today << ": " << sheet.withFutureAppointments << "\n";
        list(sheet.futureAppointmentPatients, sheet.withFutureAppointments);
    } else {
        text << "Patients with appointments after " << sheet.today << ": not known (Appointment has no ApptDate)\n";
    }
    text << "Patients already in the archive (their archive copy will be replaced): " << sheet.alreadyArchived << "\n";
    list(sheet.alreadyArchivedPatients, sheet.alreadyArchived);
    if (sheet.notInPractice > 0)
        text << "Patients no longer in the practice database (skipped): " << sheet.notInPractice << "\n";
    return text.str();
}

}  // namespace archive
