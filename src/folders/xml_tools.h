// xmlTools: answers the three questions the program asks of the loaded folder file
// (Folders.xml): the definition of one folder, the titles of a folder's look-for entries with
// the default among them, and the query text of one look-for entry.
//
// The document is loaded by the caller (folders/folder_file.h). Names are matched exactly and
// literally: a folder or title containing quotes or brackets is compared as text, never read as
// part of a path. Problems with the file's content are shown to the user through the ui seam
// ("Folders/LookFor database is malfunctioning ..."); none of these functions throws. No Qt.
#pragma once

#include <cstdint>
#include <string>

#include <pugixml.hpp>

namespace folders {

// What LoadFolder reads for one folder.
struct FolderDefinition {
    std::string Name;           // the folder name asked for
    std::string ViewType;       // trimmed ViewType text, or empty
    std::string Layout;         // trimmed Layout text (a file in the application's etc folder), or empty
    bool EnableLookFor = true;  // the find function is offered for this folder
    std::string LookInTitle;    // the look-for title preselected, or the folder's first title
};

// Fills definition for folderName: the first Folder of that Name marked IsDefault "True", else
// the first Folder of that Name. Returns false (definition untouched) for an empty name, and,
// after telling the user, for a folder that is not defined. An unexpected failure is reported
// in the log and to the user, and also gives false.
bool LoadFolder(const std::string& folderName, const pugi::xml_document& doc, FolderDefinition& definition);

// The titles of the folder's look-for entries (or, when it has none, those of its
// LookForFolder) joined by ";" into titles, in file order; entries without Title are left out.
// Returns the zero-based position of the entry marked IsDefault "True" among the listed ones
// (the last such mark wins), 0 when none is marked or nothing is found.
int16_t GetLookInTitles(const pugi::xml_document& doc, const std::string& folderName, std::string& titles);

// The query text of the folder's look-for entry with that title, else of the folder's first
// entry with a Query, else the LookForFolder's; empty (after telling the user) when none exists.
std::string GetLookInQuery(const pugi::xml_document& doc, const std::string& folderName, const std::string& title);

// The whole text inside a node: its own text, or all text below an element joined in order.
std::string NodeText(const pugi::xml_node& node);

}  // namespace folders
