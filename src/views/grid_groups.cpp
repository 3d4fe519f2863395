#include "views/grid_groups.h"

#include <string>

#include "engine/error.h"

namespace views {

GridGroup& GridGroups::Item(int position) {
    if (position < 1 || position > Count()) {
        throw engine::Error(engine::err::kItemNotFound, "Entry " + std::to_string(position) + " does not exist.");
    }
    return m_items[position - 1];
}
const GridGroup& GridGroups::Item(int position) const { return const_cast<GridGroups*>(this)->Item(position); }

GridGroup& GridGroups::Add(int16_t colIndex, int sortOrder) {
    m_items.push_back(GridGroup{colIndex, sortOrder});
    return m_items.back();
}

void GridGroups::Remove(int position) {
    Item(position);
    m_items.erase(m_items.begin() + (position - 1));
}

}  // namespace views
