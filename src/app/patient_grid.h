// The main window's patient grid (grdPatients) as designed: the columns, sort key, look and
// record source it shows until a folder's layout replaces them.
#pragma once

class QWidget;

namespace views {
class GridViewModel;
class RecordGrid;
}  // namespace views

namespace app {

// The SELECT of the designed grid: the patient's number, name, title, phone numbers, social
// security number and birthday from IdentFil, the numbers shown with their separators.
extern const char* const kPatientGridSql;

// Gives a grid the designed layout (no rows are opened).
void ApplyPatientGridDesign(views::GridViewModel& grid);

// A new record grid named grdPatients with the designed layout.
views::RecordGrid* MakePatientGrid(QWidget* parent);

}  // namespace app
