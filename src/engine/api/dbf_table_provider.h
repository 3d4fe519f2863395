// DbfTableProvider: the SQL executor's view of one database on disk, either a database
// container (.dbc) or a plain folder of free tables. Bare names resolve through the
// container's table list (names compared without regard to case) and then to a file of that
// name in the database folder; names with a folder part or a ".dbf" ending, and names the
// container does not list, resolve as files (case-insensitive, ".dbf" added when missing;
// "\" counts as a folder separator). Tables of a container show the long field names the
// container keeps for them.
//
// The provider keeps what it opened: a table (its file, header, fields, code page, memo and
// index files, its lock) stays open for the connection across statements and recordsets,
// until ReleaseTables (CLOSE ALL, SET EXCLUSIVE), a pack or reindex of it, or the end of the
// provider. Locks are taken once, at the first open, and held while the table is kept, so
// another connection or process cannot use it exclusively or pack it meanwhile; within this
// process a kept table that no statement or recordset is using is let go when another
// connection needs it (table_holders.h). Others' shared writes are still seen: the first use
// of a kept table in each statement (BeginStatement) re-reads its header (record count,
// counters) and drops the cached records; one read per statement and table, not per row.
// The structural index's decoded nodes stay in memory across statements: the first lookup of
// a statement (and any lookup a recordset makes between statements) reads the index's change
// counter, and the nodes are dropped when another writer has moved it (cdx/index_file.h).
//
// Durability: every statement's writes are synced before EndStatement returns, and a
// recordset's writes when it is closed (DbfTableAccess::Commit, which reports a failed sync;
// a recordset destroyed without Close syncs them quietly), unless deferred flushing is on; then they are synced by Flush (or when a table is let go or the provider
// ends). Writes left unsynced by a failed sync stay listed, and the next Flush reports them.
//
// DbfTableAccess adapts a kept engine::Table to sql::TableAccess. LookupEqual answers from a
// tag of the table's structural index whose key is the field (Table::SeekEqual), else from
// the process-wide key indexes (key_index.h), which its writes keep current.
//
// Errors: engine::Error err::kUnknownTable naming the table when no file is found; whatever
// engine::Table raises (kFileInUse, kCorruptTable, ...). One thread per provider.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/dbf/table.h"
#include "engine/sql/table_access.h"

namespace engine::api {

// A table the provider keeps open, with its fields as statements see them.
struct KeptTable {
    std::unique_ptr<Table> table;
    std::vector<sql::FieldInfo> fields;
    uint64_t checked = 0;  // the statement whose first use checked it for others' changes
    bool listed = false;   // in the keeper's list of tables with unflushed writes
    // Syncs what is left unsynced (a failure cannot be reported here), then closes.
    ~KeptTable();
};

class TableKeeper;

class DbfTableAccess : public sql::TableAccess {
public:
    DbfTableAccess(std::shared_ptr<KeptTable> kept, std::shared_ptr<TableKeeper> keeper);

    const std::vector<sql::FieldInfo>& Fields() const override { return m_kept->fields; }
    sql::RecordNumber RecordCount() const override;
    void Read(sql::RecordNumber record, sql::Record& out) override;
    sql::RecordNumber Append(const std::vector<Value>& values) override;
    // Appends rows under one hold of the write lock (Table::AppendMany); appended receives
    // how many were written, also when a later one fails.
    void AppendMany(const std::vector<std::vector<Value>>& rows, size_t* appended = nullptr);
    void AppendRows(const std::vector<const std::vector<Value>*>& rows, size_t* appended = nullptr);
    void Overwrite(sql::RecordNumber record, const std::vector<Value>& values) override;
    void SetDeleted(sql::RecordNumber record, bool deleted) override;
    void Change(const std::vector<sql::RecordChange>& changes) override;
    void SetDeleted(const std::vector<sql::RecordNumber>& records, bool deleted) override;
    std::optional<std::vector<sql::RecordNumber>> LookupEqual(size_t field, const Value& key) override;
    std::vector<std::string> OrderTags() override;
    std::optional<std::vector<sql::RecordNumber>> RecordsInTagOrder(const std::string& keyExpression) override;

    // The deletion mark alone, without decoding the record.
    bool IsDeleted(sql::RecordNumber record) const;
    Value ReadValue(sql::RecordNumber record, size_t field) const;
    // Re-reads the header (record count) after other connections changed the table.
    void Refresh();
    // Syncs this table's writes now unless the connection defers flushing; throws
    // engine::Error naming the file and the system's reason when the disk refuses. What was
    // not synced stays listed for the connection's next Flush.
    void Commit();
    // Commit for destructors: a failure is left for the connection's next Flush or statement
    // to report.
    void CommitQuietly() noexcept;
    Table& Storage() { return *m_kept->table; }

private:
    void Written();

    std::shared_ptr<KeptTable> m_kept;
    std::shared_ptr<TableKeeper> m_keeper;
};

class DbfTableProvider : public sql::TableProvider {
public:
    // database: a .dbc file (opened to check it is a container) or a folder. Throws
    // err::kFileNotFound naming the path when neither exists.
    explicit DbfTableProvider(const std::filesystem::path& database);
    ~DbfTableProvider() override;

    std::unique_ptr<sql::TableAccess> Open(const std::string& nameOrPath, sql::OpenMode mode) override;
    void Pack(const std::string& nameOrPath) override;
    // Rebuilds the table's structural index (needs exclusive use); err::kBadArgument when the
    // table has none.
    void Reindex(const std::string& nameOrPath) override;
    // Syncs and lets go of every kept table (those a recordset still uses close with it).
    void ReleaseTables() override;
    void SetLockTimeout(std::chrono::milliseconds wait) override;

    std::unique_ptr<DbfTableAccess> OpenTable(const std::string& nameOrPath, sql::OpenMode mode);
    // The table file a name resolves to; throws err::kUnknownTable.
    std::filesystem::path Resolve(const std::string& nameOrPath);
    // Names of the container's tables as it spells them, in container order (empty for a folder).
    std::vector<std::string> TableNames();

    // Brackets one statement (or recordset opening): the first use of a kept table after
    // BeginStatement checks it for others' changes; EndStatement syncs the writes unless
    // flushing is deferred.
    void BeginStatement();
    void EndStatement();
    void SetDeferredFlush(bool deferred);
    // Syncs every write not synced yet; throws engine::Error naming the file that failed.
    void Flush();

    bool IsContainer() const { return !m_container.empty(); }
    const std::filesystem::path& Folder() const { return m_folder; }
    const std::filesystem::path& ContainerPath() const { return m_container; }

private:
    void LoadContainer();
    std::shared_ptr<KeptTable> Acquire(const std::string& nameOrPath, sql::OpenMode mode);
    // Lets go of the kept table of file (syncing it first).
    void Release(const std::filesystem::path& file);

    std::filesystem::path m_folder;
    std::filesystem::path m_container;  // empty for a folder of free tables
    // The container's table list, re-read when the container file changes.
    int64_t m_containerTime = 0;  // nanoseconds
    uintmax_t m_containerSize = 0;
    bool m_loaded = false;
    std::vector<std::string> m_names;
    std::map<std::string, std::filesystem::path> m_files;                   // by upper-case name
    std::map<std::filesystem::path, std::vector<std::string>> m_longNames;  // by table file
    std::map<std::string, std::filesystem::path> m_resolved;                // names met so far, as given
    std::shared_ptr<TableKeeper> m_keeper;
};

}  // namespace engine::api
