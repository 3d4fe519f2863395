// Aggregate functions of SELECT (COUNT(*), COUNT([DISTINCT] x), SUM, AVG, MIN, MAX): finding
// them in the select list, HAVING and ORDER BY, and accumulating their values per group.
// An expression that holds aggregates is rewritten so that each becomes a hidden field that
// follows the group's row; the rewritten expression is then bound as any other.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/sql/expression.h"

namespace engine::sql {

struct AggregateCall {
    enum class Fn { kCountAll, kCount, kSum, kAvg, kMin, kMax };
    Fn fn = Fn::kCountAll;
    bool distinct = false;
    NodePtr arg;      // over the source row; null for COUNT(*)
    FieldInfo field;  // the hidden field holding the result
};

// True when the expression holds an aggregate call anywhere but in a subquery.
bool HasAggregate(const Expr& e);
// A deep copy of e with every aggregate call replaced by the name of a hidden field; the
// aggregates are bound against source and added to calls. Throws as Bind does.
ExprPtr ExtractAggregates(const Expr& e, const Scope& source, std::vector<AggregateCall>& calls);
// The column name FoxPro gives an aggregate of a plain field (cnt, sum_amount, ...), or "".
std::string AggregateColumnName(const Expr& e);

// The running state of one aggregate for one group.
class Accumulator {
public:
    explicit Accumulator(const AggregateCall* call) : m_call(call) {}
    void Add(const RowView& row);
    Value Result() const;

private:
    const AggregateCall* m_call;
    int64_t m_count = 0;
    int64_t m_wholeSum = 0;
    double m_sum = 0;
    // Only MIN, MAX and DISTINCT need more; the rest stay small, as a query may hold many
    // groups at once.
    struct Extra {
        Value best;                            // MIN, MAX
        std::unordered_set<std::string> seen;  // DISTINCT
    };
    std::unique_ptr<Extra> m_extra;
};

}  // namespace engine::sql
