#include "folders/folder_bar_loading.h"

#include <algorithm>

#include "folders/xml_tools.h"

namespace folders {

void LoadSubFolders(FolderBarModel& bar, const pugi::xml_document& folderDoc) {
    const pugi::xml_node data = folderDoc.child("Data");
    // Inserted items have indent 2, so walking on by position over the growing bar skips them.
    for (int position = 1; position <= bar.Count(); ++position) {
        const FolderBarItem parent = bar.Item(position);
        if (parent.Indent != 1) continue;
        std::string groupName = parent.Key;
        std::replace(groupName.begin(), groupName.end(), ' ', '-');
        int count = 0;
        for (const pugi::xml_node& group : data.children(groupName.c_str())) {
            const pugi::xml_node display = group.child("Display");
            const bool shown = !display || NodeText(display) == "True";
            const pugi::xml_node subFolder = group.child("SubFolder");
            if (!shown || !subFolder) continue;
            ++count;
            const std::string name = NodeText(subFolder);
            bar.Insert(parent.Position + count, name, name, "", kFolderItemStyle);
            bar.SetIndent(bar.CurrentPosition(), 2);
        }
    }
}

std::optional<std::string> FolderLayoutFile(const FolderBarItem& item, const pugi::xml_document& folderDoc,
                                            const std::string& appPath) {
    if (item.Indent == 0) return std::nullopt;
    FolderDefinition definition;
    if (!LoadFolder(item.Key, folderDoc, definition) || definition.Layout.empty()) return std::nullopt;
    std::string layout = definition.Layout;
    std::replace(layout.begin(), layout.end(), '\\', '/');  // stored with Windows separators at times
    return appPath + "/etc/" + layout;
}

}  // namespace folders
