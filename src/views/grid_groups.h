// GridGroups: an ordered list of (column, direction) pairs. A record grid keeps two of them:
// its groups (the first is the outermost grouping) and its sort keys (the first sorts first).
// Writing the list does not rearrange the rows; the grid's Regroup or Resort does. No Qt.
#pragma once

#include <cstdint>
#include <vector>

namespace views {

struct GridGroup {
    int16_t ColIndex = 0;  // the Index of the column
    int SortOrder = 1;     // 1 ascending, -1 descending
    friend bool operator==(const GridGroup&, const GridGroup&) = default;
};

class GridGroups {
public:
    int Count() const { return static_cast<int>(m_items.size()); }
    // The entry at a position, 1 to Count. Throws engine::Error when out of range.
    GridGroup& Item(int position);
    const GridGroup& Item(int position) const;
    void Clear() { m_items.clear(); }
    // Appends an entry and returns it.
    GridGroup& Add(int16_t colIndex, int sortOrder);
    void Remove(int position);
    const std::vector<GridGroup>& All() const { return m_items; }
    friend bool operator==(const GridGroups&, const GridGroups&) = default;

private:
    std::vector<GridGroup> m_items;
};

}  // namespace views
