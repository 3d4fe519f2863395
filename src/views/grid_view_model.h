// GridViewModel: everything that decides what a record grid shows and how, without any
// widget: columns, groups and sort keys, fonts, the fourteen area colours, switches and
// sizes, the record source with its SELECT and connection, and the arrangement of its rows
// (sorted, grouped, collapsed). The view dialogs read and change this model; the widget
// (RecordGrid) derives from it and redraws whenever it reports a change. Every property
// holds exactly what is written to it. No Qt.
//
// Row indices, as callers see them: a record row has the index 1 to RowCount() (its place in
// the current order, whether or not its group is collapsed); a group row has an index below 1.
#pragma once

#include <memory>
#include <string>

#include "views/grid_columns.h"
#include "views/grid_font_object.h"
#include "views/grid_groups.h"
#include "views/grid_look.h"
#include "views/record_source.h"
#include "views/row_arrangement.h"

namespace views {

class GridViewModel {
public:
    GridViewModel();
    virtual ~GridViewModel() = default;
    GridViewModel(const GridViewModel&) = delete;
    GridViewModel& operator=(const GridViewModel&) = delete;

    // What a change touched, so that a view redraws only what it must.
    enum class Change { Look, Columns, Rows };

    GridColumns& Columns() { return m_columns; }
    const GridColumns& Columns() const { return m_columns; }
    GridGroups& Groups() { return m_groups; }
    const GridGroups& Groups() const { return m_groups; }
    GridGroups& SortKeys() { return m_sortKeys; }
    const GridGroups& SortKeys() const { return m_sortKeys; }

    // Rebuilds the group rows from Groups (and the order from SortKeys); all groups start
    // collapsed when allCollapsed is true, else expanded. Virtual so that a caller can watch
    // when the view dialogs rebuild the rows.
    virtual void Regroup(bool allCollapsed);
    // Re-sorts the rows by SortKeys within the current groups.
    virtual void Resort();
    // Redraws with the current settings.
    void Refresh();
    void CollapseAll();
    void ExpandAll();

    // 1 shows cards; any other value a table.
    int View() const { return m_view; }
    void SetView(int view);

    // The grid's own font objects (rows, and column or card headings): changing one in place
    // redraws the grid at once; a GridFont taken from one is a copy.
    GridFontObject& Font() { return m_font; }
    const GridFontObject& Font() const { return m_font; }
    void SetFont(const GridFont& font);
    GridFontObject& ColumnHeaderFont() { return m_headerFont; }
    const GridFontObject& ColumnHeaderFont() const { return m_headerFont; }
    void SetColumnHeaderFont(const GridFont& font);

    OleColor Color(ColorArea area) const { return m_colors[static_cast<int>(area)]; }
    void SetColor(ColorArea area, OleColor color);
    OleColor ForeColor() const { return Color(ColorArea::ForeColor); }
    void SetForeColor(OleColor c) { SetColor(ColorArea::ForeColor, c); }
    OleColor ForeColorHeader() const { return Color(ColorArea::ForeColorHeader); }
    void SetForeColorHeader(OleColor c) { SetColor(ColorArea::ForeColorHeader, c); }
    OleColor ForeColorInfoText() const { return Color(ColorArea::ForeColorInfoText); }
    void SetForeColorInfoText(OleColor c) { SetColor(ColorArea::ForeColorInfoText, c); }
    OleColor ForeColorGroupRows() const { return Color(ColorArea::ForeColorGroupRows); }
    void SetForeColorGroupRows(OleColor c) { SetColor(ColorArea::ForeColorGroupRows, c); }
    OleColor GridLinesColor() const { return Color(ColorArea::GridLinesColor); }
    void SetGridLinesColor(OleColor c) { SetColor(ColorArea::GridLinesColor, c); }
    OleColor MaskColor() const { return Color(ColorArea::MaskColor); }
    void SetMaskColor(OleColor c) { SetColor(ColorArea::MaskColor, c); }
    OleColor EvenRowsColor() const { return Color(ColorArea::EvenRowsColor); }
    void SetEvenRowsColor(OleColor c) { SetColor(ColorArea::EvenRowsColor, c); }
    OleColor OddRowsColor() const { return Color(ColorArea::OddRowsColor); }
    void SetOddRowsColor(OleColor c) { SetColor(ColorArea::OddRowsColor, c); }
    OleColor BackColor() const { return Color(ColorArea::BackColor); }
    void SetBackColor(OleColor c) { SetColor(ColorArea::BackColor, c); }
    OleColor BackColorNonCellArea() const { return Color(ColorArea::BackColorNonCellArea); }
    void SetBackColorNonCellArea(OleColor c) { SetColor(ColorArea::BackColorNonCellArea, c); }
    OleColor BackColorHeader() const { return Color(ColorArea::BackColorHeader); }
    void SetBackColorHeader(OleColor c) { SetColor(ColorArea::BackColorHeader, c); }
    OleColor BackColorGroupBy() const { return Color(ColorArea::BackColorGroupBy); }
    void SetBackColorGroupBy(OleColor c) { SetColor(ColorArea::BackColorGroupBy, c); }
    OleColor BackColorInfoText() const { return Color(ColorArea::BackColorInfoText); }
    void SetBackColorInfoText(OleColor c) { SetColor(ColorArea::BackColorInfoText, c); }
    OleColor BackColorGroupRows() const { return Color(ColorArea::BackColorGroupRows); }
    void SetBackColorGroupRows(OleColor c) { SetColor(ColorArea::BackColorGroupRows, c); }

