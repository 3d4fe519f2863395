// DbfTableProvider: the SQL executor's view of one database on disk, either a database
// container (.dbc) or a plain folder of free tables. Bare names resolve through the
// container's table list (names compared without regard to case) and then to a file of that
// name in the database folder; names with a folder part or a ".dbf" ending, and names the
// container does not list, resolve as files (case-insensitive, ".dbf" added when missing;
// "\" counts as a folder separator). Tables open shared or exclusive as asked, and every open
// reads the table's current header, so changes made by other connections are seen. Tables of
// a container show the long field names the container keeps for them.
//
// DbfTableAccess adapts engine::Table to sql::TableAccess. LookupEqual answers from a tag of
// the table's structural index whose key is the field (Table::SeekEqual), else from the
// process-wide key indexes (key_index.h), which its writes keep current.
//
// Errors: engine::Error err::kUnknownTable naming the table when no file is found; whatever
// engine::Table raises (kFileInUse, kCorruptTable, ...). Not thread-safe.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/dbf/table.h"
#include "engine/sql/table_access.h"

namespace engine::api {

class DbfTableAccess : public sql::TableAccess {
public:
    // longNames: the field names a container keeps for the table (used when one per field).
    explicit DbfTableAccess(std::unique_ptr<Table> table, const std::vector<std::string>& longNames = {});

    const std::vector<sql::FieldInfo>& Fields() const override { return m_fields; }
    sql::RecordNumber RecordCount() const override;
    void Read(sql::RecordNumber record, sql::Record& out) override;
    sql::RecordNumber Append(const std::vector<Value>& values) override;
    void Overwrite(sql::RecordNumber record, const std::vector<Value>& values) override;
    void SetDeleted(sql::RecordNumber record, bool deleted) override;
    void Change(const std::vector<sql::RecordChange>& changes) override;
    void SetDeleted(const std::vector<sql::RecordNumber>& records, bool deleted) override;
    std::optional<std::vector<sql::RecordNumber>> LookupEqual(size_t field, const Value& key) override;

    // The deletion mark alone, without decoding the record.
    bool IsDeleted(sql::RecordNumber record) const;
    Value ReadValue(sql::RecordNumber record, size_t field) const;
    // Re-reads the header (record count) after other connections changed the table.
    void Refresh();
    Table& Storage() { return *m_table; }

private:
    std::unique_ptr<Table> m_table;
    std::vector<sql::FieldInfo> m_fields;
};

class DbfTableProvider : public sql::TableProvider {
public:
    // database: a .dbc file (opened to check it is a container) or a folder. Throws
    // err::kFileNotFound naming the path when neither exists.
    explicit DbfTableProvider(const std::filesystem::path& database);

    std::unique_ptr<sql::TableAccess> Open(const std::string& nameOrPath, sql::OpenMode mode) override;
    void Pack(const std::string& nameOrPath) override;
    // Rebuilds the table's structural index (needs exclusive use); err::kBadArgument when the
    // table has none.
    void Reindex(const std::string& nameOrPath) override;

    std::unique_ptr<DbfTableAccess> OpenTable(const std::string& nameOrPath, sql::OpenMode mode);
    // The table file a name resolves to; throws err::kUnknownTable.
    std::filesystem::path Resolve(const std::string& nameOrPath);
    // Names of the container's tables as it spells them, in container order (empty for a folder).
    std::vector<std::string> TableNames();

    bool IsContainer() const { return !m_container.empty(); }
    const std::filesystem::path& Folder() const { return m_folder; }
    const std::filesystem::path& ContainerPath() const { return m_container; }

private:
    void LoadContainer();

    std::filesystem::path m_folder;
    std::filesystem::path m_container;  // empty for a folder of free tables
    // The container's table list, re-read when the container file changes.
    std::filesystem::file_time_type m_containerTime{};
    uintmax_t m_containerSize = 0;
    bool m_loaded = false;
    std::vector<std::string> m_names;
    std::map<std::string, std::filesystem::path> m_files;  // by upper-case name
    std::map<std::filesystem::path, std::vector<std::string>> m_longNames;  // by table file
};

}  // namespace engine::api
