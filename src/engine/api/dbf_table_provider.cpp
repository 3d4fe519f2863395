#include "engine/api/dbf_table_provider.h"

#include <algorithm>

#include "engine/api/key_index.h"
#include "engine/ascii_case.h"
#include "engine/dbf/container.h"
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

DbfTableAccess::DbfTableAccess(std::unique_ptr<Table> table, const std::vector<std::string>& longNames)
    : m_table(std::move(table)) {
    const auto& fields = m_table->Fields();
    const bool useLong = longNames.size() == fields.size();
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        m_fields.push_back(sql::FieldInfo{useLong && !longNames[i].empty() ? longNames[i] : f.name, f.type, f.length,
                                          f.decimals, f.nullable, f.autoIncrement});
    }
}

sql::RecordNumber DbfTableAccess::RecordCount() const { return m_table->RecordCount(); }

void DbfTableAccess::Read(sql::RecordNumber record, sql::Record& out) {
    out.deleted = m_table->IsDeleted(record);
    out.values.resize(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i) out.values[i] = m_table->ReadValue(record, i);
}

sql::RecordNumber DbfTableAccess::Append(const std::vector<Value>& values) {
    const FileStamp before = key_index::BeforeWrite(*m_table);
    const uint32_t record = m_table->Append(values);
    key_index::AfterAppend(*m_table, before, record);
    return record;
}

void DbfTableAccess::Overwrite(sql::RecordNumber record, const std::vector<Value>& values) {
    const FileStamp before = key_index::BeforeWrite(*m_table);
    m_table->Overwrite(record, values);
    key_index::AfterOverwrite(*m_table, before, record);
}

void DbfTableAccess::SetDeleted(sql::RecordNumber record, bool deleted) {
    const FileStamp before = key_index::BeforeWrite(*m_table);
    m_table->SetDeleted(record, deleted);
    key_index::AfterMarkChange(*m_table, before);
}

void DbfTableAccess::Change(const std::vector<sql::RecordChange>& changes) {
    const FileStamp before = key_index::BeforeWrite(*m_table);
    m_table->Change(changes);
    std::vector<uint32_t> records;
    for (const sql::RecordChange& c : changes) records.push_back(c.record);
    key_index::AfterOverwrite(*m_table, before, records);
}

void DbfTableAccess::SetDeleted(const std::vector<sql::RecordNumber>& records, bool deleted) {
    const FileStamp before = key_index::BeforeWrite(*m_table);
    m_table->SetDeleted(records, deleted);
    key_index::AfterMarkChange(*m_table, before);
}

std::optional<std::vector<sql::RecordNumber>> DbfTableAccess::LookupEqual(size_t field, const Value& key) {
    // A tag of the table's own index on the field answers without reading the rows; the
    // process's key index is built only for fields no tag covers.
    if (auto records = m_table->SeekEqual(field, key)) return records;
    return key_index::Lookup(*m_table, field, key);
}

bool DbfTableAccess::IsDeleted(sql::RecordNumber record) const { return m_table->IsDeleted(record); }

Value DbfTableAccess::ReadValue(sql::RecordNumber record, size_t field) const {
    return m_table->ReadValue(record, field);
}

void DbfTableAccess::Refresh() { m_table->Refresh(); }

DbfTableProvider::DbfTableProvider(const fs::path& database) {
    std::error_code ec;
    if (fs::is_directory(database, ec)) {
        m_folder = database;
        return;
    }
    fs::path file = database;
    if (!fs::exists(file, ec)) {
        // Say why: a folder that may not be entered, or a folder that is missing, is not a
        // missing file.
        if (ec && ec != std::errc::no_such_file_or_directory)
            throw Error(err::kFileAccess, "Cannot open database '" + database.string() + "': " + ec.message() + ".");
        const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
        if (!fs::is_directory(folder, ec))
            throw Error(err::kFileNotFound, "Cannot open database '" + database.string() + "': the folder '" +
                                                folder.string() + "' does not exist.");
        const fs::path found = FindFileNoCase(folder, file.filename().string());
        if (found.empty())
            throw Error(err::kFileNotFound, "Cannot open database '" + database.string() + "': the file does not exist.");
        file = found;
    }
    m_container = file;
    m_folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    LoadContainer();
}

void DbfTableProvider::LoadContainer() {
    if (m_container.empty()) return;
    std::error_code ec;
    const auto time = fs::last_write_time(m_container, ec);
    const auto size = fs::file_size(m_container, ec);
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
    std::string name = nameOrPath;
    std::replace(name.begin(), name.end(), '\\', '/');
    const bool pathLike = name.find('/') != std::string::npos || EndsWithDbf(name);
    if (name.empty()) Unknown(nameOrPath);
    if (!pathLike && !m_container.empty()) {
        LoadContainer();
        if (auto it = m_files.find(AsciiUpper(name)); it != m_files.end()) {
            std::error_code ec;
            if (!it->second.empty() && fs::exists(it->second, ec)) return it->second;
            throw Error(err::kFileNotFound, "The file of table '" + name + "' (" + it->second.string() +
                                                ") does not exist.");
        }
    }
    fs::path given(name);
    if (given.is_relative()) given = m_folder / given;
    const fs::path folder = given.parent_path();
    const std::string file = given.filename().string();
    for (const std::string& candidate : EndsWithDbf(file) ? std::vector<std::string>{file}
                                                          : std::vector<std::string>{file + ".dbf", file}) {
        fs::path found = FindFileNoCase(folder, candidate);
        std::error_code ec;
        if (!found.empty() && fs::is_regular_file(found, ec)) return found;
    }
    Unknown(nameOrPath);
}

std::unique_ptr<DbfTableAccess> DbfTableProvider::OpenTable(const std::string& nameOrPath, sql::OpenMode mode) {
    const fs::path file = Resolve(nameOrPath);
    auto table = Table::Open(file, StorageMode(mode));
    const auto names = m_longNames.find(file);
    return std::make_unique<DbfTableAccess>(std::move(table), names == m_longNames.end() ? std::vector<std::string>{}
                                                                                          : names->second);
}

std::unique_ptr<sql::TableAccess> DbfTableProvider::Open(const std::string& nameOrPath, sql::OpenMode mode) {
    return OpenTable(nameOrPath, mode);
}

void DbfTableProvider::Pack(const std::string& nameOrPath) {
    auto table = Table::Open(Resolve(nameOrPath), engine::OpenMode::Exclusive);
    key_index::Forget(*table);
    table->Pack();
}

void DbfTableProvider::Reindex(const std::string& nameOrPath) {
    Table::Open(Resolve(nameOrPath), engine::OpenMode::Exclusive)->Reindex();
}

}  // namespace engine::api
