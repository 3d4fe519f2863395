#include "archive/run_record.h"

#include <unistd.h>

#include <ctime>
#include <memory>

#include "archive/archive_paths.h"
#include "archive/patient_tables.h"
#include "common/exception_text.h"
#include "common/process.h"
#include "common/product.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/api/table_creation.h"
#include "engine/ascii_case.h"
#include "engine/error.h"

namespace archive {
namespace {

std::vector<engine::FieldSpec> LogFields() {
    return {{.name = "Started", .type = 'T', .nullable = true},
            {.name = "Ended", .type = 'T', .nullable = true},
            {.name = "Login", .type = 'C', .length = 40},
            {.name = "Host", .type = 'C', .length = 64},
            {.name = "StartedBy", .type = 'C', .length = 10},
            {.name = "Requested", .type = 'I'},
            {.name = "Archived", .type = 'I'},
            {.name = "Skipped", .type = 'I'},
            {.name = "RowsCopied", .type = 'M', .nullable = true},
            {.name = "Outcome", .type = 'M', .nullable = true},
            {.name = "Action", .type = 'C', .length = 10}};
}

// A point in time as a FoxPro date-time of the local calendar, to the second.
engine::DateTime LocalDateTime(std::chrono::system_clock::time_point moment) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    localtime_r(&seconds, &local);
    return engine::DateTime{engine::JulianDayFromYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
                            ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000};
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

bool HasLogTable(engine::api::Connection& archive) {
    try {
        engine::api::Recordset probe;
        probe.Open(kRunLogTable, archive, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic,
                   engine::api::kAdCmdTable);
        probe.Close();
        return true;
    } catch (const engine::Error& e) {
        if (e.Number() == engine::err::kUnknownTable) return false;
        throw;
    }
}

void Append(engine::api::Connection& archive, const RunRecord& record) {
    if (!HasLogTable(archive)) {
        try {
            engine::api::CreateTable(archive, kRunLogTable, LogFields());
        } catch (const engine::Error& e) {
            // Another process may have made it a moment ago; then it is there to use.
            if (e.Number() != engine::err::kBadArgument || !HasLogTable(archive)) throw;
        }
    }
    const auto ended =
        record.ended == std::chrono::system_clock::time_point{} ? std::chrono::system_clock::now() : record.ended;
    engine::api::Recordset log;
    log.Open(kRunLogTable, archive, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic,
             engine::api::kAdCmdTable);
    log.AddNew();
    engine::api::Fields& fields = log.Fields();
    fields.Item("Started").SetValue(LocalDateTime(record.started));
    fields.Item("Ended").SetValue(LocalDateTime(ended));
    fields.Item("Login").SetValue(record.login);
    fields.Item("Host").SetValue(record.host);
    fields.Item("StartedBy").SetValue(record.startedBy);
    fields.Item("Requested").SetValue(int64_t{record.requested});
    fields.Item("Archived").SetValue(int64_t{record.archived});
    fields.Item("Skipped").SetValue(int64_t{record.skipped});
    fields.Item("RowsCopied").SetValue(record.RowsCopiedText());
    if (engine::api::Field* action = fields.Find("Action")) {
        action->SetValue(record.action);
        fields.Item("Outcome").SetValue(record.outcome);
    } else {
        // A log table from before the Action field: only a restore needs telling apart.
        fields.Item("Outcome").SetValue(record.action == "archive" ? record.outcome : "Restore: " + record.outcome);
    }
    log.Update();
    log.Close();
}

void LogFailure() {
    product::ReportError("ArchLog", "WriteRunRecord",
                         "The run record could not be written:  " + common::CurrentErrorText(), false);
}

}  // namespace

RunRecord RunRecord::Begin(const std::string& startedBy) {
    RunRecord record;
    record.started = std::chrono::system_clock::now();
    record.login = common::GetLoginName();
    record.host = HostName();
    record.startedBy = startedBy;
    for (const PatientTable& table : kPatientTables) record.rowsCopied.push_back({std::string(table.table), 0});
    return record;
}

void RunRecord::CountRows(const std::string& table, long rows) {
    for (TableRows& entry : rowsCopied)
        if (engine::AsciiLower(entry.table) == engine::AsciiLower(table)) {
            entry.rows += rows;
            return;
        }
    rowsCopied.push_back({table, rows});
}

std::string RunRecord::RowsCopiedText() const {
    std::string text;
    for (const TableRows& entry : rowsCopied) text += entry.table + " " + std::to_string(entry.rows) + "\r\n";
    return text;
}

bool WriteRunRecord(engine::api::Connection& archive, const RunRecord& record) {
    try {
        Append(archive, record);
        return true;
    } catch (...) {
        LogFailure();
        return false;
    }
}

bool WriteRunRecord(const std::string& archiveFolder, const RunRecord& record) {
    try {
        std::unique_ptr<engine::api::Connection> archive = AdoTools::Connect_DBC(archiveFolder, kArchiveContainer);
        Append(*archive, record);
        archive->Close();
        return true;
    } catch (...) {
        LogFailure();
        return false;
    }
}

}  // namespace archive
