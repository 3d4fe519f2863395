#include "views/memory_record_source.h"

#include "engine/error.h"

namespace views {

void MemoryRecordSource::AddRecord(std::vector<engine::Value> values) {
    if (values.size() != m_fieldNames.size()) {
        throw engine::Error(engine::err::kBadArgument, "A record needs one value per field.");
    }
    m_rows.push_back(std::move(values));
}

int MemoryRecordSource::RowOfBookmark(Bookmark bookmark) const {
    if (bookmark < 1 || bookmark > static_cast<Bookmark>(m_rows.size())) return -1;
    return static_cast<int>(bookmark - 1);
}

}  // namespace views
