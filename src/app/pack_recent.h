// "Corvane Pack" on Linux: the desktop entry runs `Archive --pack-recent`, which packs the
// folder of the most recent database of the user's recent-files list (the database the main
// window would open), exactly as `Archive -pack<folder>` does. This module finds that folder.
#pragma once

#include <string>

namespace app {

inline constexpr const char* kPackRecentOption = "--pack-recent";

// The folder (without a trailing separator) of entry 1 of the "Recent Files" list in the
// login's parameter file of appPath; empty when the list is empty.
std::string MostRecentDatabaseFolder(const std::string& appPath);

}  // namespace app
