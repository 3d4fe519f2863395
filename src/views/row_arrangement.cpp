#include "views/row_arrangement.h"

#include <algorithm>
#include <numeric>

#include "views/text_collation.h"
#include "views/value_text.h"

namespace views {

int RowArrangement::KeyColumn::Compare(int a, int b) const {
    // Two texts compare by collation; anything else (and text against non-text) by value.
    if (ranks[a] >= 0 && ranks[b] >= 0) return ranks[a] < ranks[b] ? -1 : (ranks[a] > ranks[b] ? 1 : 0);
    return CompareValues(values[a], values[b]);
}

RowArrangement::KeyColumn RowArrangement::ReadKeyColumn(const RecordSource& source, int field) {
    KeyColumn column;
    const int rows = source.RecordCount();
    column.values.reserve(rows);
    for (int row = 0; row < rows; ++row) column.values.push_back(source.Value(row, field));
    std::vector<const std::string*> texts;
    std::vector<int> textRows;
    for (int row = 0; row < rows; ++row) {
        if (const auto* text = column.values[row].If<std::string>()) {
            texts.push_back(text);
            textRows.push_back(row);
        }
    }
    column.ranks.assign(rows, -1);
    const std::vector<int> ranks = CollationRanks(texts);
    for (size_t i = 0; i < textRows.size(); ++i) column.ranks[textRows[i]] = ranks[i];
    return column;
}

void RowArrangement::Build(const RecordSource* source, std::vector<Key> groupKeys, std::vector<Key> sortKeys,
                           bool collapsed) {
    m_source = source;
    m_groupKeys = std::move(groupKeys);
    m_groups.clear();
    m_topGroups.clear();
    m_order.assign(source ? source->RecordCount() : 0, 0);
    std::iota(m_order.begin(), m_order.end(), 0);
    if (!source) {
        m_display.clear();
        return;
    }
    std::vector<Key> keys = m_groupKeys;
    keys.insert(keys.end(), sortKeys.begin(), sortKeys.end());
    keys.erase(std::remove_if(keys.begin(), keys.end(), [](const Key& k) { return k.field < 0; }), keys.end());
    // Each key's values are read once per row rather than at every comparison: a source over
    // a database hands out copies, and a sort compares each row many times.
    std::vector<KeyColumn> columns;
    columns.reserve(keys.size());
    for (const Key& key : keys) columns.push_back(ReadKeyColumn(*source, key.field));
    if (!keys.empty()) {
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            for (size_t k = 0; k < keys.size(); ++k) {
                const int c = columns[k].Compare(a, b);
                if (c != 0) return keys[k].order < 0 ? c > 0 : c < 0;
            }
            return false;
        });
    }
    if (!m_groupKeys.empty()) {
        // The group levels whose key names a field use the columns read for sorting (they
        // come first, in level order); a level without a field forms one group.
        m_levelColumns.assign(m_groupKeys.size(), nullptr);
        for (size_t level = 0, k = 0; level < m_groupKeys.size(); ++level) {
            if (m_groupKeys[level].field >= 0) m_levelColumns[level] = &columns[k++];
        }
        int first = 0;
        const int end = RecordCount();
        while (first < end) {
            const int group = BuildGroups(0, first, end);
            m_topGroups.push_back(group);
            first = m_groups[group].end;
        }
        m_levelColumns.clear();
        for (Group& group : m_groups) group.collapsed = collapsed;
    }
    BuildDisplay();
}

// Creates the group that starts at `first` on `level` (running while the level's key stays
// equal, but not past `end`) and its sub-groups; returns its number.
int RowArrangement::BuildGroups(int level, int first, int end) {
    const KeyColumn* column = m_levelColumns[level];
    int last = first + 1;
    while (last < end && (!column || column->Compare(m_order[last], m_order[first]) == 0)) ++last;
    const int number = static_cast<int>(m_groups.size());
    m_groups.push_back(Group{level, first, last, false, {}});
    if (level + 1 < GroupLevels()) {
        for (int at = first; at < last;) {
            const int child = BuildGroups(level + 1, at, last);
            m_groups[number].children.push_back(child);
            at = m_groups[child].end;
        }
    }
    return number;
}

void RowArrangement::BuildDisplay() {
    m_display.clear();
    if (m_groupKeys.empty()) {
        m_display.resize(m_order.size());
        std::iota(m_display.begin(), m_display.end(), 0);
        return;
    }
    for (int group : m_topGroups) AddDisplay(group);
}

void RowArrangement::AddDisplay(int group) {
    const Group& g = m_groups[group];
    m_display.push_back(-group - 1);
    if (g.collapsed) return;
    if (g.children.empty()) {
        for (int ordinal = g.first; ordinal < g.end; ++ordinal) m_display.push_back(ordinal);
    } else {
        for (int child : g.children) AddDisplay(child);
    }
}

int RowArrangement::OrdinalOfSourceRow(int sourceRow) const {
    const auto it = std::find(m_order.begin(), m_order.end(), sourceRow);
    return it == m_order.end() ? -1 : static_cast<int>(it - m_order.begin());
}

void RowArrangement::SetCollapsed(int group, bool collapsed) {
    m_groups.at(group).collapsed = collapsed;
    BuildDisplay();
}

void RowArrangement::SetAllCollapsed(bool collapsed) {
    for (Group& group : m_groups) group.collapsed = collapsed;
    BuildDisplay();
}

void RowArrangement::Reveal(int ordinal) {
    bool changed = false;
    for (Group& group : m_groups) {
        if (group.collapsed && ordinal >= group.first && ordinal < group.end) {
            group.collapsed = false;
            changed = true;
        }
    }
    if (changed) BuildDisplay();
}

int RowArrangement::DisplayOfOrdinal(int ordinal) const {
    if (m_groupKeys.empty()) return ordinal >= 0 && ordinal < DisplayCount() ? ordinal : -1;
    const auto it = std::find(m_display.begin(), m_display.end(), ordinal);
    return it == m_display.end() ? -1 : static_cast<int>(it - m_display.begin());
}

int RowArrangement::DisplayOfGroup(int group) const {
    const auto it = std::find(m_display.begin(), m_display.end(), -group - 1);
    return it == m_display.end() ? -1 : static_cast<int>(it - m_display.begin());
}

}  // namespace views
