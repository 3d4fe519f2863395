// The rows a SELECT produces: column descriptors, rows of values and, for a SELECT whose
// columns are all plain fields of its table, where each row and column came from, so that a
// recordset can write changes back to the table.
#pragma once

#include <string>
#include <vector>

#include "engine/sql/table_access.h"
#include "engine/value.h"

namespace engine::sql {

struct ResultSet {
    // Column names: a field keeps its table name in lower case, an aliased expression its
    // alias as written, any other expression "Exp_" and its column number from 1.
    std::vector<FieldInfo> fields;
    std::vector<std::vector<Value>> rows;

    // The table as the statement named it.
    std::string sourceTable;
    // Per column: the index of the source field, or -1 for a computed column.
    std::vector<int> sourceFields;
    // Per row: the source record number. Filled only when every column is a plain field
    // (updatable); empty otherwise.
    std::vector<RecordNumber> sourceRecords;
    bool updatable = false;

    bool Updatable() const { return updatable; }
};

}  // namespace engine::sql