    // -1 or 0 as written (non-zero draws grid lines).
    int GridLines() const { return m_gridLines; }
    void SetGridLines(int gridLines);
    bool UseEvenOddColor() const { return m_useEvenOddColor; }
    void SetUseEvenOddColor(bool on);
    bool RecordNavigator() const { return m_recordNavigator; }
    void SetRecordNavigator(bool on);
    bool AllowRowSizing() const { return m_allowRowSizing; }
    void SetAllowRowSizing(bool on);
    bool GroupByBoxVisible() const { return m_groupByBoxVisible; }
    void SetGroupByBoxVisible(bool on);
    bool AllowEdit() const { return m_allowEdit; }
    void SetAllowEdit(bool on);
    bool AllowAddNew() const { return m_allowAddNew; }
    void SetAllowAddNew(bool on);
    // Several rows may be selected at once.
    bool MultiSelect() const { return m_multiSelect; }
    void SetMultiSelect(bool on);
    // Row height in twips; -1 is the height that suits the font.
    int RowHeight() const { return m_rowHeight; }
    void SetRowHeight(int twips);
    // Height of the column headings in twips; -1 suits the font.
    int ColumnHeaderHeight() const { return m_columnHeaderHeight; }
    void SetColumnHeaderHeight(int twips);
    // Width of one card in twips.
    int CardWidth() const { return m_cardWidth; }
    void SetCardWidth(int twips);

    // The connection the record source is opened on (kept in layouts as "databasename").
    const std::string& ConnectionString() const { return m_connectionString; }
    void SetConnectionString(std::string connectionString) { m_connectionString = std::move(connectionString); }
    // The SELECT whose rows the grid shows.
    const std::string& RecordSourceSql() const { return m_recordSourceSql; }
    void SetRecordSourceSql(std::string sql) { m_recordSourceSql = std::move(sql); }

    // The rows behind the grid (nullptr when none). Binding rows keeps columns, groups and
    // sort keys and arranges the new rows by them.
    std::shared_ptr<views::RecordSource> BoundRecordset() const { return m_source; }
    void SetBoundRecordset(std::shared_ptr<views::RecordSource> source);

    // Number of record rows, and the bookmark of the record at a row index (1 to RowCount).
    // RowBookmark throws engine::Error for a group row or an index out of range.
    int RowCount() const { return m_arrangement.RecordCount(); }
    bool RowIsRecord(int rowIndex) const { return rowIndex >= 1 && rowIndex <= RowCount(); }
    Bookmark RowBookmark(int rowIndex) const;
    // The row index of a bookmark; 0 when no row has it.
    int RowIndexOfBookmark(Bookmark bookmark) const;
    // The value of a column (by Index) in a record row, as the source holds it.
    engine::Value CellValue(int rowIndex, int colIndex) const;
    const RowArrangement& Arrangement() const { return m_arrangement; }
    // Opens or closes one group (by its number in the arrangement).
    void SetGroupCollapsed(int group, bool collapsed);
    // Opens every group that holds the record row, so that it is shown.
    void RevealRow(int rowIndex);

    // Replaces columns, groups, sort keys, look and record source with those of a layout file
    // and opens its rows through the record source opener. A non-empty connectionString
    // replaces the one stored in the file. The flag has no effect. Throws engine::Error.
    void LoadLayoutFile(const std::string& path, bool flag, const std::string& connectionString);
    // Writes the layout beside the file and renames it into place. Throws engine::Error.
    void SaveLayoutFile(const std::string& path) const;
    // The layout as text; equal texts mean equal layouts. The flag has no effect.
    std::string LayoutText(bool flag = false) const;
    // Replaces the layout with one given as text (as LayoutText writes it); opens no rows.
    void ApplyLayoutText(const std::string& text);
    // Resets to an empty layout with the default look.
    void ResetLayout();

protected:
    // Called after every change; the base does nothing.
    virtual void Changed(Change what) {}
    // Runs before the rows are rearranged, and after (a view keeps its selection in step).
    virtual void RowsAboutToChange() {}

private:
    void Arrange(bool allCollapsed);
    RowArrangement::Key KeyOf(const GridGroup& entry) const;
    void Set(bool& member, bool value);
    void Set(int& member, int value);

    GridColumns m_columns;
    GridGroups m_groups;
    GridGroups m_sortKeys;
    int m_view = 0;
    GridFontObject m_font{[this] { Changed(Change::Look); }};
    GridFontObject m_headerFont{[this] { Changed(Change::Look); }};
    std::array<OleColor, kColorAreaCount> m_colors{};
    int m_gridLines = -1;
    bool m_useEvenOddColor = false;
    bool m_recordNavigator = false;
    bool m_allowRowSizing = false;
    bool m_groupByBoxVisible = true;
    bool m_allowEdit = false;
    bool m_allowAddNew = false;
    bool m_multiSelect = false;
    int m_rowHeight = -1;
    int m_columnHeaderHeight = -1;
    int m_cardWidth = 3000;
    std::string m_connectionString;
    std::string m_recordSourceSql;
    std::shared_ptr<views::RecordSource> m_source;
    RowArrangement m_arrangement;
    bool m_allCollapsed = false;
};

}  // namespace views
