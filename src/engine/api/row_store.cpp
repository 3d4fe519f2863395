#include "engine/api/row_store.h"

#include <algorithm>

#include "engine/api/api_errors.h"
#include "engine/error.h"
#include "engine/sql/value_ops.h"

namespace engine::api {

TableRows::TableRows(std::unique_ptr<DbfTableAccess> table, bool skipDeleted)
    : m_table(std::move(table)),
      m_fields(m_table->Fields()),
      m_snapshot(m_table->RecordCount()),
      m_skipDeleted(skipDeleted) {
    for (auto& f : m_fields) f.name = sql::LowerText(f.name);
}

TableRows::~TableRows() { m_table->CommitQuietly(); }

bool TableRows::Visible(uint32_t record) const { return !m_skipDeleted || !m_table->IsDeleted(record); }

std::optional<int64_t> TableRows::ScanForward(uint32_t from) {
    for (uint32_t r = from; r < m_snapshot; ++r) {
        if (Visible(r)) return r;
    }
    if (!m_appended.empty()) {
        auto it = std::lower_bound(m_appended.begin(), m_appended.end(), from);
        if (it != m_appended.end()) return *it;
    }
    return std::nullopt;
}

std::optional<int64_t> TableRows::ScanBackward(int64_t from) {
    auto it = std::upper_bound(m_appended.begin(), m_appended.end(), from);
    if (it != m_appended.begin()) return *std::prev(it);
    for (int64_t r = std::min<int64_t>(from, int64_t{m_snapshot} - 1); r >= 0; --r) {
        if (Visible(static_cast<uint32_t>(r))) return r;
    }
    return std::nullopt;
}

std::optional<int64_t> TableRows::First() { return ScanForward(0); }
std::optional<int64_t> TableRows::Last() { return ScanBackward(INT64_MAX); }
std::optional<int64_t> TableRows::After(int64_t row) { return ScanForward(static_cast<uint32_t>(row + 1)); }
std::optional<int64_t> TableRows::Before(int64_t row) {
    if (row <= 0) return std::nullopt;
    return ScanBackward(row - 1);
}

bool TableRows::Contains(int64_t row) {
    if (row < 0) return false;
    if (row < m_snapshot) return Visible(static_cast<uint32_t>(row));
    return std::binary_search(m_appended.begin(), m_appended.end(), static_cast<uint32_t>(row));
}

long TableRows::Count() {
    if (!m_visibleBase) {
        long n = 0;
        for (uint32_t r = 0; r < m_snapshot; ++r) n += Visible(r) ? 1 : 0;
        m_visibleBase = n;
    }
    return *m_visibleBase + static_cast<long>(m_appended.size());
}

std::vector<Value> TableRows::Read(int64_t row) {
    sql::Record record;
    m_table->Read(static_cast<sql::RecordNumber>(row), record);
    return std::move(record.values);
}

int64_t TableRows::Append(const std::vector<Value>& values) {
    const uint32_t record = m_table->Append(values);
    m_appended.push_back(record);
    std::sort(m_appended.begin(), m_appended.end());
    return record;
}

void TableRows::Write(int64_t row, const std::vector<std::pair<size_t, Value>>& assigned) {
    m_table->Change({sql::RecordChange{static_cast<sql::RecordNumber>(row), assigned}});
}

std::optional<std::vector<int64_t>> TableRows::Candidates(size_t field, const Value& key) {
    auto found = m_table->LookupEqual(field, key);
    if (!found) return std::nullopt;
    std::vector<int64_t> rows;
    for (uint32_t r : *found) {
        if (Contains(r)) rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

namespace {

[[noreturn]] void ForwardOnly() {
    throw Error(err::kForwardOnly,
                "The rowset is forward-only: it does not support fetching backward or changing rows.");
}

}  // namespace

ForwardRows::ForwardRows(std::unique_ptr<sql::RowCursor> cursor) : m_cursor(std::move(cursor)) {}

std::optional<int64_t> ForwardRows::Fetch() {
    if (m_end || !m_cursor->Next(m_values)) {
        m_end = true;
        m_row.reset();
        m_values.clear();
        return std::nullopt;
    }
    m_row = m_read++;
    return m_row;
}

std::optional<int64_t> ForwardRows::First() {
    if (m_read == 0 && !m_end) return Fetch();
    if (m_read == 0 || (m_row && *m_row == 0)) return m_row;
    ForwardOnly();
}

std::optional<int64_t> ForwardRows::After(int64_t row) {
    if (!m_row || row != *m_row) ForwardOnly();
    return Fetch();
}

std::optional<int64_t> ForwardRows::Last() { ForwardOnly(); }
std::optional<int64_t> ForwardRows::Before(int64_t) { ForwardOnly(); }

std::vector<Value> ForwardRows::Read(int64_t row) {
    if (!m_row || row != *m_row) ForwardOnly();
    return m_values;
}

int64_t ForwardRows::Append(const std::vector<Value>&) { ForwardOnly(); }
void ForwardRows::Write(int64_t, const std::vector<std::pair<size_t, Value>>&) { ForwardOnly(); }

QueryRows::QueryRows(sql::ResultSet rows, std::shared_ptr<ConnectionCore> core)
    : m_rows(std::move(rows)),
      m_core(std::move(core)),
      m_mode(m_core && m_core->session->Options().exclusive ? sql::OpenMode::kExclusive : sql::OpenMode::kShared) {}

QueryRows::~QueryRows() {
    if (m_table) m_table->CommitQuietly();
}

std::optional<int64_t> QueryRows::First() {
    if (m_rows.rows.empty()) return std::nullopt;
    return 0;
}

std::optional<int64_t> QueryRows::Last() {
    if (m_rows.rows.empty()) return std::nullopt;
    return static_cast<int64_t>(m_rows.rows.size()) - 1;
}

std::optional<int64_t> QueryRows::After(int64_t row) {
    if (row + 1 >= static_cast<int64_t>(m_rows.rows.size())) return std::nullopt;
    return row + 1;
}

std::optional<int64_t> QueryRows::Before(int64_t row) {
    if (row <= 0 || m_rows.rows.empty()) return std::nullopt;
    return std::min<int64_t>(row, static_cast<int64_t>(m_rows.rows.size())) - 1;
}

bool QueryRows::Contains(int64_t row) { return row >= 0 && row < static_cast<int64_t>(m_rows.rows.size()); }

DbfTableAccess& QueryRows::Table() {
    if (!Updatable())
        throw Error(err::kNotUpdatable,
                    "The recordset cannot be updated: its rows do not come from the fields of one table.");
    if (!m_table) {
        auto table = m_core->provider->OpenTable(m_rows.sourceTable, m_mode);
        for (int source : m_rows.sourceFields) {
            if (source < 0 || static_cast<size_t>(source) >= table->Fields().size())
                throw Error(engine::err::kCorruptTable, "The structure of table '" + m_rows.sourceTable + "' changed.");
        }
        m_table = std::move(table);
    }
    return *m_table;
}

// The columns of record n as the table now holds them (blanks, counters and cut text included).
std::vector<Value> QueryRows::Stored(DbfTableAccess& table, sql::RecordNumber n) const {
    sql::Record record;
    table.Read(n, record);
    std::vector<Value> values;
    for (int source : m_rows.sourceFields) values.push_back(record.values[static_cast<size_t>(source)]);
    return values;
}

int64_t QueryRows::Append(const std::vector<Value>& values) {
    DbfTableAccess& table = Table();
    std::vector<Value> record(table.Fields().size());
    for (size_t c = 0; c < values.size(); ++c) record[static_cast<size_t>(m_rows.sourceFields[c])] = values[c];
    const uint32_t n = table.Append(record);
    m_rows.rows.push_back(Stored(table, n));
    m_rows.sourceRecords.push_back(n);
    return static_cast<int64_t>(m_rows.rows.size()) - 1;
}

void QueryRows::Write(int64_t row, const std::vector<std::pair<size_t, Value>>& assigned) {
    DbfTableAccess& table = Table();
    const sql::RecordNumber n = m_rows.sourceRecords.at(static_cast<size_t>(row));
    sql::RecordChange change{n, {}};
    for (const auto& [column, value] : assigned)
        change.fields.emplace_back(static_cast<size_t>(m_rows.sourceFields.at(column)), value);
    table.Change({change});
    m_rows.rows[static_cast<size_t>(row)] = Stored(table, n);
}

}  // namespace engine::api
