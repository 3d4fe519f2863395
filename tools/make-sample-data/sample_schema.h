// The tables of the demo practice database: the eight patient tables, the reference tables and
// the password table, with realistic fields of every type the engine stores.
#pragma once

#include <string>
#include <vector>

#include "engine/cdx/structural_index.h"
#include "engine/dbf/table_header.h"

namespace sample {

struct TableDef {
    std::string name;  // the table's name in the container; the file is name + ".dbf"
    std::vector<engine::FieldSpec> fields;
    std::vector<engine::cdx::TagSpec> tags;  // the tags of its structural index
};

const std::vector<TableDef>& Tables();

// The stored form of a password: each character's code minus 30, as two digits.
std::string EncodePassword(const std::string& plain);

}  // namespace sample
