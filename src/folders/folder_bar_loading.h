// Filling the folder bar from the folder file, and what a click on a bar item opens.
// The main window calls LoadSubFolders once at start-up (after ReadFolderFile) and
// FolderLayoutFile from its item-click handler, then loads the layout file into its grid.
// No Qt.
#pragma once

#include <optional>
#include <string>

#include <pugixml.hpp>

#include "folders/folder_bar_model.h"

namespace folders {

// The style number of the bar's folder items.
inline constexpr int kFolderItemStyle = 901;

// Adds the sub-folders of every indent-1 item: the elements Data/<key with blanks made "-">
// of folderDoc, in file order, each one whose Display is absent or exactly "True" and that
// names a SubFolder. Each becomes an item (key and caption the SubFolder text, style 901,
// indent 2) directly below its parent and the sub-folders inserted before it.
void LoadSubFolders(FolderBarModel& bar, const pugi::xml_document& folderDoc);

// The layout file that a click on item opens: appPath + "/etc/" + the Layout of the item's
// folder definition (LoadFolder over folderDoc, which tells the user about an undefined
// folder). Nothing for a heading (indent 0), for an undefined folder and for a folder without
// a layout: the grid then stays as it is.
std::optional<std::string> FolderLayoutFile(const FolderBarItem& item, const pugi::xml_document& folderDoc,
                                            const std::string& appPath);

}  // namespace folders
