// The columns of a record grid's view model. Each column has an identity (Index, 1 to the
// column count, fixed for the life of the layout), a display position (ColPosition, 1 to
// the count, always a permutation: moving one column to a position shifts the others),
// a caption, the data field it shows, its width in twips, a display format and a type.
// Any change is reported to the owner so that a view redraws at once. No Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace views {

class GridColumns;

class GridColumn {
public:
    int16_t Index() const { return m_index; }
    const std::string& Caption() const { return m_caption; }
    void SetCaption(std::string caption);
    // Name of the record source field shown in the column.
    const std::string& DataField() const { return m_dataField; }
    void SetDataField(std::string field);
    int16_t ColPosition() const;
    void SetColPosition(int16_t position);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    // Width in twips.
    int Width() const { return m_width; }
    void SetWidth(int twips);
    // Display format name (see value_text.h); empty for the value's usual form.
    const std::string& Format() const { return m_format; }
    void SetFormat(std::string format);
    // 0 an ordinary column; 1 a column that cannot be grouped by.
    int32_t ColumnType() const { return m_columnType; }
    void SetColumnType(int32_t type);

private:
    friend class GridColumns;
    GridColumn(GridColumns* owner, int16_t index) : m_owner(owner), m_index(index) {}
    void Changed();

    GridColumns* m_owner;
    int16_t m_index;
    std::string m_caption;
    std::string m_dataField;
    bool m_visible = true;
    int m_width = 1440;
    std::string m_format;
    int32_t m_columnType = 0;
};

class GridColumns {
public:
    GridColumns() = default;
    GridColumns(const GridColumns&) = delete;
    GridColumns& operator=(const GridColumns&) = delete;

    int Count() const { return static_cast<int>(m_columns.size()); }
    // The column whose Index is index (1 to Count). Throws engine::Error when there is none.
    GridColumn& Item(int index);
    const GridColumn& Item(int index) const;
    // The column at a display position (1 to Count). Throws engine::Error when out of range.
    GridColumn& ItemByPosition(int position);
    const GridColumn& ItemByPosition(int position) const;
    // Appends a column at the last position and returns it.
    GridColumn& Add(std::string caption, std::string dataField);
    void Clear();
    // The visible columns in display order.
    std::vector<const GridColumn*> VisibleInOrder() const;

    // Called after any change to a column or to the collection.
    void SetChangeHandler(std::function<void()> handler) { m_onChange = std::move(handler); }

private:
    friend class GridColumn;
    void Changed() {
        if (m_onChange) m_onChange();
    }
    int PositionOf(const GridColumn* column) const;
    void MoveTo(GridColumn* column, int position);

    std::vector<std::unique_ptr<GridColumn>> m_columns;  // by Index
    std::vector<GridColumn*> m_order;                    // by display position
    std::function<void()> m_onChange;
};

}  // namespace views
