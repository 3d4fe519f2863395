#include "engine/api/connection.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "engine/api/api_errors.h"
#include "engine/api/connection_string.h"
#include "engine/api/recordset.h"
#include "engine/api/row_store.h"
#include "engine/ascii_case.h"
#include "engine/dbf/file_system.h"
#include "engine/error.h"

namespace engine::api {
namespace fs = std::filesystem;

namespace {

// The database path as this system can open it: stored strings may carry "\" separators.
fs::path DatabasePath(const std::string& given) {
    if (dbf::PathExists(given) || given.find('\\') == std::string::npos) return given;
    std::string slashed = given;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    return slashed;
}

// Free tables of a folder: the names of its .dbf files without the extension, sorted.
std::vector<std::string> FreeTables(const fs::path& folder) {
    std::vector<std::string> names;
    for (const std::string& name : dbf::FolderNames(folder)) {
        const fs::path file = folder / name;
        if (AsciiUpper(file.extension().string()) == ".DBF" && dbf::PathIsFile(file))
            names.push_back(file.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The lock wait of a timeout in seconds (ADO's ConnectionTimeout).
std::chrono::milliseconds LockWait(long seconds) { return std::chrono::milliseconds(std::max(0L, seconds) * 1000); }

}  // namespace

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::string&, const std::string&, const std::string& text, long) {
    if (m_core) throw Error(engine::err::kBadArgument, "Operation is not allowed when the object is open.");
    if (!text.empty()) m_connectionString = text;
    const ConnectionProperties properties(m_connectionString);
    const auto source = properties.Get("SourceDB");
    if (!source || source->empty())
        throw Error(err::kBadConnectionString,
                    "The connection string names no database (SourceDB): '" + m_connectionString + "'.");
    const std::string type = AsciiUpper(properties.Get("SourceType").value_or(""));
    if (!type.empty() && type != "DBC" && type != "DBF")
        throw Error(err::kBadConnectionString, "Unknown SourceType '" + type + "' in the connection string.");
    const fs::path path = DatabasePath(*source);
    if (type == "DBF" && !dbf::PathIsFolder(path))
        throw Error(engine::err::kFileNotFound,
                    "Cannot open database folder '" + path.string() + "': it does not exist.");
    if (type == "DBC" && dbf::PathIsFolder(path))
        throw Error(engine::err::kFileNotFound,
                    "Cannot open database '" + path.string() + "': it is a folder, not a container.");
    auto core = std::make_shared<ConnectionCore>();
    core->provider = std::make_unique<DbfTableProvider>(path);
    core->session = std::make_unique<sql::Session>(*core->provider);
    core->session->Options().exclusive = properties.Flag("Exclusive", false);
    core->session->SetLockTimeout(LockWait(m_timeout));
    core->provider->SetDeferredFlush(m_deferredFlush);
    m_core = std::move(core);
}

void Connection::SetConnectionTimeout(long seconds) {
    m_timeout = seconds;
    if (m_core) m_core->session->SetLockTimeout(LockWait(seconds));
}

void Connection::SetDeferredFlush(bool deferred) {
    m_deferredFlush = deferred;
    if (!m_core) return;
    m_core->provider->SetDeferredFlush(deferred);
    if (!deferred) m_core->provider->Flush();
}

namespace {

// Runs one statement of a connection: its tables checked for others' changes once, its writes
// synced at the end (unless flushing is deferred), also when it fails.
template <class Run>
auto AsStatement(DbfTableProvider& provider, Run&& run) {
    provider.BeginStatement();
    try {
        auto outcome = run();
        provider.EndStatement();
        return outcome;
    } catch (...) {
        // What a failing statement wrote before it failed is synced all the same.
        try {
            provider.EndStatement();
        } catch (...) {
        }
        throw;
    }
}

}  // namespace

sql::Outcome ConnectionCore::Execute(std::string_view text) {
    return AsStatement(*provider, [&] { return sql::Execute(text, *session); });
}

sql::ForwardOutcome ConnectionCore::ExecuteForward(std::string_view text) {
    return AsStatement(*provider, [&] { return sql::ExecuteForward(text, *session); });
}

void ConnectionCore::Check(std::string_view text) {
    AsStatement(*provider, [&] {
        sql::Check(text, *session);
        return 0;
    });
}

void Connection::Check(std::string_view text) { Core()->Check(text); }

const std::shared_ptr<ConnectionCore>& Connection::Core() const {
    if (!m_core) throw Error(engine::err::kNotOpen, "Operation is not allowed when the object is closed.");
    return m_core;
}

sql::Outcome Connection::Execute(std::string_view text, long) { return Core()->Execute(text); }

std::unique_ptr<Recordset> Connection::ExecuteForward(std::string_view text, long* recordsAffected) {
    const auto& core = Core();
    sql::ForwardOutcome outcome = core->ExecuteForward(text);
    if (recordsAffected) *recordsAffected = outcome.recordsAffected;
    if (!outcome.rows) return nullptr;
    auto recordset = std::make_unique<Recordset>();
    recordset->Attach(std::make_shared<ForwardRows>(std::move(outcome.rows)), core);
    return recordset;
}

void Connection::Flush() { Core()->provider->Flush(); }

std::unique_ptr<Recordset> Connection::OpenSchema(int schema, const std::vector<std::string>& restrictions) {
    const auto& core = Core();
    if (schema != kAdSchemaTables)
        throw Error(engine::err::kBadArgument,
                    "Schema " + std::to_string(schema) + " is not offered; only tables (20).");
    auto restriction = [&](size_t i) { return i < restrictions.size() ? restrictions[i] : std::string(); };
    const std::string wantedName = AsciiUpper(restriction(2));
    const std::string wantedType = AsciiUpper(restriction(3));
    sql::ResultSet rows;
    for (const char* name : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"})
        rows.fields.push_back(sql::FieldInfo{name, 'C', 128, 0, true});
    const std::string catalog = core->provider->IsContainer() ? core->provider->ContainerPath().string() : "";
    if (wantedType.empty() || wantedType == "TABLE") {
        const auto names =
            core->provider->IsContainer() ? core->provider->TableNames() : FreeTables(core->provider->Folder());
        for (const std::string& name : names) {
            if (!wantedName.empty() && AsciiUpper(name) != wantedName) continue;
            rows.rows.push_back({Value(catalog), Value(), Value(name), Value("TABLE")});
        }
    }
    auto recordset = std::make_unique<Recordset>();
    recordset->Attach(std::make_shared<QueryRows>(std::move(rows), nullptr), core);
    return recordset;
}

void Connection::Close() {
    if (!m_core) throw Error(engine::err::kNotOpen, "Operation is not allowed when the object is closed.");
    // The connection is closed even when its last writes cannot be synced; that is reported.
    const std::shared_ptr<ConnectionCore> core = std::move(m_core);
    m_core.reset();
    std::exception_ptr failure;
    try {
        core->provider->Flush();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        core->provider->ReleaseTables();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

}  // namespace engine::api
