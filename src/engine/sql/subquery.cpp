#include "engine/sql/subquery.h"

#include <unordered_set>

#include "engine/sql/query.h"
#include "engine/sql/sql_errors.h"
#include "engine/sql/row_key.h"
#include "engine/sql/session.h"

namespace engine::sql {
namespace {

std::string At(size_t pos) { return " at position " + std::to_string(pos + 1); }

class SubqueryNode : public Node {
public:
    Value Eval(const RowView& row) const override {
        if (!m_ran) {
            const ResultSet result = RunQuery(*query, *session);
            m_any = !result.rows.empty();
            for (const auto& r : result.rows) {
                if (r[0].IsNull()) m_hasNull = true;
                else m_keys.insert(RowKey({r[0]}));
            }
            m_ran = true;
        }
        if (!test) return m_any != negated;
        const Value v = test->Eval(row);
        if (v.IsNull()) return Value();
        if (m_keys.count(RowKey({v}))) return !negated;
        if (m_hasNull) return Value();
        return negated;
    }
    std::shared_ptr<BoundQuery> query;
    Session* session = nullptr;
    NodePtr test;  // IN: the value looked for; EXISTS: null
    bool negated = false;

private:
    mutable bool m_ran = false;
    mutable bool m_any = false;
    mutable bool m_hasNull = false;
    mutable std::unordered_set<std::string> m_keys;
};

}  // namespace

NodePtr BindSubquery(const Expr& e, const Scope& scope) {
    const char* what = e.kind == Expr::Kind::kExists ? "EXISTS (SELECT ...)" : "IN (SELECT ...)";
    if (!scope.session) throw Error(engine::err::kSyntax, std::string(what) + " is not supported here" + At(e.pos));
    auto node = std::make_unique<SubqueryNode>();
    node->session = scope.session;
    node->negated = e.negated;
    if (e.kind == Expr::Kind::kInQuery) node->test = Bind(*e.args[0], scope);
    try {
        node->query = BindQuery(*e.query, scope.session->Options(), *scope.session);
    } catch (const Error& error) {
        if (error.Number() != engine::err::kUnknownField) throw;
        throw Error(error.Number(), error.Description() + " in the subquery" + At(e.pos) +
                                        " (a subquery that refers to the query around it is not supported)");
    }
    const auto& fields = QueryFields(*node->query);
    if (node->test) {
        if (fields.size() != 1)
            throw Error(engine::err::kSyntax,
                        "The subquery of IN must give one column, not " + std::to_string(fields.size()) + At(e.pos));
        const Kind a = node->test->type.GetKind(), b = KindOfType(fields[0].type);
        const bool time = (a == Kind::kDate || a == Kind::kDateTime) && (b == Kind::kDate || b == Kind::kDateTime);
        if (a != b && a != Kind::kAny && !time)
            throw Error(engine::err::kTypeMismatch, std::string("Operator/operand type mismatch") + At(e.pos) +
                                                        ": IN with " + KindName(a) + " and " + KindName(b));
    }
    node->type = TypeInfo{'L', 1, 0, node->test != nullptr};
    node->pos = e.pos;
    return node;
}

}  // namespace engine::sql
