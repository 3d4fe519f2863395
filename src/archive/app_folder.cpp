#include "archive/app_folder.h"

#include "common/files.h"
#include "common/paths.h"
#include "common/registry_value.h"
#include "common/ui.h"

namespace app {
namespace {

constexpr const char* kMarkerFile = "corvane.xml";
constexpr const char* kInstallKey = "SOFTWARE\\RArozu\\DerazoRI";
constexpr const char* kInstallValue = "Corvane";

std::string GuessAppPath(const std::string& programFolder, const std::string& installedFolder,
                         const std::string& packagedFolder) {
    if (!programFolder.empty()) {
        if (common::FindInFolder(programFolder, kMarkerFile)) return programFolder;
        const std::string parent = common::FolderOf(common::RemoveBackslash(programFolder));
        if (!parent.empty() && common::FindInFolder(parent, kMarkerFile)) return parent;
    }
    if (!installedFolder.empty() && common::FindInFolder(installedFolder, kMarkerFile)) return installedFolder;
    std::string registered;
    if (common::ReadRegValue(common::kHkeyLocalMachine, kInstallKey, kInstallValue, registered))
        return common::FolderOf(registered);
    // Only when the suite is nowhere to be found: its own folder always wins.
    if (!packagedFolder.empty() && common::FindInFolder(packagedFolder, kMarkerFile)) return packagedFolder;
    return ui::Current().InputBox("Enter Path:  ", "Enter path");
}

}  // namespace

std::string FindAppPath(const std::string& programFolder, const std::string& installedFolder,
                        const std::string& packagedFolder) {
    return common::RemoveBackslash(GuessAppPath(programFolder, installedFolder, packagedFolder));
}

}  // namespace app
