// The stand-in for the main window's patient grid, shown until the real component is put in
// its place (frmArchive::ReplaceGrid).
#pragma once

class QWidget;

namespace app {

// An empty table with the patient grid's column captions; several rows may be selected.
QWidget* MakeGridPlaceholder(QWidget* parent);

}  // namespace app
