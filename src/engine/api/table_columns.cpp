#include "engine/api/table_columns.h"

#include "engine/api/dbf_table_provider.h"
#include "engine/api/field_types.h"
#include "engine/ascii_case.h"

namespace engine::api {

std::vector<ColumnInfo> TableColumns(Connection& connection, const std::string& table) {
    const auto& core = connection.Core();
    const auto access = core->provider->OpenTable(table, sql::OpenMode::kShared);
    std::vector<ColumnInfo> columns;
    for (const sql::FieldInfo& f : access->Fields())
        columns.push_back({f.name, AdoType(f), Precision(f), NumericScale(f), DefinedSize(f), f.nullable});
    return columns;
}

const ColumnInfo* FindColumn(const std::vector<ColumnInfo>& columns, const std::string& name) {
    const std::string wanted = AsciiUpper(name);
    for (const ColumnInfo& c : columns)
        if (AsciiUpper(c.name) == wanted) return &c;
    return nullptr;
}

}  // namespace engine::api
