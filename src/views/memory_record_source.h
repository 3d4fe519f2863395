// MemoryRecordSource: a RecordSource over rows held in memory, for tests, benchmarks and
// previews. Bookmarks are the 1-based row numbers of the rows as they were added.
#pragma once

#include <string>
#include <vector>

#include "views/record_source.h"

namespace views {

class MemoryRecordSource : public RecordSource {
public:
    explicit MemoryRecordSource(std::vector<std::string> fieldNames) : m_fieldNames(std::move(fieldNames)) {}

    // Appends a record; it must have one value per field.
    void AddRecord(std::vector<engine::Value> values);
    void Reserve(int records) { m_rows.reserve(records); }

    int FieldCount() const override { return static_cast<int>(m_fieldNames.size()); }
    std::string FieldName(int field) const override { return m_fieldNames.at(field); }
    int RecordCount() const override { return static_cast<int>(m_rows.size()); }
    engine::Value Value(int row, int field) const override { return m_rows.at(row).at(field); }
    Bookmark RowBookmark(int row) const override { return row + 1; }
    int RowOfBookmark(Bookmark bookmark) const override;

private:
    std::vector<std::string> m_fieldNames;
    std::vector<std::vector<engine::Value>> m_rows;
};

}  // namespace views
