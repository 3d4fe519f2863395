#include "engine/sql/index_order.h"

#include <algorithm>

#include "engine/error.h"
#include "engine/sql/lexer.h"
#include "engine/sql/parser.h"

namespace engine::sql {
namespace {

// Whether two parsed expressions say the same thing (names without regard to case; a
// qualifier can only name the one table).
bool SameExpr(const Expr& a, const Expr& b) {
    if (a.kind != b.kind || a.op != b.op || a.negated != b.negated || a.star != b.star || a.distinct != b.distinct ||
        a.args.size() != b.args.size() || !EqualsNoCase(a.name, b.name))
        return false;
    if (a.kind == Expr::Kind::kLiteral) {
        if (a.value.IsNull() != b.value.IsNull()) return false;
        if (!a.value.IsNull()) {
            const auto c = Compare(a.value, b.value, true);
            if (!c || *c != 0 || KindOfValue(a.value) != KindOfValue(b.value)) return false;
        }
    }
    for (size_t i = 0; i < a.args.size(); ++i) {
        if (!SameExpr(*a.args[i], *b.args[i])) return false;
    }
    return !a.query && !b.query;
}

}  // namespace

std::string MatchingOrderTag(TableAccess& table, const Scope& scope, const Node& key, const Expr* written) {
    for (const std::string& tag : table.OrderTags()) {
        ExprPtr parsed;
        NodePtr bound;
        try {
            parsed = ParseExpression(tag);
            bound = Bind(*parsed, scope);
        } catch (const Error&) {
            continue;  // a key this dialect does not read cannot be matched
        }
        if (key.shape == Node::Shape::kField && bound->shape == Node::Shape::kField &&
            static_cast<const FieldNode&>(key).index == static_cast<const FieldNode&>(*bound).index)
            return tag;
        if (written && key.shape != Node::Shape::kField && SameExpr(*written, *parsed)) return tag;
    }
    return {};
}

std::optional<std::vector<RecordNumber>> RecordsInOrder(TableAccess& table, const std::string& tag) {
    auto records = table.RecordsInTagOrder(tag);
    if (!records) return std::nullopt;
    // Entries past the record count belong to rows appended since it was read: left out, as
    // a scan leaves them out. Every other record must appear once.
    const RecordNumber count = table.RecordCount();
    std::vector<bool> seen(count, false);
    size_t kept = 0;
    for (RecordNumber n : *records) {
        if (n >= count) continue;
        if (seen[n]) return std::nullopt;
        seen[n] = true;
        (*records)[kept++] = n;
    }
    if (kept != count) return std::nullopt;
    records->resize(kept);
    return records;
}

std::vector<size_t> RowsInTagOrder(const std::vector<RecordNumber>& tagOrder, const std::vector<RecordNumber>& records,
                                   RecordNumber count, bool descending) {
    std::vector<uint32_t> row(count, UINT32_MAX);
    for (size_t i = 0; i < records.size(); ++i) row[records[i]] = static_cast<uint32_t>(i);
    std::vector<size_t> order;
    order.reserve(records.size());
    for (RecordNumber n : tagOrder) {
        if (n < count && row[n] != UINT32_MAX) order.push_back(row[n]);
    }
    if (descending) std::reverse(order.begin(), order.end());
    return order;
}

std::optional<std::vector<size_t>> SettleTagOrder(const std::function<const Value&(size_t)>& key,
                                                  const std::vector<RecordNumber>& records, bool descending,
                                                  std::vector<size_t> order) {
    if (order.size() != records.size()) return std::nullopt;
    size_t runStart = 0;
    for (size_t i = 1; i <= order.size(); ++i) {
        if (i < order.size()) {
            int cmp = OrderCompare(key(order[i - 1]), key(order[i]));
            if (descending) cmp = -cmp;
            if (cmp > 0) return std::nullopt;  // out of order: the tag does not sort as the values do
            if (cmp == 0) continue;
        }
        // The run [runStart, i) holds equal keys: the sort keeps them in record order.
        std::sort(order.begin() + static_cast<std::ptrdiff_t>(runStart), order.begin() + static_cast<std::ptrdiff_t>(i),
                  [&](size_t x, size_t y) { return records[x] < records[y]; });
        runStart = i;
    }
    return order;
}

}  // namespace engine::sql
