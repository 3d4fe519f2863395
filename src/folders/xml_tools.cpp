#include "folders/xml_tools.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "common/product.h"
#include "common/ui.h"
#include "engine/ascii_case.h"

namespace folders {

namespace {

constexpr const char* kAppTitle = "Archive";

// Paths over the document. Names and titles travel as variables, so any text matches literally.
constexpr const char* kDefaultFolderPath = "Data/Folder[Name=$name and IsDefault=\"True\"]";
constexpr const char* kFolderPath = "Data/Folder[Name=$name]";
constexpr const char* kLookInPath = "Data/LookIn[Folder=$name]";
constexpr const char* kTitledQueryPath = "Data/LookIn[Folder=$name and Title=$title]/Query";
constexpr const char* kFirstQueryPath = "Data/LookIn[Folder=$name]/Query";

void Malfunction(const std::string& where) {
    ui::MsgBox("Folders/LookFor database is malfunctioning (" + where + ").  Contact support.", ui::Icon::Exclamation,
               kAppTitle);
}

class Finder {
public:
    explicit Finder(const pugi::xml_document& doc) : m_doc(doc) {
        m_vars.add("name", pugi::xpath_type_string);
        m_vars.add("title", pugi::xpath_type_string);
    }

    pugi::xml_node First(const char* path, const std::string& name, const std::string& title = {}) {
        Bind(name, title);
        const pugi::xpath_query query(path, &m_vars);
        return m_doc.select_node(query).node();
    }

    pugi::xpath_node_set All(const char* path, const std::string& name) {
        Bind(name, {});
        const pugi::xpath_query query(path, &m_vars);
        return m_doc.select_nodes(query);
    }

private:
    void Bind(const std::string& name, const std::string& title) {
        m_vars.set("name", name.c_str());
        m_vars.set("title", title.c_str());
    }

    const pugi::xml_document& m_doc;
    pugi::xpath_variable_set m_vars;
};

std::string Trim(const std::string& text) {
    const auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

// The look-for query of one folder: the titled entry's Query, else the first Query of the folder.
pugi::xml_node QueryOf(Finder& finder, const std::string& folderName, const std::string& title) {
    pugi::xml_node query = finder.First(kTitledQueryPath, folderName, title);
    if (!query) query = finder.First(kFirstQueryPath, folderName);
    return query;
}

}  // namespace

std::string NodeText(const pugi::xml_node& node) {
    // XPath's string value: a text node's own text, else every text and CDATA node below, in
    // document order (pugixml walks the tree without recursion, so no nesting depth hurts).
    static const pugi::xpath_query stringValue("string(.)");
    return stringValue.evaluate_string(node);
}

bool LoadFolder(const std::string& folderName, const pugi::xml_document& doc, FolderDefinition& definition) {
    if (folderName.empty()) return false;
    try {
        Finder finder(doc);
        pugi::xml_node folder = finder.First(kDefaultFolderPath, folderName);
        if (!folder) folder = finder.First(kFolderPath, folderName);
        if (!folder) {
            Malfunction("Get");
            return false;
        }
        definition.Name = folderName;
        definition.ViewType = Trim(NodeText(folder.child("ViewType")));
        definition.Layout = Trim(NodeText(folder.child("Layout")));
        const pugi::xml_node enable = folder.child("EnableLookFor");
        definition.EnableLookFor = !enable || engine::AsciiUpper(NodeText(enable)) == "TRUE";
        if (const pugi::xml_node lookInTitle = folder.child("LookInTitle")) {
            definition.LookInTitle = NodeText(lookInTitle);
        } else {
            std::string titles;
            GetLookInTitles(doc, folderName, titles);
            definition.LookInTitle = titles.substr(0, titles.find(';'));
        }
        return true;
    } catch (const std::exception&) {
    } catch (...) {
    }
    product::ReportError("xmlTools", "LoadFolder", "Error in LoadFolder.  Please contact your support analyst.", true);
    return false;
}

int16_t GetLookInTitles(const pugi::xml_document& doc, const std::string& folderName, std::string& titles) {
    titles.clear();
    int16_t result = 0;
    try {
        Finder finder(doc);
        pugi::xpath_node_set entries = finder.All(kLookInPath, folderName);
        if (entries.empty()) {
            const pugi::xml_node folder = finder.First(kFolderPath, folderName);
            if (!folder) {
                Malfunction("Get 1");
                return 0;
            }
            const pugi::xml_node lookForFolder = folder.child("LookForFolder");
            if (!lookForFolder) {
                Malfunction("Get 2");
                return 0;
            }
            entries = finder.All(kLookInPath, NodeText(lookForFolder));
            if (entries.empty()) {
                Malfunction("Get 3");
                return 0;
            }
        }
        int16_t counter = 0;
        for (const pugi::xpath_node& entry : entries) {
            const pugi::xml_node title = entry.node().child("Title");
            if (!title) continue;
            if (counter > 0) titles += ";";
            titles += NodeText(title);
            const pugi::xml_node isDefault = entry.node().child("IsDefault");
            if (isDefault && NodeText(isDefault) == "True") result = counter;
            ++counter;
        }
    } catch (...) {
        // A failure leaves what was gathered so far; the caller sees a short or empty list.
    }
    return result;
}

std::string GetLookInQuery(const pugi::xml_document& doc, const std::string& folderName, const std::string& title) {
    try {
        Finder finder(doc);
        pugi::xml_node query = QueryOf(finder, folderName, title);
        if (!query) {
            // Entries of the folder without any Query: the first entry's own text stands for it.
            if (const pugi::xml_node entry = finder.First(kLookInPath, folderName)) return NodeText(entry);
            const pugi::xml_node folder = finder.First(kFolderPath, folderName);
            if (!folder) {
                Malfunction("Query 1");
                return {};
            }
            const pugi::xml_node lookForFolder = folder.child("LookForFolder");
            if (!lookForFolder) {
                Malfunction("Query 2");
                return {};
            }
            query = QueryOf(finder, NodeText(lookForFolder), title);
            if (!query) {
                Malfunction("Query 3");
                return {};
            }
        }
        return NodeText(query);
    } catch (...) {
        return {};
    }
}

}  // namespace folders
