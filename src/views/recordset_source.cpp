#include "views/recordset_source.h"

#include <algorithm>
#include <cmath>

namespace views {

RecordsetSource::RecordsetSource(std::shared_ptr<engine::api::Recordset> recordset)
    : m_recordset(std::move(recordset)) {
    for (engine::api::Field& field : m_recordset->Fields()) m_names.push_back(field.Name());
    // A clone walks the rows so that the recordset keeps its place.
    const std::unique_ptr<engine::api::Recordset> walker = m_recordset->Clone();
    m_bookmarks.reserve(static_cast<size_t>(std::max(0L, m_recordset->RecordCount())));
    for (walker->MoveFirst(); !walker->Eof(); walker->MoveNext())
        m_bookmarks.push_back(std::llround(walker->Bookmark()));
}

engine::Value RecordsetSource::Value(int row, int field) const {
    return m_recordset->ValueAt(static_cast<double>(m_bookmarks.at(static_cast<size_t>(row))), field);
}

int RecordsetSource::RowOfBookmark(Bookmark bookmark) const {
    const auto it = std::lower_bound(m_bookmarks.begin(), m_bookmarks.end(), bookmark);
    if (it == m_bookmarks.end() || *it != bookmark) return -1;
    return static_cast<int>(it - m_bookmarks.begin());
}

std::shared_ptr<engine::api::Recordset> RecordsetOf(const std::shared_ptr<RecordSource>& source) {
    if (!source) return nullptr;
    const std::any underlying = source->Underlying();
    if (const auto* recordset = std::any_cast<std::shared_ptr<engine::api::Recordset>>(&underlying)) return *recordset;
    return nullptr;
}

}  // namespace views
