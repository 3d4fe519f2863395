#include "views/key_description.h"

#include "views/grid_view_model.h"

namespace views {

namespace {
// Drops the separator after the last part, or says "None" when there is no part.
std::string Finish(std::string text) {
    if (text.empty()) return "None";
    text.resize(text.size() - 2);
    return text;
}
}  // namespace

std::string DescribeKeys(const GridViewModel& grid, const GridGroups& keys) {
    std::string text;
    for (const GridGroup& key : keys.All()) {
        const bool known = key.ColIndex >= 1 && key.ColIndex <= grid.Columns().Count();
        text += known ? grid.Columns().Item(key.ColIndex).Caption() : std::string("?");
        text += key.SortOrder == 1 ? " (ascending), " : " (descending), ";
    }
    return Finish(std::move(text));
}

std::string DescribeVisibleFields(const GridViewModel& grid) {
    std::string text;
    for (int index = 1; index <= grid.Columns().Count(); ++index) {
        const GridColumn& column = grid.Columns().Item(index);
        if (column.Visible()) text += column.Caption() + ", ";
    }
    return Finish(std::move(text));
}

}  // namespace views
