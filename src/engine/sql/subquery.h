// Subqueries in conditions: x [NOT] IN (SELECT ...) and [NOT] EXISTS (SELECT ...). The query
// is bound with the expression and runs once, when the condition is first evaluated; it may
// not refer to the tables of the query around it.
#pragma once

#include "engine/sql/expression.h"

namespace engine::sql {

// Binds an Expr of kind kInQuery or kExists. Throws as binding a SELECT does, and kSyntax when
// the scope cannot run queries.
NodePtr BindSubquery(const Expr& e, const Scope& scope);

}  // namespace engine::sql
