// TableColumns: the catalogue's description of one table's columns, as ADO's column schema
// (adSchemaColumns) gives it: name, ADO type number, precision, scale and defined size. Used
// by callers that format values by column type (the statement builder).
#pragma once

#include <string>
#include <vector>

#include "engine/api/connection.h"

namespace engine::api {

inline constexpr int kAdSchemaColumns = 4;

struct ColumnInfo {
    std::string name;      // COLUMN_NAME: as the table (or its container) spells it
    int type = 0;          // DATA_TYPE: the ADO type number (field_types.h)
    int precision = 0;     // NUMERIC_PRECISION: digits of a number, the field width for N and F
    int scale = 0;         // NUMERIC_SCALE: decimals (255 where it has no meaning)
    long definedSize = 0;  // CHARACTER_MAXIMUM_LENGTH: characters for text, bytes otherwise
    bool nullable = false;
};

// The columns of table (any name the connection's statements accept) in table order. Opens
// the table for shared use and closes it again. Throws engine::Error: err::kNotOpen when the
// connection is closed, err::kUnknownTable naming the table when there is none.
std::vector<ColumnInfo> TableColumns(Connection& connection, const std::string& table);

// The column of that name (any case) in columns, or nullptr.
const ColumnInfo* FindColumn(const std::vector<ColumnInfo>& columns, const std::string& name);

}  // namespace engine::api
