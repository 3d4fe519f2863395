#include "engine/sql/subquery.h"

#include <unordered_set>

#include "engine/sql/lexer.h"
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

// A name in the subquery that no table of the subquery has but the query around it does: a
// reference to the outer query (a correlated subquery), or null.
const Expr* OuterReference(const Expr& e, const SelectStmt& query, const Scope& outer) {
    if (e.kind == Expr::Kind::kName) {
        bool inner = false;
        auto check = [&](const TableRef& t) {
            std::string name = t.name;
            if (const size_t slash = name.find_last_of("/\\"); slash != std::string::npos) name.erase(0, slash + 1);
            if (!e.qualifier.empty()) {
                inner |= EqualsNoCase(e.qualifier, t.alias) || EqualsNoCase(e.qualifier, name);
                return;
            }
            try {
                inner |= FindField(outer.session->Provider().Open(t.name, OpenMode::kShared)->Fields(), e.name) >= 0;
            } catch (const Error&) {
            }
        };
        check(query.table);
        for (const JoinClause& j : query.joins) check(j.table);
        if (inner) return nullptr;
        try {
            Bind(e, outer);
            return &e;
        } catch (const Error&) {
            return nullptr;
        }
    }
    for (const ExprPtr& a : e.args) {
        if (const Expr* found = OuterReference(*a, query, outer)) return found;
    }
    return nullptr;
}

const Expr* OuterReference(const SelectStmt& q, const Scope& outer) {
    std::vector<const Expr*> parts{q.where.get(), q.having.get()};
    for (const SelectItem& item : q.items) parts.push_back(item.expr.get());
    for (const JoinClause& j : q.joins) parts.push_back(j.on.get());
    for (const ExprPtr& g : q.groupBy) parts.push_back(g.get());
    for (const Expr* part : parts) {
        if (!part) continue;
        if (const Expr* found = OuterReference(*part, q, outer)) return found;
    }
    return nullptr;
}

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
        if (const Expr* outer = OuterReference(*e.query, scope)) {
            const std::string name = outer->qualifier.empty() ? outer->name : outer->qualifier + "." + outer->name;
            throw Error(engine::err::kSyntax, "Correlated subqueries are not supported: the subquery" + At(e.pos) +
                                                  " refers to '" + name + "' of the query around it" + At(outer->pos));
        }
        throw Error(error.Number(), error.Description() + " in the subquery" + At(e.pos));
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
