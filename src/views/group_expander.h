// Where a group row's expander (the triangle before its caption) lies in a record grid's
// table, so that a single click on it opens or closes the group.
#pragma once

class QModelIndex;
class QPoint;
class QTableView;

namespace views {

// True when the point (in the table's viewport) lies on the expander of the group row at
// index; false for record rows and for the rest of a group row.
bool IsOnGroupExpander(const QTableView& table, const QModelIndex& index, const QPoint& at);

}  // namespace views
