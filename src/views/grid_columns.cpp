#include "views/grid_columns.h"

#include <algorithm>

#include "engine/error.h"

namespace views {

namespace {
[[noreturn]] void NoSuchColumn(int number) {
    throw engine::Error(engine::err::kItemNotFound, "Column " + std::to_string(number) + " does not exist.");
}
}  // namespace

void GridColumn::Changed() { m_owner->Changed(); }

void GridColumn::SetCaption(std::string caption) {
    m_caption = std::move(caption);
    Changed();
}
void GridColumn::SetDataField(std::string field) {
    m_dataField = std::move(field);
    Changed();
}
int16_t GridColumn::ColPosition() const { return static_cast<int16_t>(m_owner->PositionOf(this)); }
void GridColumn::SetColPosition(int16_t position) {
    m_owner->MoveTo(this, position);
    Changed();
}
void GridColumn::SetVisible(bool visible) {
    m_visible = visible;
    Changed();
}
void GridColumn::SetWidth(int twips) {
    m_width = twips;
    Changed();
}
void GridColumn::SetFormat(std::string format) {
    m_format = std::move(format);
    Changed();
}
void GridColumn::SetColumnType(int32_t type) {
    m_columnType = type;
    Changed();
}

GridColumn& GridColumns::Item(int index) {
    if (index < 1 || index > Count()) NoSuchColumn(index);
    return *m_columns[index - 1];
}
const GridColumn& GridColumns::Item(int index) const { return const_cast<GridColumns*>(this)->Item(index); }

GridColumn& GridColumns::ItemByPosition(int position) {
    if (position < 1 || position > Count()) NoSuchColumn(position);
    return *m_order[position - 1];
}
const GridColumn& GridColumns::ItemByPosition(int position) const {
    return const_cast<GridColumns*>(this)->ItemByPosition(position);
}

GridColumn& GridColumns::Add(std::string caption, std::string dataField) {
    auto column = std::unique_ptr<GridColumn>(new GridColumn(this, static_cast<int16_t>(Count() + 1)));
    column->m_caption = std::move(caption);
    column->m_dataField = std::move(dataField);
    m_order.push_back(column.get());
    m_columns.push_back(std::move(column));
    Changed();
    return *m_columns.back();
}

void GridColumns::Clear() {
    m_order.clear();
    m_columns.clear();
    Changed();
}

std::vector<const GridColumn*> GridColumns::VisibleInOrder() const {
    std::vector<const GridColumn*> out;
    for (const GridColumn* column : m_order) {
        if (column->Visible()) out.push_back(column);
    }
    return out;
}

int GridColumns::PositionOf(const GridColumn* column) const {
    const auto it = std::find(m_order.begin(), m_order.end(), column);
    return static_cast<int>(it - m_order.begin()) + 1;
}

void GridColumns::MoveTo(GridColumn* column, int position) {
    position = std::clamp(position, 1, Count());
    m_order.erase(std::find(m_order.begin(), m_order.end(), column));
    m_order.insert(m_order.begin() + (position - 1), column);
}

}  // namespace views
