// Stand-ins for the main window's folder bar and patient grid, shown until the real
// components are put in their place (frmArchive::ReplaceFolderBar / ReplaceGrid).
#pragma once

class QWidget;

namespace app {

// An empty bar with the caption "Folder List".
QWidget* MakeFolderBarPlaceholder(QWidget* parent);

// An empty table with the patient grid's column captions; several rows may be selected.
QWidget* MakeGridPlaceholder(QWidget* parent);

}  // namespace app
