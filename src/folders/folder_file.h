// Loading the folder file (Folders.xml, in the application folder) into a document, and the
// main window's ReadFolderFile, which loads it and reports a file that cannot be read.
// Used by the main window at start-up and by the find dialog. No Qt.
#pragma once

#include <optional>
#include <string>

#include <pugixml.hpp>

namespace folders {

// The name of the folder file inside the application folder.
inline constexpr const char* kFolderFileName = "Folders.xml";

// Where the folder file of an application folder is: appPath + "/Folders.xml", or the entry
// of the folder whose name matches it apart from case when only such a one exists.
std::string FolderFilePath(const std::string& appPath);

// Loads file into doc. On success returns nothing; on failure doc is left empty and the result
// is the report for the user: "Error loading Folders file.", the parser's reason, the line
// number (1-based; 0 when the file could not be read) and the source text of that line, each
// on its own line (CR LF). Never throws.
std::optional<std::string> LoadFolderFile(const std::string& file, pugi::xml_document& doc);

// Makes the folder file of appPath writable by its owner (it may come read-only from an
// installation medium), then loads it into folderDoc. A file that cannot be loaded is reported
// through product::ReportError ("frmArchive", "ReadFolderFile", shown), and the program goes on
// with an empty document. Returns whether the file was loaded.
bool ReadFolderFile(const std::string& appPath, pugi::xml_document& folderDoc);

}  // namespace folders
