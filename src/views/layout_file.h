// Layout files (etc/*.lyt): a record grid's design as XML. A layout holds the columns (with
// identity, position, caption, data field, visibility, width in twips, format and type), the
// groups and sort keys, the fonts, the fourteen colours, the switches and sizes, and the
// record source: a SELECT and the connection it runs on (attribute "databasename").
//
//   <GridLayout version="1">
//     <RecordSource databasename="..."><Sql>SELECT ...</Sql></RecordSource>
//     <Look View="0" GridLines="-1" .../>
//     <Font Name="Tahoma" Size="8.25" .../>  <ColumnHeaderFont .../>
//     <Colors ForeColor="0x00000000" .../>
//     <Columns><Column Index="1" Position="1" Caption="..." DataField="..." .../></Columns>
//     <Groups><Group ColIndex="2" SortOrder="1"/></Groups>
//     <SortKeys><SortKey ColIndex="2" SortOrder="1"/></SortKeys>
//   </GridLayout>
//
// Writing is deterministic, so equal texts mean equal layouts. Missing elements and
// attributes take the defaults of an empty grid.
#pragma once

#include <string>

namespace views {

class GridViewModel;

// The layout of a grid as text.
std::string WriteLayout(const GridViewModel& grid);
// Replaces the grid's layout with the one in the text; the grid is untouched when the text is
// not a layout. Throws engine::Error.
void ReadLayout(GridViewModel& grid, const std::string& text);

// Whole file as text. Throws engine::Error when it cannot be read.
std::string ReadLayoutFile(const std::string& path);
// Writes the text to a file beside the target and renames it into place, so that a failure
// never leaves half a layout. Throws engine::Error.
void WriteLayoutFile(const std::string& path, const std::string& text);

}  // namespace views
