// RecordsetSource: the rows of a database recordset as a record grid reads them. The grid
// sorts and groups by reading values by row, so each row is reached through its bookmark
// without moving the recordset's cursor; the recordset itself stays available (Underlying,
// Recordset) to callers that move it and read its fields, such as the archive run reading
// the patient number of a selected row.
//
// The row list is taken once, when the adapter is made: rows the recordset gains later are
// not shown until the grid opens its record source again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/api/recordset.h"
#include "views/record_source.h"

namespace views {

class RecordsetSource : public RecordSource {
public:
    // recordset must be open. Throws engine::Error when it cannot be read.
    explicit RecordsetSource(std::shared_ptr<engine::api::Recordset> recordset);

    int FieldCount() const override { return static_cast<int>(m_names.size()); }
    std::string FieldName(int field) const override { return m_names.at(static_cast<size_t>(field)); }
    int RecordCount() const override { return static_cast<int>(m_bookmarks.size()); }
    engine::Value Value(int row, int field) const override;
    Bookmark RowBookmark(int row) const override { return m_bookmarks.at(static_cast<size_t>(row)); }
    int RowOfBookmark(Bookmark bookmark) const override;
    // A std::shared_ptr<engine::api::Recordset>.
    std::any Underlying() const override { return m_recordset; }

    const std::shared_ptr<engine::api::Recordset>& Recordset() const { return m_recordset; }

private:
    std::shared_ptr<engine::api::Recordset> m_recordset;
    std::vector<std::string> m_names;
    std::vector<Bookmark> m_bookmarks;  // ascending: the recordset's own order
};

// The recordset behind a grid's rows, or nullptr when the rows come from elsewhere.
std::shared_ptr<engine::api::Recordset> RecordsetOf(const std::shared_ptr<RecordSource>& source);

}  // namespace views
