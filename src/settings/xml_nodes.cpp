#include "settings/xml_nodes.h"

#include <algorithm>

#include "engine/error.h"
#include "settings/xml_names.h"

namespace settings {

namespace {

constexpr const char* kRoot = "Data";
constexpr std::string_view kCdataMarker = "<![CDATA[";

// Adds the element names of one piece (a section or a key) to the path.
void AppendNames(std::vector<std::string>& path, const std::string& piece, bool allowNested) {
    if (!allowNested) {
        path.push_back(SanitizeName(piece, false));
        return;
    }
    // The whole piece is sanitized first and each name once more, so that a name inside the
    // path that begins with a digit ("A/1") still becomes an element name.
    const std::string whole = SanitizeName(piece, true);
    size_t start = 0;
    while (start <= whole.size()) {
        size_t end = whole.find('/', start);
        if (end == std::string::npos) end = whole.size();
        if (end > start) path.push_back(SanitizeName(whole.substr(start, end - start), true));
        start = end + 1;
    }
}

class StringWriter final : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

}  // namespace

std::vector<std::string> BuildNodePath(const std::string& section, const std::string& key, bool allowNested) {
    std::vector<std::string> path{kRoot};
    AppendNames(path, section, allowNested);
    if (!key.empty()) AppendNames(path, key, allowNested);
    for (const std::string& name : path)
        if (!IsXmlName(name)) throw engine::Error(engine::err::kBadArgument, "Not an element name: " + name);
    return path;
}

pugi::xml_node SelectNode(const pugi::xml_document& doc, const std::vector<std::string>& path) {
    pugi::xml_node node = doc;
    for (const std::string& name : path) {
        node = node.child(name.c_str());
        if (!node) break;
    }
    return node;
}

pugi::xml_node EnsureNode(pugi::xml_document& doc, const std::vector<std::string>& path) {
    pugi::xml_node node = doc;
    for (const std::string& name : path) {
        pugi::xml_node child = node.child(name.c_str());
        if (!child) {
            if (node == doc && doc.document_element())
                throw engine::Error(engine::err::kBadArgument, "The parameter file has another root element");
            child = node.append_child(name.c_str());
        }
        node = child;
    }
    return node;
}

std::string NodeText(pugi::xml_node node) {
    // XPath's string value: a text node's own text, else every text and CDATA node below, in
    // document order (pugixml walks the tree without recursion, so no nesting depth hurts).
    static const pugi::xpath_query stringValue("string(.)");
    return stringValue.evaluate_string(node);
}

void StoreValue(pugi::xml_node node, const std::string& value) {
    while (node.first_child()) node.remove_child(node.first_child());
    if (value.compare(0, kCdataMarker.size(), kCdataMarker) == 0)
        node.append_child(pugi::node_cdata).set_value(value.substr(kCdataMarker.size()).c_str());
    else if (!value.empty()) node.append_child(pugi::node_pcdata).set_value(value.c_str());
}

std::string SerializeDocument(const pugi::xml_document& doc) {
    StringWriter writer;
    doc.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    return writer.text;
}

pugi::xml_node NodeDeeperThan(const pugi::xml_node& root, int levels) {
    int depth = 1;
    for (pugi::xml_node node = root.first_child(); node;) {
        if (depth > levels) return node;
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (node != root && !node.next_sibling()) node = node.parent(), --depth;
        if (node == root) break;
        node = node.next_sibling();
    }
    return {};
}

}  // namespace settings
