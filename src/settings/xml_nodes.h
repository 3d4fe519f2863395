// Element paths of the parameter file over a pugixml document: building the path of a
// setting, finding and creating its element, reading and storing its value, and locating a
// parse error as line and position. Used by CXMLReg only.
#pragma once

#include <string>
#include <vector>

#include <pugixml.hpp>

namespace settings {

// The element names from the document down to a setting: "Data", the section, then the key
// when it is not empty, each sanitized. With allowNested, "/" in section or key splits it
// into nested names and empty pieces are skipped. Throws engine::Error (kBadArgument) when
// a name cannot be an element name even after sanitizing.
std::vector<std::string> BuildNodePath(const std::string& section, const std::string& key, bool allowNested);

// The first element along the path, or an empty node.
pugi::xml_node SelectNode(const pugi::xml_document& doc, const std::vector<std::string>& path);

// The element along the path, creating each missing one. Throws engine::Error
// (kBadArgument) when the document already has another root element.
pugi::xml_node EnsureNode(pugi::xml_document& doc, const std::vector<std::string>& path);

// The text of an element: all its text and CDATA content, nested elements included, in order.
std::string NodeText(pugi::xml_node node);

// Replaces the element's content by the value: a CDATA section holding the rest of the text
// when the value begins with "<![CDATA[", else plain text (nothing for an empty value).
void StoreValue(pugi::xml_node node, const std::string& value);

// The text of the document as it is written to the parameter file.
std::string SerializeDocument(const pugi::xml_document& doc);

// The first node (in document order) more than levels below root, or an empty node. Walks
// without recursion, so any depth is safe.
pugi::xml_node NodeDeeperThan(const pugi::xml_node& root, int levels);

}  // namespace settings
