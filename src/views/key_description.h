// The words for a grid's grouping or sort order and for its shown fields, as the view
// summary and the group-by box state them: "Initial (ascending), Last Name (descending)",
// "None" when there is nothing. No Qt.
#pragma once

#include <string>

namespace views {

class GridGroups;
class GridViewModel;

// Each entry's column caption followed by " (ascending)" (SortOrder 1) or " (descending)"
// (any other value), separated by ", "; "None" without entries. An entry whose column does
// not exist is named "?".
std::string DescribeKeys(const GridViewModel& grid, const GridGroups& keys);

// The captions of the visible columns in column (Index) order, separated by ", "; "None"
// when no column is visible.
std::string DescribeVisibleFields(const GridViewModel& grid);

}  // namespace views
