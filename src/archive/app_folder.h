// Finding the application folder: the suite's install folder, marked by "corvane.xml", where
// the parameter file, Folders.xml, the layouts, the blank database and the help file live.
#pragma once

#include <string>

namespace app {

// Where the suite's installer puts the application folder on Linux.
inline constexpr const char* kInstalledFolder = "/opt/tarnwell/corvane";
// The application folder Archive's own Debian package installs (corvane.xml, the blank
// template, example folders and layouts), for a workstation without the suite's.
inline constexpr const char* kPackagedFolder = "/opt/tarnwell/archive";

// The application folder, without a trailing separator. The first rule that matches decides:
// corvane.xml in programFolder; corvane.xml in its parent folder; corvane.xml in
// installedFolder; the folder of the install entry in the registry; corvane.xml in
// packagedFolder; otherwise the answer to an input box (empty when cancelled). An empty
// programFolder (the program's place is unknown) skips the first two rules.
std::string FindAppPath(const std::string& programFolder, const std::string& installedFolder = kInstalledFolder,
                        const std::string& packagedFolder = kPackagedFolder);

}  // namespace app
