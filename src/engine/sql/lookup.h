// Finds the records worth reading for a condition: when the condition is a conjunction with a
// part "field = constant", the table's index (TableAccess::LookupEqual) names the candidates,
// so a search by key reads only the records with that key.
#pragma once

#include <optional>
#include <vector>

#include "engine/sql/expression.h"

namespace engine::sql {

// Sorted, distinct candidate record numbers, or nullopt when every record must be read.
std::optional<std::vector<RecordNumber>> CandidateRecords(TableAccess& table, const Node* where);

}  // namespace engine::sql
