#include "views/layout_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <utility>

#include <pugixml.hpp>

#include "engine/error.h"
#include "views/grid_view_model.h"

namespace views {

namespace {

constexpr const char* kRoot = "GridLayout";

std::string NumberText(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

std::string ColorText(OleColor color) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(color));
    return buffer;
}

void WriteFont(pugi::xml_node node, const GridFont& font) {
    node.append_attribute("Name") = font.Name.c_str();
    node.append_attribute("Size") = NumberText(font.Size).c_str();
    node.append_attribute("Bold") = font.Bold;
    node.append_attribute("Italic") = font.Italic;
    node.append_attribute("Underline") = font.Underline;
    node.append_attribute("Strikethrough") = font.Strikethrough;
}

GridFont ReadFont(pugi::xml_node node) {
    GridFont font;
    font.Name = node.attribute("Name").as_string(font.Name.c_str());
    font.Size = node.attribute("Size").as_double(font.Size);
    font.Bold = node.attribute("Bold").as_bool();
    font.Italic = node.attribute("Italic").as_bool();
    font.Underline = node.attribute("Underline").as_bool();
    font.Strikethrough = node.attribute("Strikethrough").as_bool();
    return font;
}

void WriteEntries(pugi::xml_node list, const char* name, const GridGroups& entries) {
    for (const GridGroup& entry : entries.All()) {
        pugi::xml_node node = list.append_child(name);
        node.append_attribute("ColIndex") = entry.ColIndex;
        node.append_attribute("SortOrder") = entry.SortOrder;
    }
}

void ReadEntries(pugi::xml_node list, const char* name, GridGroups& entries) {
    entries.Clear();
    for (pugi::xml_node node : list.children(name)) {
        entries.Add(static_cast<int16_t>(node.attribute("ColIndex").as_int()), node.attribute("SortOrder").as_int(1));
    }
}

}  // namespace

