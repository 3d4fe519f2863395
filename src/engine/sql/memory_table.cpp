#include "engine/sql/memory_table.h"

#include "engine/error.h"
#include "engine/sql/lexer.h"
#include "engine/sql/value_ops.h"

namespace engine::sql {
namespace {

class MemoryTable : public TableAccess {
public:
    MemoryTable(std::shared_ptr<MemoryTableData> data, bool exclusive)
        : m_data(std::move(data)), m_exclusive(exclusive) {
        ++m_data->openHandles;
        if (m_exclusive) m_data->openedExclusive = true;
    }
    ~MemoryTable() override {
        --m_data->openHandles;
        if (m_exclusive) m_data->openedExclusive = false;
    }

    const std::vector<FieldInfo>& Fields() const override { return m_data->fields; }
    RecordNumber RecordCount() const override { return static_cast<RecordNumber>(m_data->records.size()); }
    void Read(RecordNumber record, Record& out) override {
        ++m_data->reads;
        out = m_data->records.at(record);
    }
    RecordNumber Append(const std::vector<Value>& values) override {
        Check(values);
        m_data->records.push_back(Record{values, false});
        return RecordCount() - 1;
    }
    void Overwrite(RecordNumber record, const std::vector<Value>& values) override {
        Check(values);
        m_data->records.at(record).values = values;
    }
    void SetDeleted(RecordNumber record, bool deleted) override { m_data->records.at(record).deleted = deleted; }
    void Change(const std::vector<RecordChange>& changes) override {
        for (const RecordChange& c : changes) {
            m_data->records.at(c.record);
            for (const auto& [field, value] : c.fields) {
                if (field >= m_data->fields.size())
                    throw Error(engine::err::kBadArgument, "No such field in the record");
            }
        }
        for (const RecordChange& c : changes) {
            for (const auto& [field, value] : c.fields) m_data->records[c.record].values[field] = value;
        }
    }
    void SetDeleted(const std::vector<RecordNumber>& records, bool deleted) override {
        for (RecordNumber r : records) m_data->records.at(r);
        for (RecordNumber r : records) m_data->records[r].deleted = deleted;
    }

    std::optional<std::vector<RecordNumber>> LookupEqual(size_t field, const Value& key) override {
        if (field >= m_data->indexed.size() || !m_data->indexed[field]) return std::nullopt;
        ++m_data->lookups;
        std::vector<RecordNumber> found;
        for (RecordNumber i = 0; i < RecordCount(); ++i) {
            const auto c = Compare(m_data->records[i].values[field], key, false);
            if (c && *c == 0) found.push_back(i);
        }
        return found;
    }

    std::vector<std::string> OrderTags() override {
        std::vector<std::string> out;
        for (const auto& tag : m_data->tags) out.push_back(tag.first);
        return out;
    }
    std::optional<std::vector<RecordNumber>> RecordsInTagOrder(const std::string& keyExpression) override {
        for (const auto& [expression, records] : m_data->tags) {
            if (expression != keyExpression) continue;
            ++m_data->tagWalks;
            return records;
        }
        return std::nullopt;
    }

private:
    void Check(const std::vector<Value>& values) const {
        if (values.size() != m_data->fields.size())
            throw Error(engine::err::kBadArgument, "Wrong number of values for the record");
    }

    std::shared_ptr<MemoryTableData> m_data;
    bool m_exclusive;
};

std::string Key(const std::string& nameOrPath) {
    std::string name = nameOrPath;
    if (const size_t slash = name.find_last_of("/\\"); slash != std::string::npos) name.erase(0, slash + 1);
    if (name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".dbf")) name.resize(name.size() - 4);
    return UpperAscii(name);
}

}  // namespace

MemoryTableData& MemoryTableProvider::AddTable(const std::string& name, std::vector<FieldInfo> fields) {
    auto data = std::make_shared<MemoryTableData>();
    data->indexed.assign(fields.size(), false);
    data->fields = std::move(fields);
    m_tables[Key(name)] = data;
    return *data;
}

MemoryTableData& MemoryTableProvider::Table(const std::string& name) {
    const auto it = m_tables.find(Key(name));
    if (it == m_tables.end()) throw Error(engine::err::kUnknownTable, "File '" + name + "' does not exist");
    return *it->second;
}

std::unique_ptr<TableAccess> MemoryTableProvider::Open(const std::string& nameOrPath, OpenMode mode) {
    const auto it = m_tables.find(Key(nameOrPath));
    if (it == m_tables.end()) throw Error(engine::err::kUnknownTable, "File '" + nameOrPath + "' does not exist");
    MemoryTableData& data = *it->second;
    if (data.openedExclusive || (mode == OpenMode::kExclusive && data.openHandles > 0))
        throw Error(engine::err::kFileInUse, "File is in use: " + nameOrPath);
    ++data.opens;
    return std::make_unique<MemoryTable>(it->second, mode == OpenMode::kExclusive);
}

void MemoryTableProvider::Pack(const std::string& nameOrPath) {
    MemoryTableData& data = Table(nameOrPath);
    if (data.openHandles > 0) throw Error(engine::err::kFileInUse, "File is in use: " + nameOrPath);
    std::erase_if(data.records, [](const Record& r) { return r.deleted; });
    packed.push_back(nameOrPath);
}

void MemoryTableProvider::Reindex(const std::string& nameOrPath) {
    MemoryTableData& data = Table(nameOrPath);
    if (data.openHandles > 0) throw Error(engine::err::kFileInUse, "File is in use: " + nameOrPath);
    reindexed.push_back(nameOrPath);
}

}  // namespace engine::sql
