#include "app/pack_recent.h"

#include "common/paths.h"
#include "common/process.h"
#include "settings/most_recent_files.h"
#include "settings/xml_reg.h"

namespace app {

std::string MostRecentDatabaseFolder(const std::string& appPath) {
    settings::CXMLReg store;
    store.SetAppName(common::GetLoginName());
    store.SetAppPath(appPath);
    settings::CMostRecentFiles recent;
    recent.SetXMLFile(&store);
    recent.SetRootKey("FILE");
    recent.SetMaxFiles(20);
    recent.SetMenuOffset(1);
    recent.SetSection("Recent Files");
    const std::string database = recent.GetRecordNum(1);
    if (database.empty()) return {};
    return common::RemoveBackslash(common::FolderOf(database));
}

}  // namespace app
