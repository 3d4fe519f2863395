// How foxsql writes values: JSON (one object per row, field names in lower case, null as null,
// logicals true/false, numbers as numbers, text with its trailing blanks, dates "YYYY-MM-DD",
// date-times "YYYY-MM-DDTHH:MM:SS", an empty date or date-time as null, binary values as
// {"hex": "0a1b..."}) and aligned plain text for the table view.
#pragma once

#include <string>
#include <vector>

#include "engine/sql/table_access.h"
#include "engine/value.h"

namespace foxsql {

std::string JsonValue(const engine::Value& value);
// {"name": value, ...} with the names in lower case, in field order.
std::string JsonRow(const std::vector<engine::sql::FieldInfo>& fields, const std::vector<engine::Value>& row);
// The value as a table cell: as in JSON but without quotes, null as ".NULL.", logicals
// ".T."/".F.", binary as hex digits. Text keeps its trailing blanks.
std::string CellText(const engine::Value& value);
// The rows as an aligned table: a header line, a rule, one line per row.
std::string AlignedTable(const std::vector<engine::sql::FieldInfo>& fields,
                         const std::vector<std::vector<engine::Value>>& rows);

}  // namespace foxsql
