// How foxsql writes values: JSON (one object per row, field names in lower case, null as null,
// logicals true/false, numbers as numbers, text with its trailing blanks, dates "YYYY-MM-DD",
// date-times "YYYY-MM-DDTHH:MM:SS", an empty date or date-time as null, a date or date-time
// whose stored bytes hold no possible value as {"damaged": "date"} or {"damaged": "datetime"},
// numbers too wide for a double with all their digits, binary values as {"hex": "0a1b..."})
// and aligned plain text for the table view, written row by row as rows are read.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "engine/sql/table_access.h"
#include "engine/value.h"

namespace foxsql {

std::string JsonValue(const engine::Value& value);
// {"name": value, ...} with the names in lower case, in field order.
std::string JsonRow(const std::vector<engine::sql::FieldInfo>& fields, const std::vector<engine::Value>& row);
// The value as a table cell: as in JSON but without quotes, null as ".NULL.", logicals
// ".T."/".F.", binary as hex digits, a damaged date or date-time as "(damaged)". Text keeps
// its trailing blanks.
std::string CellText(const engine::Value& value);
// The width of a column in the aligned table, from its field definition (the field's length
// for text and numbers, the longest form of other types) and at least its name.
size_t ColumnWidth(const engine::sql::FieldInfo& field);

// Writes rows as an aligned table as they come: a header line and a rule, then one line per
// row. Column widths come from the field definitions, so nothing waits for the last row; a
// longer value (a memo) makes its line longer.
class AlignedWriter {
public:
    AlignedWriter(const std::vector<engine::sql::FieldInfo>& fields, std::ostream& out);
    void Header();
    void Row(const std::vector<engine::Value>& row);

private:
    void Emit(const std::vector<std::string>& line, bool header);  // names left-aligned, numbers right
    std::vector<engine::sql::FieldInfo> m_fields;
    std::ostream& m_out;
    std::vector<size_t> m_widths;
};

}  // namespace foxsql
