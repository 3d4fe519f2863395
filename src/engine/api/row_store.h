// The rows behind a recordset, shared by the recordset and its clones. Rows are named by
// ordered keys (record numbers of a table, or positions in a query's result); a bookmark is a
// key plus one. Two kinds:
//  - TableRows: a whole table, read lazily: nothing is read at open, a row only when asked,
//    deletion marks only while stepping (when SET DELETED was ON at open). Rows appended
//    through it join the end; rows other connections append later do not (a static cursor).
//  - ForwardRows: the rows of a SELECT read one at a time as the cursor moves forward (a
//    forward-only recordset): only the current row is held; no moving back, no count.
//  - QueryRows: the rows of a SELECT held in memory; when the SELECT is updatable (every
//    column a plain field of one table) changes and new rows are written through to the table.
// Rows written through either are synced when the store goes (the recordset is closed), unless
// the connection defers flushing; the connection's next statement or Flush syncs them too.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "engine/api/connection.h"
#include "engine/api/dbf_table_provider.h"
#include "engine/sql/result_set.h"

namespace engine::api {

class RowStore {
public:
    virtual ~RowStore() = default;
    virtual const std::vector<sql::FieldInfo>& Fields() const = 0;
    virtual std::optional<int64_t> First() = 0;
    virtual std::optional<int64_t> Last() = 0;
    virtual std::optional<int64_t> After(int64_t row) = 0;
    virtual std::optional<int64_t> Before(int64_t row) = 0;
    virtual bool Contains(int64_t row) = 0;
    virtual long Count() = 0;
    virtual std::vector<Value> Read(int64_t row) = 0;
    // One field of a row; stores that hold their rows in memory answer without copying the row.
    virtual Value ReadValue(int64_t row, size_t field) { return Read(row).at(field); }
    virtual bool Updatable() const = 0;
    // Writes a new row (one value per field, already converted) and returns its key.
    virtual int64_t Append(const std::vector<Value>& values) = 0;
    // Writes the assigned columns of a row ((column, value) pairs, already converted); the
    // other fields of the stored record keep their bytes.
    virtual void Write(int64_t row, const std::vector<std::pair<size_t, Value>>& assigned) = 0;
    // Sorted keys of the rows whose field may equal key, from an index; nullopt: scan instead.
    virtual std::optional<std::vector<int64_t>> Candidates(size_t field, const Value& key) { return std::nullopt; }
    // Syncs the rows' writes to disk (unless the connection defers flushing); throws
    // engine::Error naming the file and the system's reason when the disk refuses.
    virtual void Commit() {}
};

class TableRows : public RowStore {
public:
    TableRows(std::unique_ptr<DbfTableAccess> table, bool skipDeleted);
    ~TableRows() override;

    const std::vector<sql::FieldInfo>& Fields() const override { return m_fields; }
    std::optional<int64_t> First() override;
    std::optional<int64_t> Last() override;
    std::optional<int64_t> After(int64_t row) override;
    std::optional<int64_t> Before(int64_t row) override;
    bool Contains(int64_t row) override;
    long Count() override;
    std::vector<Value> Read(int64_t row) override;
    bool Updatable() const override { return true; }
    int64_t Append(const std::vector<Value>& values) override;
    void Write(int64_t row, const std::vector<std::pair<size_t, Value>>& assigned) override;
    std::optional<std::vector<int64_t>> Candidates(size_t field, const Value& key) override;
    void Commit() override { m_table->Commit(); }

private:
    bool Visible(uint32_t record) const;
    std::optional<int64_t> ScanForward(uint32_t from);
    std::optional<int64_t> ScanBackward(int64_t from);

    std::unique_ptr<DbfTableAccess> m_table;
    std::vector<sql::FieldInfo> m_fields;  // names in lower case, as a query shows them
    uint32_t m_snapshot;                   // records that existed at open
    bool m_skipDeleted;
    std::vector<uint32_t> m_appended;   // records written through this cursor, ascending
    std::optional<long> m_visibleBase;  // visible records below m_snapshot, once counted
};

class ForwardRows : public RowStore {
public:
    explicit ForwardRows(std::unique_ptr<sql::RowCursor> cursor);

    const std::vector<sql::FieldInfo>& Fields() const override { return m_cursor->Fields(); }
    std::optional<int64_t> First() override;
    std::optional<int64_t> Last() override;
    std::optional<int64_t> After(int64_t row) override;
    std::optional<int64_t> Before(int64_t row) override;
    bool Contains(int64_t row) override { return m_row && row == *m_row; }
    long Count() override { return -1; }  // not known until the last row is read, as in ADO
    std::vector<Value> Read(int64_t row) override;
    bool Updatable() const override { return false; }
    int64_t Append(const std::vector<Value>& values) override;
    void Write(int64_t row, const std::vector<std::pair<size_t, Value>>& assigned) override;

private:
    std::optional<int64_t> Fetch();

    std::unique_ptr<sql::RowCursor> m_cursor;
    std::vector<Value> m_values;
    std::optional<int64_t> m_row;  // the row in m_values
    int64_t m_read = 0;            // rows read so far
    bool m_end = false;
};

class QueryRows : public RowStore {
public:
    // core may be null for rows that cannot be written (a schema list).
    QueryRows(sql::ResultSet rows, std::shared_ptr<ConnectionCore> core);
    ~QueryRows() override;

    const std::vector<sql::FieldInfo>& Fields() const override { return m_rows.fields; }
    std::optional<int64_t> First() override;
    std::optional<int64_t> Last() override;
    std::optional<int64_t> After(int64_t row) override;
    std::optional<int64_t> Before(int64_t row) override;
    bool Contains(int64_t row) override;
    long Count() override { return static_cast<long>(m_rows.rows.size()); }
    std::vector<Value> Read(int64_t row) override { return m_rows.rows.at(static_cast<size_t>(row)); }
    Value ReadValue(int64_t row, size_t field) override { return m_rows.rows.at(static_cast<size_t>(row)).at(field); }
    bool Updatable() const override { return m_core && m_rows.Updatable(); }
    int64_t Append(const std::vector<Value>& values) override;
    void Write(int64_t row, const std::vector<std::pair<size_t, Value>>& assigned) override;
    void Commit() override {
        if (m_table) m_table->Commit();
    }

private:
    DbfTableAccess& Table();
    std::vector<Value> Stored(DbfTableAccess& table, sql::RecordNumber n) const;

    sql::ResultSet m_rows;
    std::shared_ptr<ConnectionCore> m_core;
    sql::OpenMode m_mode;
    std::unique_ptr<DbfTableAccess> m_table;  // opened on the first write
};

}  // namespace engine::api
