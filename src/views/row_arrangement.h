// RowArrangement: the order in which a record grid shows a source's records, with group
// rows between them. Sorting and grouping only permute row numbers; values are read from
// the source when compared and never copied. Records sort by the group keys first, then by
// the sort keys, then by their place in the source (so equal rows keep the source order).
// Groups nest in key order; each group row can be collapsed, hiding what lies below it.
//
// Two numberings: a record's ordinal (0-based place in the sorted order, whether or not its
// group is collapsed) and a display row (0-based place among the rows shown). No Qt.
#pragma once

#include <vector>

#include "views/record_source.h"

namespace views {

class RowArrangement {
public:
    struct Key {
        int field = -1;  // source field; -1 compares as null
        int order = 1;   // 1 ascending, -1 descending
    };
    struct Group {
        int level = 0;  // 0 is the outermost
        int first = 0;  // first record ordinal
        int end = 0;    // one past the last record ordinal
        bool collapsed = false;
        std::vector<int> children;  // sub-groups, for all but the innermost level
        int Size() const { return end - first; }
    };

    // Sorts and groups the source's records. The source must outlive the arrangement or the
    // next Build; nullptr arranges no rows.
    void Build(const RecordSource* source, std::vector<Key> groupKeys, std::vector<Key> sortKeys, bool collapsed);

    int RecordCount() const { return static_cast<int>(m_order.size()); }
    int SourceRow(int ordinal) const { return m_order[ordinal]; }
    // The ordinal of a source row; -1 when it is not arranged.
    int OrdinalOfSourceRow(int sourceRow) const;

    int GroupCount() const { return static_cast<int>(m_groups.size()); }
    const Group& GroupAt(int group) const { return m_groups[group]; }
    const Key& GroupKey(int level) const { return m_groupKeys[level]; }
    int GroupLevels() const { return static_cast<int>(m_groupKeys.size()); }
    void SetCollapsed(int group, bool collapsed);
    void SetAllCollapsed(bool collapsed);
    // Opens every group that holds the record, so that it is shown.
    void Reveal(int ordinal);

    int DisplayCount() const { return static_cast<int>(m_display.size()); }
    bool IsGroupRow(int display) const { return m_display[display] < 0; }
    int GroupOfDisplay(int display) const { return -m_display[display] - 1; }
    int OrdinalOfDisplay(int display) const { return m_display[display]; }
    // The display row of a record or a group; -1 when it is hidden in a collapsed group.
    int DisplayOfOrdinal(int ordinal) const;
    int DisplayOfGroup(int group) const;

private:
    // One key's values in source row order, with the collation rank of each text value (-1
    // for other values), read once per arrangement.
    struct KeyColumn {
        std::vector<engine::Value> values;
        std::vector<int> ranks;
        int Compare(int sourceRowA, int sourceRowB) const;
    };
    static KeyColumn ReadKeyColumn(const RecordSource& source, int field);
    int BuildGroups(int level, int first, int end);
    void BuildDisplay();
    void AddDisplay(int group);

    const RecordSource* m_source = nullptr;
    std::vector<Key> m_groupKeys;
    std::vector<const KeyColumn*> m_levelColumns;  // while building: the key column of each level
    std::vector<int> m_order;                      // ordinal -> source row
    std::vector<Group> m_groups;                   // in display (preorder) order
    std::vector<int> m_topGroups;
    std::vector<int> m_display;  // >= 0 ordinal, < 0 -(group + 1)
};

}  // namespace views
