#include "views/grid_view_model.h"

#include "engine/error.h"
#include "views/layout_file.h"

namespace views {

GridViewModel::GridViewModel() {
    for (int i = 0; i < kColorAreaCount; ++i) m_colors[i] = kColorAreas[i].defaultColor;
    m_columns.SetChangeHandler([this] { Changed(Change::Columns); });
}

void GridViewModel::Set(bool& member, bool value) {
    member = value;
    Changed(Change::Look);
}
void GridViewModel::Set(int& member, int value) {
    member = value;
    Changed(Change::Look);
}

void GridViewModel::SetView(int view) { Set(m_view, view); }
void GridViewModel::SetFont(const GridFont& font) { m_font = font; }
void GridViewModel::SetColumnHeaderFont(const GridFont& font) { m_headerFont = font; }
void GridViewModel::SetColor(ColorArea area, OleColor color) {
    m_colors[static_cast<int>(area)] = color;
    Changed(Change::Look);
}
void GridViewModel::SetGridLines(int gridLines) { Set(m_gridLines, gridLines); }
void GridViewModel::SetUseEvenOddColor(bool on) { Set(m_useEvenOddColor, on); }
void GridViewModel::SetRecordNavigator(bool on) { Set(m_recordNavigator, on); }
void GridViewModel::SetAllowRowSizing(bool on) { Set(m_allowRowSizing, on); }
void GridViewModel::SetGroupByBoxVisible(bool on) { Set(m_groupByBoxVisible, on); }
void GridViewModel::SetAllowEdit(bool on) { Set(m_allowEdit, on); }
void GridViewModel::SetAllowAddNew(bool on) { Set(m_allowAddNew, on); }
void GridViewModel::SetMultiSelect(bool on) { Set(m_multiSelect, on); }
void GridViewModel::SetRowHeight(int twips) { Set(m_rowHeight, twips); }
void GridViewModel::SetColumnHeaderHeight(int twips) { Set(m_columnHeaderHeight, twips); }
void GridViewModel::SetCardWidth(int twips) { Set(m_cardWidth, twips); }

RowArrangement::Key GridViewModel::KeyOf(const GridGroup& entry) const {
    RowArrangement::Key key;
    key.order = entry.SortOrder < 0 ? -1 : 1;
    if (m_source && entry.ColIndex >= 1 && entry.ColIndex <= m_columns.Count()) {
        key.field = m_source->FieldIndex(m_columns.Item(entry.ColIndex).DataField());
    }
    return key;
}

void GridViewModel::Arrange(bool allCollapsed) {
    RowsAboutToChange();
    std::vector<RowArrangement::Key> groupKeys, sortKeys;
    for (const GridGroup& entry : m_groups.All()) groupKeys.push_back(KeyOf(entry));
    for (const GridGroup& entry : m_sortKeys.All()) sortKeys.push_back(KeyOf(entry));
    m_allCollapsed = allCollapsed;
    m_arrangement.Build(m_source.get(), std::move(groupKeys), std::move(sortKeys), allCollapsed);
    Changed(Change::Rows);
}

void GridViewModel::Regroup(bool allCollapsed) { Arrange(allCollapsed); }
void GridViewModel::Resort() { Arrange(m_allCollapsed); }
void GridViewModel::Refresh() { Changed(Change::Look); }

void GridViewModel::CollapseAll() {
    RowsAboutToChange();
    m_arrangement.SetAllCollapsed(true);
    Changed(Change::Rows);
}

void GridViewModel::ExpandAll() {
    RowsAboutToChange();
    m_arrangement.SetAllCollapsed(false);
    Changed(Change::Rows);
}

void GridViewModel::SetGroupCollapsed(int group, bool collapsed) {
    RowsAboutToChange();
    m_arrangement.SetCollapsed(group, collapsed);
    Changed(Change::Rows);
}

void GridViewModel::RevealRow(int rowIndex) {
    if (!RowIsRecord(rowIndex) || m_arrangement.DisplayOfOrdinal(rowIndex - 1) >= 0) return;
    RowsAboutToChange();
    m_arrangement.Reveal(rowIndex - 1);
    Changed(Change::Rows);
}

void GridViewModel::SetBoundRecordset(std::shared_ptr<views::RecordSource> source) {
    m_source = std::move(source);
    Arrange(false);
}

Bookmark GridViewModel::RowBookmark(int rowIndex) const {
    if (!RowIsRecord(rowIndex)) {
        throw engine::Error(engine::err::kBadArgument, "Row " + std::to_string(rowIndex) + " is not a record row.");
    }
    return m_source->RowBookmark(m_arrangement.SourceRow(rowIndex - 1));
}

int GridViewModel::RowIndexOfBookmark(Bookmark bookmark) const {
    if (!m_source) return 0;
    const int sourceRow = m_source->RowOfBookmark(bookmark);
    if (sourceRow < 0) return 0;
    return m_arrangement.OrdinalOfSourceRow(sourceRow) + 1;
}

engine::Value GridViewModel::CellValue(int rowIndex, int colIndex) const {
    if (!RowIsRecord(rowIndex)) return {};
    const int field = m_source->FieldIndex(m_columns.Item(colIndex).DataField());
    if (field < 0) return {};
    return m_source->Value(m_arrangement.SourceRow(rowIndex - 1), field);
}

void GridViewModel::ResetLayout() {
    m_columns.Clear();
    m_groups.Clear();
    m_sortKeys.Clear();
    m_view = 0;
    m_font = GridFont{};
    m_headerFont = GridFont{};
    for (int i = 0; i < kColorAreaCount; ++i) m_colors[i] = kColorAreas[i].defaultColor;
    m_gridLines = -1;
    m_useEvenOddColor = false;
    m_recordNavigator = false;
    m_allowRowSizing = false;
    m_groupByBoxVisible = true;
    m_allowEdit = false;
    m_allowAddNew = false;
    m_multiSelect = false;
    m_rowHeight = -1;
    m_columnHeaderHeight = -1;
    m_cardWidth = 3000;
    m_recordSourceSql.clear();
    Changed(Change::Look);
}

void GridViewModel::ApplyLayoutText(const std::string& text) {
    ReadLayout(*this, text);
    Arrange(false);
}

std::string GridViewModel::LayoutText(bool) const { return WriteLayout(*this); }

void GridViewModel::LoadLayoutFile(const std::string& path, bool, const std::string& connectionString) {
    const std::string text = ReadLayoutFile(path);
    ReadLayout(*this, text);
    if (!connectionString.empty()) m_connectionString = connectionString;
    std::shared_ptr<views::RecordSource> source;
    try {
        source = OpenRecordSource(m_connectionString, m_recordSourceSql);
    } catch (...) {
        SetBoundRecordset(nullptr);
        throw;
    }
    SetBoundRecordset(std::move(source));
}

void GridViewModel::SaveLayoutFile(const std::string& path) const { WriteLayoutFile(path, LayoutText()); }

}  // namespace views
