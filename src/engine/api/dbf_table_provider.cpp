#include "engine/api/dbf_table_provider.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>

#include "engine/api/key_index.h"
#include "engine/ascii_case.h"
#include "engine/dbf/container.h"
#include "engine/dbf/file_system.h"
#include "engine/dbf/table_holders.h"
#include "engine/error.h"
#include "engine/sql/value_ops.h"

namespace engine::api {
namespace fs = std::filesystem;

namespace {

bool EndsWithDbf(const std::string& name) {
    return name.size() > 4 && AsciiUpper(name.substr(name.size() - 4)) == ".DBF";
}

[[noreturn]] void Unknown(const std::string& name) {
    throw Error(err::kUnknownTable, "Table '" + name + "' does not exist.");
}

engine::OpenMode StorageMode(sql::OpenMode mode) {
    return mode == sql::OpenMode::kExclusive ? engine::OpenMode::Exclusive : engine::OpenMode::Shared;
}

}  // namespace

// The provider's kept tables, shared with the table accesses it hands out (which may outlive
// it inside recordsets). Every keeper of the process is listed, so that an opener elsewhere in
// the process can ask for idle tables to be let go.
class TableKeeper {
public:
    TableKeeper();
    ~TableKeeper();
    TableKeeper(const TableKeeper&) = delete;
    TableKeeper& operator=(const TableKeeper&) = delete;

    // Syncs and drops the kept tables of file that nobody is using.
    void ReleaseIdle(const dbf::FileIdentity& file);
    void MarkUnflushed(const std::shared_ptr<KeptTable>& kept);
    void Flush();

