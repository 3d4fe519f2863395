// ORDER BY answered from the structural index: when a query is sorted by exactly one key that
// is a tag's key expression, the rows (read in record order) are put in the tag's order instead
// of being sorted. The tag's order is taken on trust only after it has been checked against the
// values read (a linear pass), so the rows come out exactly as the sort would give them:
// ascending or descending by the key, equal keys in record order; when the check fails the
// caller sorts as usual.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/expression.h"

namespace engine::sql {

// The key expression of a tag of table that orders by the sort key, or empty. key is the bound
// sort key; written is the ORDER BY expression as written, or null when it names a result
// column (then only a key that is one field is matched).
std::string MatchingOrderTag(TableAccess& table, const Scope& scope, const Node& key, const Expr* written);

// The table's records in the tag's order, or nullopt when the tag does not list every record
// below the table's record count exactly once.
std::optional<std::vector<RecordNumber>> RecordsInOrder(TableAccess& table, const std::string& tag);

// Rows were read in record order (records[i] is the record of row i, at most count records):
// the rows in the order of tagOrder (RecordsInOrder), reversed for a descending sort.
std::vector<size_t> RowsInTagOrder(const std::vector<RecordNumber>& tagOrder, const std::vector<RecordNumber>& records,
                                   RecordNumber count, bool descending);

// key(i) is the sort key of row i and records[i] its record; order lists the rows in the tag's
// order (RowsInTagOrder). Puts each run of equal keys in record order and returns the rows'
// order, or nullopt when the keys do not follow the sort (the caller sorts).
std::optional<std::vector<size_t>> SettleTagOrder(const std::function<const Value&(size_t)>& key,
                                                  const std::vector<RecordNumber>& records, bool descending,
                                                  std::vector<size_t> order);

}  // namespace engine::sql
