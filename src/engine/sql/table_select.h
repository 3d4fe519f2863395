// SELECT over one table without grouping, joins or subqueries: binding its columns and ORDER
// BY (taking a tag's order where one fits), and reading its rows whole or one at a time. Also
// the pieces every statement on one table shares: the table as bound, reopened at run time,
// and the walk over the records that meet a condition.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/executor.h"
#include "engine/sql/expression.h"
#include "engine/sql/lookup.h"
#include "engine/sql/parser.h"

namespace engine::sql {

// A table named by a statement: where to find it again at run time and its fields as bound.
struct BoundTable {
    TableRef ref;
    OpenMode mode = OpenMode::kShared;
    std::vector<FieldInfo> fields;
};

BoundTable BindTable(const TableRef& ref, const Settings& settings, Session& session);
// The table again for running; throws kCorruptTable when its structure changed since binding.
std::unique_ptr<TableAccess> Reopen(const BoundTable& t, Session& session);
Scope ScopeOf(const BoundTable& t, Session& session);
// The bound WHERE condition, or null without one. Throws kTypeMismatch unless it is logical.
NodePtr BindCondition(const ExprPtr& where, const Scope& scope);

struct SortKey {
    int column = -1;  // a result column, or -1 for expr over the source record
    NodePtr expr;
    bool descending = false;
};

struct BoundSelect {
    BoundTable table;
    std::vector<NodePtr> columns;
    std::vector<FieldInfo> fields;
    std::vector<int> sourceFields;
    NodePtr where;
    std::vector<SortKey> order;
    std::string orderTag;  // the key expression of a tag that gives the order, or empty
};

BoundSelect BindSelect(const SelectStmt& s, const Settings& settings, Session& session);
// All the rows of the select, in its order.
ResultSet RunSelect(const BoundSelect& b, Session& session);
// The rows of a select without ORDER BY, read as they are asked for.
std::unique_ptr<RowCursor> SelectRows(BoundSelect b, Session& session);
// Hands out rows already collected.
std::unique_ptr<RowCursor> HeldRows(ResultSet rows);

// Calls fn(record number, record) for every record that is visible and meets the condition,
// in record order. Uses the table's index for a "field = constant" part of the condition.
template <class Fn>
void ForEachMatch(TableAccess& table, const Node* where, const Settings& settings, Fn fn) {
    Record record;
    auto visit = [&](RecordNumber n) {
        table.Read(n, record);
        if (record.deleted && settings.deleted) return;
        if (where && !IsTrue(where->Eval(RowView{&record.values, record.deleted, n}))) return;
        fn(n, record);
    };
    const RecordNumber count = table.RecordCount();
    if (auto candidates = CandidateRecords(table, where)) {
        for (RecordNumber n : *candidates) {
            if (n < count) visit(n);
        }
        return;
    }
    for (RecordNumber n = 0; n < count; ++n) visit(n);
}

}  // namespace engine::sql