std::string WriteLayout(const GridViewModel& grid) {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = doc.append_child(kRoot);
    root.append_attribute("version") = 1;

    pugi::xml_node source = root.append_child("RecordSource");
    source.append_attribute("databasename") = grid.ConnectionString().c_str();
    source.append_child("Sql").append_child(pugi::node_pcdata).set_value(grid.RecordSourceSql().c_str());

    pugi::xml_node look = root.append_child("Look");
    look.append_attribute("View") = grid.View();
    look.append_attribute("GridLines") = grid.GridLines();
    look.append_attribute("UseEvenOddColor") = grid.UseEvenOddColor();
    look.append_attribute("RecordNavigator") = grid.RecordNavigator();
    look.append_attribute("AllowRowSizing") = grid.AllowRowSizing();
    look.append_attribute("GroupByBoxVisible") = grid.GroupByBoxVisible();
    look.append_attribute("AllowEdit") = grid.AllowEdit();
    look.append_attribute("AllowAddNew") = grid.AllowAddNew();
    look.append_attribute("MultiSelect") = grid.MultiSelect();
    look.append_attribute("RowHeight") = grid.RowHeight();
    look.append_attribute("ColumnHeaderHeight") = grid.ColumnHeaderHeight();
    look.append_attribute("CardWidth") = grid.CardWidth();

    WriteFont(root.append_child("Font"), grid.Font());
    WriteFont(root.append_child("ColumnHeaderFont"), grid.ColumnHeaderFont());

    pugi::xml_node colors = root.append_child("Colors");
    for (int i = 0; i < kColorAreaCount; ++i) {
        colors.append_attribute(kColorAreas[i].name) = ColorText(grid.Color(static_cast<ColorArea>(i))).c_str();
    }

    pugi::xml_node columns = root.append_child("Columns");
    for (int index = 1; index <= grid.Columns().Count(); ++index) {
        const GridColumn& column = grid.Columns().Item(index);
        pugi::xml_node node = columns.append_child("Column");
        node.append_attribute("Index") = column.Index();
        node.append_attribute("Position") = column.ColPosition();
        node.append_attribute("Caption") = column.Caption().c_str();
        node.append_attribute("DataField") = column.DataField().c_str();
        node.append_attribute("Visible") = column.Visible();
        node.append_attribute("Width") = column.Width();
        node.append_attribute("Format") = column.Format().c_str();
        node.append_attribute("ColumnType") = column.ColumnType();
    }
    WriteEntries(root.append_child("Groups"), "Group", grid.Groups());
    WriteEntries(root.append_child("SortKeys"), "SortKey", grid.SortKeys());

    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

void ReadLayout(GridViewModel& grid, const std::string& text) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size());
    if (!parsed) {
        throw engine::Error(engine::err::kSyntax, std::string("The layout is not valid XML: ") + parsed.description() +
                                                      " at offset " + std::to_string(parsed.offset) + ".");
    }
    const pugi::xml_node root = doc.child(kRoot);
    if (!root) throw engine::Error(engine::err::kSyntax, "The text is not a grid layout.");

    grid.ResetLayout();
    const pugi::xml_node source = root.child("RecordSource");
    grid.SetConnectionString(source.attribute("databasename").as_string());
    grid.SetRecordSourceSql(source.child("Sql").text().as_string());

    const pugi::xml_node look = root.child("Look");
    grid.SetView(look.attribute("View").as_int(grid.View()));
    grid.SetGridLines(look.attribute("GridLines").as_int(grid.GridLines()));
    grid.SetUseEvenOddColor(look.attribute("UseEvenOddColor").as_bool(grid.UseEvenOddColor()));
    grid.SetRecordNavigator(look.attribute("RecordNavigator").as_bool(grid.RecordNavigator()));
    grid.SetAllowRowSizing(look.attribute("AllowRowSizing").as_bool(grid.AllowRowSizing()));
    grid.SetGroupByBoxVisible(look.attribute("GroupByBoxVisible").as_bool(grid.GroupByBoxVisible()));
    grid.SetAllowEdit(look.attribute("AllowEdit").as_bool(grid.AllowEdit()));
    grid.SetAllowAddNew(look.attribute("AllowAddNew").as_bool(grid.AllowAddNew()));
    grid.SetMultiSelect(look.attribute("MultiSelect").as_bool(grid.MultiSelect()));
    grid.SetRowHeight(look.attribute("RowHeight").as_int(grid.RowHeight()));
    grid.SetColumnHeaderHeight(look.attribute("ColumnHeaderHeight").as_int(grid.ColumnHeaderHeight()));
    grid.SetCardWidth(look.attribute("CardWidth").as_int(grid.CardWidth()));

    if (const pugi::xml_node font = root.child("Font")) grid.SetFont(ReadFont(font));
    if (const pugi::xml_node font = root.child("ColumnHeaderFont")) grid.SetColumnHeaderFont(ReadFont(font));

    const pugi::xml_node colors = root.child("Colors");
    for (int i = 0; i < kColorAreaCount; ++i) {
        const pugi::xml_attribute attribute = colors.attribute(kColorAreas[i].name);
        if (attribute) grid.SetColor(static_cast<ColorArea>(i), attribute.as_uint());
    }

    // Columns are created in Index order, then put at their positions from the first on.
    std::map<int, pugi::xml_node> byIndex;
    int next = 1;
    for (pugi::xml_node node : root.child("Columns").children("Column")) {
        byIndex.emplace(node.attribute("Index").as_int(1000 + next), node);
        ++next;
    }
    // By position, then by index among columns that claim the same position.
    std::map<std::pair<int, int>, GridColumn*> byPosition;
    for (const auto& [index, node] : byIndex) {
        GridColumn& column =
            grid.Columns().Add(node.attribute("Caption").as_string(), node.attribute("DataField").as_string());
        column.SetVisible(node.attribute("Visible").as_bool(true));
        column.SetWidth(node.attribute("Width").as_int(column.Width()));
        column.SetFormat(node.attribute("Format").as_string());
        column.SetColumnType(node.attribute("ColumnType").as_int());
        byPosition.emplace(std::pair{node.attribute("Position").as_int(column.Index()), int{column.Index()}}, &column);
    }
    int position = 1;
    for (const auto& [key, column] : byPosition) column->SetColPosition(static_cast<int16_t>(position++));

    ReadEntries(root.child("Groups"), "Group", grid.Groups());
    ReadEntries(root.child("SortKeys"), "SortKey", grid.SortKeys());
}

std::string ReadLayoutFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw engine::Error(engine::err::kFileNotFound, "File '" + path + "' does not exist.");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw engine::Error(engine::err::kFileAccess, "Cannot read the file '" + path + "'.");
    return text.str();
}

void WriteLayoutFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw engine::Error(engine::err::kFileAccess, "Cannot write the file '" + path + "'.");
        }
    }
    std::error_code failed;
    std::filesystem::rename(temporary, path, failed);
    if (failed) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw engine::Error(engine::err::kFileAccess, "Cannot write the file '" + path + "': " + failed.message());
    }
}

}  // namespace views
