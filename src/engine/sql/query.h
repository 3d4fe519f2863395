// SELECT beyond one table read in record order: joins, aggregates with GROUP BY and HAVING,
// DISTINCT, TOP n [PERCENT], UNION [ALL] and subqueries. Such a query is bound once (tables
// opened for their fields, names and types checked) and computes all its rows when run.
// The executor hands plain single-table SELECTs to its own streaming path.
#pragma once

#include <memory>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/result_set.h"
#include "engine/sql/session.h"

namespace engine::sql {

struct BoundQuery;

// True when the SELECT uses anything the plain single-table path does not do.
bool NeedsQueryPlan(const SelectStmt& s);
// Throws engine::Error as binding any statement does.
std::shared_ptr<BoundQuery> BindQuery(const SelectStmt& s, const Settings& settings, Session& session);
const std::vector<FieldInfo>& QueryFields(const BoundQuery& query);
// Throws what the tables raise and the evaluation errors of the expressions.
ResultSet RunQuery(const BoundQuery& query, Session& session);

}  // namespace engine::sql