    std::mutex mutex;  // guards kept, mode and unflushed
    std::map<fs::path, std::shared_ptr<KeptTable>> kept;
    std::optional<sql::OpenMode> mode;                // the mode the kept tables were opened in
    std::vector<std::weak_ptr<KeptTable>> unflushed;  // a table closed meanwhile synced itself
    uint64_t statement = 1;
    bool deferred = false;
    std::chrono::milliseconds lockWait{15000};
};

namespace {

struct KeeperRegistry {
    std::mutex mutex;
    std::vector<TableKeeper*> keepers;
};

// Never destroyed: a provider in static storage made before the registry's first use (a
// connection kept for a whole run) leaves it only at exit, after the registry's own end.
KeeperRegistry& Keepers() {
    static auto* registry = new KeeperRegistry;
    return *registry;
}

void ReleaseIdleEverywhere(const dbf::FileIdentity& file) {
    KeeperRegistry& r = Keepers();
    std::lock_guard lock(r.mutex);
    for (TableKeeper* keeper : r.keepers) keeper->ReleaseIdle(file);
}

}  // namespace

TableKeeper::TableKeeper() {
    static const bool installed = [] {
        dbf::SetIdleReleaser(ReleaseIdleEverywhere);
        return true;
    }();
    (void)installed;
    KeeperRegistry& r = Keepers();
    std::lock_guard lock(r.mutex);
    r.keepers.push_back(this);
}

TableKeeper::~TableKeeper() {
    KeeperRegistry& r = Keepers();
    std::lock_guard lock(r.mutex);
    r.keepers.erase(std::remove(r.keepers.begin(), r.keepers.end(), this), r.keepers.end());
}

void TableKeeper::ReleaseIdle(const dbf::FileIdentity& file) {
    std::vector<std::shared_ptr<KeptTable>> dropped;
    {
        std::lock_guard lock(mutex);
        for (auto it = kept.begin(); it != kept.end();) {
            KeptTable& k = *it->second;
            // A table whose writes cannot be synced stays: its connection must hear of it.
            bool idle = it->second.use_count() == 1 && k.table->FileIdentity() == file;
            if (idle) {
                try {
                    k.table->Flush();
                } catch (const std::exception&) {
                    idle = false;
                }
            }
            if (!idle) {
                ++it;
                continue;
            }
            dropped.push_back(std::move(it->second));
            it = kept.erase(it);
        }
    }
    // Closed here, outside the lock.
}

void TableKeeper::MarkUnflushed(const std::shared_ptr<KeptTable>& table) {
    std::lock_guard lock(mutex);
    if (table->listed) return;
    table->listed = true;
    unflushed.push_back(table);
}

void TableKeeper::Flush() {
    std::vector<std::shared_ptr<KeptTable>> tables;
    {
        std::lock_guard lock(mutex);
        for (auto& weak : unflushed) {
            if (auto t = weak.lock()) {
                t->listed = false;
                tables.push_back(std::move(t));
            }
        }
        unflushed.clear();
    }
    // Every table's writes are sent to the disk first, then waited for table by table: the
    // waits overlap instead of adding up.
    for (const auto& t : tables) t->table->StartFlush();
    for (size_t i = 0; i < tables.size(); ++i) {
        try {
            tables[i]->table->Flush();
        } catch (...) {
            for (size_t j = i; j < tables.size(); ++j) MarkUnflushed(tables[j]);
            throw;
        }
    }
}

KeptTable::~KeptTable() {
    try {
        if (table) table->Flush();
    } catch (const std::exception&) {
    }
}

DbfTableAccess::DbfTableAccess(std::shared_ptr<KeptTable> kept, std::shared_ptr<TableKeeper> keeper)
    : m_kept(std::move(kept)), m_keeper(std::move(keeper)) {}

sql::RecordNumber DbfTableAccess::RecordCount() const { return m_kept->table->RecordCount(); }

void DbfTableAccess::Read(sql::RecordNumber record, sql::Record& out) {
    out.deleted = m_kept->table->ReadInto(record, out.values);
}

void DbfTableAccess::Written() { m_keeper->MarkUnflushed(m_kept); }

sql::RecordNumber DbfTableAccess::Append(const std::vector<Value>& values) {
    Table& table = *m_kept->table;
    Written();
    const FileStamp before = key_index::BeforeWrite(table);
    const uint32_t record = table.Append(values);
    key_index::AfterAppend(table, before, record);
    return record;
}

void DbfTableAccess::AppendMany(const std::vector<std::vector<Value>>& rows, size_t* appended) {
    std::vector<const std::vector<Value>*> each;
    each.reserve(rows.size());
    for (const auto& row : rows) each.push_back(&row);
    AppendRows(each, appended);
}

void DbfTableAccess::AppendRows(const std::vector<const std::vector<Value>*>& rows, size_t* appended) {
    Table& table = *m_kept->table;
    Written();
    const FileStamp before = key_index::BeforeWrite(table);
    size_t done = 0;
    uint32_t first = 0;
    const auto keep = [&] {
        std::vector<uint32_t> records;
        for (size_t i = 0; i < done; ++i) records.push_back(first + static_cast<uint32_t>(i));
        key_index::AfterOverwrite(table, before, records);
        if (appended) *appended = done;
    };
    first = table.RecordCount();
    try {
        first = table.AppendRows(rows, &done);
    } catch (...) {
        first = table.RecordCount() - static_cast<uint32_t>(done);
        keep();
        throw;
    }
    keep();
}

void DbfTableAccess::Overwrite(sql::RecordNumber record, const std::vector<Value>& values) {
    Table& table = *m_kept->table;
    Written();
    const FileStamp before = key_index::BeforeWrite(table);
    table.Overwrite(record, values);
    key_index::AfterOverwrite(table, before, record);
}

void DbfTableAccess::SetDeleted(sql::RecordNumber record, bool deleted) {
    Table& table = *m_kept->table;
    Written();
    const FileStamp before = key_index::BeforeWrite(table);
    table.SetDeleted(record, deleted);
    key_index::AfterMarkChange(table, before);
}

void DbfTableAccess::Change(const std::vector<sql::RecordChange>& changes) {
    Table& table = *m_kept->table;
    Written();
    const FileStamp before = key_index::BeforeWrite(table);
    table.Change(changes);
    std::vector<uint32_t> records;
    for (const sql::RecordChange& c : changes) records.push_back(c.record);
    key_index::AfterOverwrite(table, before, records);
}

void DbfTableAccess::SetDeleted(const std::vector<sql::RecordNumber>& records, bool deleted) {
    Table& table = *m_kept->table;
    Written();
    const FileStamp before = key_index::BeforeWrite(table);
    table.SetDeleted(records, deleted);
    key_index::AfterMarkChange(table, before);
}

std::optional<std::vector<sql::RecordNumber>> DbfTableAccess::LookupEqual(size_t field, const Value& key) {
    // A tag of the table's own index on the field answers without reading the rows; the
    // process's key index is built only for fields no tag covers.
    Table& table = *m_kept->table;
    // A recordset looking up between statements sees what others changed since.
    if (m_kept->checked != m_keeper->statement) table.RecheckIndex();
    if (auto records = table.SeekEqual(field, key)) return records;
    return key_index::Lookup(table, field, key);
}

std::vector<std::string> DbfTableAccess::OrderTags() {
    std::vector<std::string> out;
    try {
        for (const cdx::TagSpec& tag : m_kept->table->IndexTags()) {
            if (tag.forExpression.empty() && !tag.descending) out.push_back(tag.expression);
        }
    } catch (const Error&) {
        return {};  // an index that cannot be read orders nothing; the query sorts
    }
    return out;
}

std::optional<std::vector<sql::RecordNumber>> DbfTableAccess::RecordsInTagOrder(const std::string& keyExpression) {
    Table& table = *m_kept->table;
    try {
        const std::vector<cdx::TagSpec> tags = table.IndexTags();
        for (size_t t = 0; t < tags.size(); ++t) {
            if (tags[t].expression != keyExpression || !tags[t].forExpression.empty() || tags[t].descending) continue;
            return table.IndexRecords(t);
        }
    } catch (const Error&) {
    }
    return std::nullopt;
}

void DbfTableAccess::Commit() {
    if (m_keeper->deferred || !m_kept->table->Unflushed()) return;
    m_kept->table->Flush();
}

void DbfTableAccess::CommitQuietly() noexcept {
    try {
        Commit();
    } catch (const std::exception&) {
    }
}

bool DbfTableAccess::IsDeleted(sql::RecordNumber record) const { return m_kept->table->IsDeleted(record); }

Value DbfTableAccess::ReadValue(sql::RecordNumber record, size_t field) const {
    return m_kept->table->ReadValue(record, field);
}

void DbfTableAccess::Refresh() { m_kept->table->Refresh(); }

DbfTableProvider::DbfTableProvider(const fs::path& database) : m_keeper(std::make_shared<TableKeeper>()) {
    if (dbf::PathIsFolder(database)) {
        m_folder = database;
        return;
    }
    fs::path file = database;
    struct stat st {};
    if (dbf::CurrentFileSystem().Stat(file, &st) != 0) {
        // Say why: a folder that may not be entered, or a folder that is missing, is not a
        // missing file.
        const int code = errno;
        if (code != ENOENT && code != ENOTDIR)
            throw Error(err::kFileAccess,
                        "Cannot open database '" + database.string() + "': " + std::strerror(code) + ".");
        const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        if (!dbf::PathIsFolder(folder))
            throw Error(err::kFileNotFound, "Cannot open database '" + database.string() + "': the folder '" +
                                                folder.string() + "' does not exist.");
        const fs::path found = FindFileNoCase(folder, file.filename().string());
        if (found.empty())
            throw Error(err::kFileNotFound,
                        "Cannot open database '" + database.string() + "': the file does not exist.");
        file = found;
    }
    m_container = file;
    m_folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    LoadContainer();
}

DbfTableProvider::~DbfTableProvider() {
    try {
        ReleaseTables();
    } catch (const std::exception&) {
    }
}

void DbfTableProvider::LoadContainer() {
    if (m_container.empty()) return;
    struct stat st {};
    if (dbf::CurrentFileSystem().Stat(m_container, &st) != 0) st = {};
    const int64_t time = int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
    const uintmax_t size = static_cast<uintmax_t>(st.st_size);
    if (m_loaded && time == m_containerTime && size == m_containerSize) return;
    auto container = Container::Open(m_container, engine::OpenMode::Shared);
    m_names.clear();
    m_files.clear();
    m_longNames.clear();
    for (const ContainerTable& t : container->Tables()) {
        m_names.push_back(t.name);
        m_files.emplace(AsciiUpper(t.name), t.file);
        m_longNames[t.file] = t.fieldNames;
    }
    m_containerTime = time;
    m_containerSize = size;
    m_loaded = true;
}

std::vector<std::string> DbfTableProvider::TableNames() {
    LoadContainer();
    return m_names;
}

fs::path DbfTableProvider::Resolve(const std::string& nameOrPath) {
    // A name met before that named a table still kept needs no new look at the disk.
    if (auto it = m_resolved.find(nameOrPath); it != m_resolved.end()) {
        std::lock_guard lock(m_keeper->mutex);
        if (m_keeper->kept.count(it->second)) return it->second;
    }
    std::string name = nameOrPath;
    std::replace(name.begin(), name.end(), '\\', '/');
    const bool pathLike = name.find('/') != std::string::npos || EndsWithDbf(name);
    if (name.empty()) Unknown(nameOrPath);
    if (!pathLike && !m_container.empty()) {
        LoadContainer();
        if (auto it = m_files.find(AsciiUpper(name)); it != m_files.end()) {
            if (!it->second.empty() && dbf::PathExists(it->second)) return m_resolved[nameOrPath] = it->second;
            throw Error(err::kFileNotFound,
                        "The file of table '" + name + "' (" + it->second.string() + ") does not exist.");
        }
    }
    fs::path given(name);
    if (given.is_relative()) given = m_folder / given;
    const fs::path folder = given.parent_path();
    const std::string file = given.filename().string();
    for (const std::string& candidate :
         EndsWithDbf(file) ? std::vector<std::string>{file} : std::vector<std::string>{file + ".dbf", file}) {
        fs::path found = FindFileNoCase(folder, candidate);
        if (!found.empty() && dbf::PathIsFile(found)) return m_resolved[nameOrPath] = found;
    }
    Unknown(nameOrPath);
}

std::shared_ptr<KeptTable> DbfTableProvider::Acquire(const std::string& nameOrPath, sql::OpenMode mode) {
    TableKeeper& k = *m_keeper;
    if (k.mode && *k.mode != mode) ReleaseTables();
    const fs::path file = Resolve(nameOrPath);
    std::shared_ptr<KeptTable> kept;
    {
        std::lock_guard lock(k.mutex);
        if (auto it = k.kept.find(file); it != k.kept.end()) kept = it->second;
    }
    if (kept) {
        // Once per statement: what other connections appended or marked is read again.
        // Nobody else can change a table held exclusively.
        if (kept->checked != k.statement && mode == sql::OpenMode::kShared) {
            try {
                kept->table->Refresh();
            } catch (...) {
                Release(file);
                throw;
            }
        }
        kept->checked = k.statement;
        return kept;
    }
    kept = std::make_shared<KeptTable>();
    kept->table = Table::Open(file, StorageMode(mode), k.lockWait);
    kept->table->CheckOncePerStatement();
    const auto names = m_longNames.find(file);
    const auto& fields = kept->table->Fields();
    const bool useLong = names != m_longNames.end() && names->second.size() == fields.size();
    for (size_t i = 0; i < fields.size(); ++i) {
        const engine::Field& f = fields[i];
        const std::string& name = useLong && !names->second[i].empty() ? names->second[i] : f.name;
        kept->fields.push_back(sql::FieldInfo{name, f.type, f.length, f.decimals, f.nullable, f.autoIncrement});
    }
    kept->checked = k.statement;
    std::lock_guard lock(k.mutex);
    k.kept[file] = kept;
    k.mode = mode;
    return kept;
}

std::unique_ptr<DbfTableAccess> DbfTableProvider::OpenTable(const std::string& nameOrPath, sql::OpenMode mode) {
    return std::make_unique<DbfTableAccess>(Acquire(nameOrPath, mode), m_keeper);
}

std::unique_ptr<sql::TableAccess> DbfTableProvider::Open(const std::string& nameOrPath, sql::OpenMode mode) {
    return OpenTable(nameOrPath, mode);
}

void DbfTableProvider::Release(const fs::path& file) {
    // The file may be kept under another spelling of its path (a container's table named by
    // a quoted path): the file's identity decides.
    struct stat st {};
    const bool known = dbf::CurrentFileSystem().Stat(file, &st) == 0;
    const dbf::FileIdentity identity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    std::vector<std::shared_ptr<KeptTable>> released;
    {
        std::lock_guard lock(m_keeper->mutex);
        for (auto it = m_keeper->kept.begin(); it != m_keeper->kept.end();) {
            if (it->first == file || (known && it->second->table->FileIdentity() == identity)) {
                released.push_back(std::move(it->second));
                it = m_keeper->kept.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& kept : released) kept->table->Flush();
}

void DbfTableProvider::ReleaseTables() {
    std::map<fs::path, std::shared_ptr<KeptTable>> kept;
    {
        std::lock_guard lock(m_keeper->mutex);
        kept.swap(m_keeper->kept);
        m_keeper->mode.reset();
    }
    m_resolved.clear();
    // Every table is synced and closed even when one of them cannot be synced; the first
    // failure is reported.
    std::exception_ptr failure;
    for (auto& [file, table] : kept) {
        try {
            table->table->Flush();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    kept.clear();
    if (failure) std::rethrow_exception(failure);
}

void DbfTableProvider::SetLockTimeout(std::chrono::milliseconds wait) { m_keeper->lockWait = wait; }

void DbfTableProvider::BeginStatement() { ++m_keeper->statement; }

void DbfTableProvider::EndStatement() {
    if (!m_keeper->deferred) m_keeper->Flush();
}

void DbfTableProvider::SetDeferredFlush(bool deferred) { m_keeper->deferred = deferred; }

void DbfTableProvider::Flush() { m_keeper->Flush(); }

void DbfTableProvider::Pack(const std::string& nameOrPath) {
    const fs::path file = Resolve(nameOrPath);
    Release(file);
    auto table = Table::Open(file, engine::OpenMode::Exclusive, m_keeper->lockWait);
    key_index::Forget(*table);
    table->Pack();
}

void DbfTableProvider::Reindex(const std::string& nameOrPath) {
    const fs::path file = Resolve(nameOrPath);
    Release(file);
    Table::Open(file, engine::OpenMode::Exclusive, m_keeper->lockWait)->Reindex();
}

}  // namespace engine::api
