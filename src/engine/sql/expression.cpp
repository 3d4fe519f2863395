#include "engine/sql/expression.h"

#include <algorithm>

#include "engine/sql/functions.h"
#include "engine/sql/lexer.h"
#include "engine/sql/sql_errors.h"
#include "engine/sql/subquery.h"

namespace engine::sql {

namespace {

std::string At(size_t pos) { return " at position " + std::to_string(pos + 1); }

[[noreturn]] void MismatchAt(size_t pos, const std::string& what, Kind a, Kind b) {
    throw Error(engine::err::kTypeMismatch, "Operator/operand type mismatch" + At(pos) + ": " + what + " with " +
                                                KindName(a) + " and " + KindName(b));
}

class UnaryNode : public Node {
public:
    UnaryNode(Op o, NodePtr a) : op(o), arg(std::move(a)) {}
    Value Eval(const RowView& row) const override {
        Value v = arg->Eval(row);
        if (op == Op::kNeg) return Negate(v);
        if (v.IsNull()) return v;
        return !v.As<bool>();
    }
    Op op;
    NodePtr arg;
};

class IsNullNode : public Node {
public:
    IsNullNode(NodePtr a, bool n) : arg(std::move(a)), negated(n) {}
    Value Eval(const RowView& row) const override { return arg->Eval(row).IsNull() != negated; }
    NodePtr arg;
    bool negated;
};

class InNode : public Node {
public:
    Value Eval(const RowView& row) const override {
        const Value v = args[0]->Eval(row);
        bool unknown = v.IsNull();
        for (size_t i = 1; i < args.size() && !v.IsNull(); ++i) {
            const auto c = Compare(v, args[i]->Eval(row), false);
            if (c && *c == 0) return !negated;
            unknown |= !c;
        }
        return unknown ? Value() : Value(negated);
    }
    std::vector<NodePtr> args;
    bool negated = false;
};

class BetweenNode : public Node {
public:
    Value Eval(const RowView& row) const override {
        const Value v = args[0]->Eval(row);
        const auto low = Compare(v, args[1]->Eval(row), false);
        const auto high = Compare(v, args[2]->Eval(row), false);
        if ((low && *low < 0) || (high && *high > 0)) return negated;
        if (!low || !high) return Value();
        return !negated;
    }
    std::vector<NodePtr> args;
    bool negated = false;
};

class CallNode : public Node {
public:
    Value Eval(const RowView& row) const override {
        Value values[kMaxFunctionArgs];
        const size_t n = args.size();
        for (size_t i = 0; i < n; ++i) {
            values[i] = args[i]->Eval(row);
            if (values[i].IsNull() && !def->nullIn) return Value();
        }
        return def->eval(values, n, row);
    }
    const FunctionDef* def = nullptr;
    std::vector<NodePtr> args;
};

class IifNode : public Node {
public:
    Value Eval(const RowView& row) const override {
        return IsTrue(args[0]->Eval(row)) ? args[1]->Eval(row) : args[2]->Eval(row);
    }
    std::vector<NodePtr> args;
};

// CASE WHEN c1 THEN v1 ... ELSE v END: the value of the first true condition's branch.
class CaseNode : public Node {
public:
    Value Eval(const RowView& row) const override {
        for (size_t i = 0; i + 1 < whens.size(); i += 2) {
            if (IsTrue(whens[i]->Eval(row))) return whens[i + 1]->Eval(row);
        }
        return otherwise ? otherwise->Eval(row) : Value();
    }
    std::vector<NodePtr> whens;  // condition, value, condition, value, ...
    NodePtr otherwise;
};

bool Compatible(Kind a, Kind b) {
    if (a == Kind::kAny || b == Kind::kAny || a == b) return true;
    const auto time = [](Kind k) { return k == Kind::kDate || k == Kind::kDateTime; };
    return time(a) && time(b);
}

int Digits(const TypeInfo& t) {
    switch (t.type) {
        case 'I': return 11;
        case 'B':
        case 'Y': return 20;
        default: return std::max(1, t.length);
    }
}

TypeInfo Numeric(int length, int decimals, bool nullable) {
    return TypeInfo{'N', std::clamp(length, 1, 20), std::clamp(decimals, 0, 18), nullable};
}

TypeInfo BinaryType(Op op, const TypeInfo& a, const TypeInfo& b, size_t pos) {
    const Kind ka = a.GetKind(), kb = b.GetKind();
    const bool nullable = a.nullable || b.nullable;
    const char* symbol = "";
    switch (op) {
        case Op::kAnd:
        case Op::kOr:
            if ((ka != Kind::kLogical && ka != Kind::kAny) || (kb != Kind::kLogical && kb != Kind::kAny))
                MismatchAt(pos, op == Op::kAnd ? "AND" : "OR", ka, kb);
            return TypeInfo{'L', 1, 0, nullable};
        case Op::kEq:
        case Op::kExactEq:
        case Op::kNe:
        case Op::kLt:
        case Op::kGt:
        case Op::kLe:
        case Op::kGe:
            if (!Compatible(ka, kb)) MismatchAt(pos, "comparison", ka, kb);
            return TypeInfo{'L', 1, 0, nullable};
        case Op::kContains:
        case Op::kLike:
            if (!Compatible(ka, Kind::kChar) || !Compatible(kb, Kind::kChar))
                MismatchAt(pos, op == Op::kLike ? "LIKE" : "$", ka, kb);
            return TypeInfo{'L', 1, 0, nullable};
        case Op::kAdd: symbol = "+"; break;
        case Op::kSub: symbol = "-"; break;
        case Op::kMul: symbol = "*"; break;
        case Op::kDiv: symbol = "/"; break;
        case Op::kMod: symbol = "%"; break;
        case Op::kPow: symbol = "^"; break;
        default: break;
    }
    // Arithmetic; an untyped null takes the type of the other side.
    const Kind x = ka == Kind::kAny ? kb : ka;
    const Kind y = kb == Kind::kAny ? ka : kb;
    const TypeInfo& typed = ka == Kind::kAny ? b : a;
    if (x == Kind::kAny) return TypeInfo{'X', 0, 0, true};
    const bool joinable = op == Op::kAdd || op == Op::kSub;
    if (x == Kind::kChar && y == Kind::kChar && joinable) {
        if (a.type == 'M' || b.type == 'M') return TypeInfo{'M', 4, 0, nullable};
        return TypeInfo{'C', std::min(254, std::max(1, a.length + b.length)), 0, nullable};
    }
    if (x == Kind::kNumber && y == Kind::kNumber) {
        if (a.type == 'Y' || b.type == 'Y') return TypeInfo{'Y', 8, 4, nullable};
        switch (op) {
            case Op::kAdd:
            case Op::kSub:
                return Numeric(std::max(Digits(a), Digits(b)) + 1, std::max(a.decimals, b.decimals), nullable);
            case Op::kMul: return Numeric(Digits(a) + Digits(b), a.decimals + b.decimals, nullable);
            case Op::kMod: return Numeric(Digits(typed), std::max(a.decimals, b.decimals), nullable);
            default: return Numeric(20, std::max({a.decimals, b.decimals, 2}), nullable);
        }
    }
    const bool xTime = x == Kind::kDate || x == Kind::kDateTime;
    const bool yTime = y == Kind::kDate || y == Kind::kDateTime;
    if (xTime && y == Kind::kNumber && joinable) return TypeInfo{x == Kind::kDate ? 'D' : 'T', 8, 0, nullable};
    if (x == Kind::kNumber && yTime && op == Op::kAdd) return TypeInfo{y == Kind::kDate ? 'D' : 'T', 8, 0, nullable};
    if (xTime && yTime && op == Op::kSub) return Numeric(x == Kind::kDate && y == Kind::kDate ? 10 : 20, 0, nullable);
    MismatchAt(pos, symbol, ka, kb);
}

TypeInfo LiteralType(const Expr& e) {
    const Value& v = e.value;
    if (v.IsNull()) return TypeInfo{'X', 0, 0, true};
    if (auto* s = v.If<std::string>()) return TypeInfo{'C', std::max(1, std::min(254, CharCount(*s))), 0, false};
    if (v.Is<bool>()) return TypeInfo{'L', 1, 0, false};
    if (v.Is<Date>()) return TypeInfo{'D', 8, 0, false};
    if (v.Is<DateTime>()) return TypeInfo{'T', 8, 0, false};
    const std::string text = NumberText(v);
    return Numeric(
        static_cast<int>(text.size()) + (e.decimals > 0 && text.find('.') == std::string::npos ? 1 + e.decimals : 0),
        e.decimals, false);
}

NodePtr Constant(Value v, TypeInfo type, size_t pos) {
    auto node = std::make_unique<ConstantNode>(std::move(v));
    node->type = type;
    node->pos = pos;
    return node;
}

bool QualifierMatches(const Scope& scope, std::string_view qualifier) {
    if (qualifier.empty()) return true;
    if (!scope.alias.empty() && EqualsNoCase(qualifier, scope.alias)) return true;
    // A table named by its path answers to its file name without folder and extension.
    std::string_view table = scope.tableName;
    if (const size_t slash = table.find_last_of("/\\"); slash != std::string_view::npos)
        table = table.substr(slash + 1);
    if (table.size() > 4 && EqualsNoCase(table.substr(table.size() - 4), ".dbf")) table.remove_suffix(4);
    return EqualsNoCase(qualifier, table);
}

NodePtr BindField(const Expr& e, const Scope& scope) {
    // Every table of the scope that the name may mean: the first, then those joined to it.
    ScopeTable tables[1] = {{scope.fields, scope.tableName, scope.alias, 0}};
    std::vector<const ScopeTable*> all{&tables[0]};
    for (const ScopeTable& t : scope.more) all.push_back(&t);
    auto matches = [&](const ScopeTable& t) {
        return QualifierMatches(Scope{t.fields, t.tableName, t.alias, {}, nullptr, nullptr}, e.qualifier);
    };
    const ScopeTable* table = nullptr;
    int index = -1;
    bool qualifierKnown = false;
    for (const ScopeTable* t : all) {
        if (!e.qualifier.empty() && !(matches(*t) && !(t->tableName.empty() && t->alias.empty()))) continue;
        qualifierKnown = true;
        const int i = t->fields ? FindField(*t->fields, e.name) : -1;
        if (i < 0) continue;
        if (table)
            throw Error(engine::err::kUnknownField,
                        "Column '" + e.name + "' is ambiguous" + At(e.pos) + ": name its table (alias.field)");
        table = t;
        index = i;
    }
    if (!e.qualifier.empty() && !qualifierKnown)
        throw Error(engine::err::kUnknownField, "Alias '" + e.qualifier + "' is not found" + At(e.pos));
    if (index < 0) {
        if (e.kind == Expr::Kind::kBracket && e.qualifier.empty())  // [text] naming no field is a string
            return Constant(e.name, TypeInfo{'C', std::max(1, std::min(254, CharCount(e.name))), 0, false}, e.pos);
        throw Error(engine::err::kUnknownField, "Column '" + e.name + "' is not found" + At(e.pos));
    }
    const FieldInfo& f = (*table->fields)[index];
    const size_t at = table->offset + static_cast<size_t>(index);
    if (scope.used && at < scope.used->size()) (*scope.used)[at] = true;
    auto node = std::make_unique<FieldNode>(at);
    node->type = TypeInfo{f.type, f.length, f.decimals, f.nullable};
    node->pos = e.pos;
    return node;
}

NodePtr BindCase(const Expr& e, const Scope& scope) {
    auto node = std::make_unique<CaseNode>();
    const size_t pairs = (e.args.size() - (e.hasElse ? 1 : 0)) / 2;
    TypeInfo type{'X', 0, 0, !e.hasElse};
    auto take = [&](NodePtr value, size_t pos) {
        const TypeInfo& t = value->type;
        if (!Compatible(type.GetKind(), t.GetKind())) MismatchAt(pos, "CASE", type.GetKind(), t.GetKind());
        if (type.type == 'X') {
            const bool nullable = type.nullable;
            type = t;
            type.nullable |= nullable;
        } else {
            type.length = std::max(type.length, t.length);
            type.decimals = std::max(type.decimals, t.decimals);
            type.nullable |= t.nullable;
        }
        return value;
    };
    for (size_t i = 0; i < pairs; ++i) {
        NodePtr when = Bind(*e.args[2 * i], scope);
        const Kind c = when->type.GetKind();
        if (c != Kind::kLogical && c != Kind::kAny) MismatchAt(e.args[2 * i]->pos, "CASE WHEN", c, Kind::kLogical);
        node->whens.push_back(std::move(when));
        node->whens.push_back(take(Bind(*e.args[2 * i + 1], scope), e.args[2 * i + 1]->pos));
    }
    if (e.hasElse) node->otherwise = take(Bind(*e.args.back(), scope), e.args.back()->pos);
    node->type = type;
    node->pos = e.pos;
    return node;
}

NodePtr BindCall(const Expr& e, const Scope& scope) {
    if (IsAggregateCall(e))
        throw Error(engine::err::kSyntax, "The aggregate function " + UpperAscii(e.name) + "() is not allowed here" +
                                              At(e.pos) + " (only in the SELECT list, HAVING and ORDER BY)");
    if (e.star || e.distinct)
        throw Error(engine::err::kSyntax,
                    "Syntax error near '" + e.name + "'" + At(e.pos) + ": * and DISTINCT are for aggregate functions");
    std::vector<NodePtr> args;
    for (const ExprPtr& a : e.args) args.push_back(Bind(*a, scope));
    const std::string upper = UpperAscii(e.name);
    if (upper == "IIF") {
        if (args.size() != 3)
            throw Error(engine::err::kArgumentCount, "Wrong number of arguments for IIF" + At(e.pos) + ": 3 expected");
        const Kind c = args[0]->type.GetKind();
        if (c != Kind::kLogical && c != Kind::kAny) MismatchAt(e.pos, "IIF condition", c, Kind::kLogical);
        auto node = std::make_unique<IifNode>();
        const TypeInfo& a = args[1]->type;
        const TypeInfo& b = args[2]->type;
        node->type = a.type == 'X' ? b : a;
        if (node->type.GetKind() == Kind::kChar && b.GetKind() == Kind::kChar)
            node->type.length = std::max(a.length, b.length);
        node->type.nullable = a.nullable || b.nullable;
        node->args = std::move(args);
        node->pos = e.pos;
        return node;
    }
    const FunctionDef* def = FindFunction(e.name);
    if (!def) throw Error(engine::err::kSyntax, "Unknown function '" + e.name + "'" + At(e.pos));
    const int n = static_cast<int>(args.size());
    if (n < def->minArgs || n > def->maxArgs)
        throw Error(engine::err::kArgumentCount,
                    "Wrong number of arguments for " + std::string(def->name) + At(e.pos) + ": " + std::to_string(n) +
                        " given, " + std::to_string(def->minArgs) +
                        (def->maxArgs != def->minArgs ? " to " + std::to_string(def->maxArgs) : std::string()) +
                        " expected");
    auto node = std::make_unique<CallNode>();
    node->type = def->infer(args, e.pos);
    node->def = def;
    node->args = std::move(args);
    node->pos = e.pos;
    return node;
}

}  // namespace

Value BinaryNode::Eval(const RowView& row) const {
    switch (op) {
        case Op::kAnd: {
            const Value a = left->Eval(row);
            if (a.Is<bool>() && !a.As<bool>()) return false;
            const Value b = right->Eval(row);
            if (b.Is<bool>() && !b.As<bool>()) return false;
            return a.IsNull() || b.IsNull() ? Value() : Value(true);
        }
        case Op::kOr: {
            const Value a = left->Eval(row);
            if (IsTrue(a)) return true;
            const Value b = right->Eval(row);
            if (IsTrue(b)) return true;
            return a.IsNull() || b.IsNull() ? Value() : Value(false);
        }
        case Op::kEq:
        case Op::kExactEq:
        case Op::kNe:
        case Op::kLt:
        case Op::kGt:
        case Op::kLe:
        case Op::kGe: {
            const auto c = Compare(left->Eval(row), right->Eval(row), op == Op::kExactEq);
            if (!c) return Value();
            switch (op) {
                case Op::kNe: return *c != 0;
                case Op::kLt: return *c < 0;
                case Op::kGt: return *c > 0;
                case Op::kLe: return *c <= 0;
                case Op::kGe: return *c >= 0;
                default: return *c == 0;
            }
        }
        case Op::kContains: {
            const Value a = left->Eval(row), b = right->Eval(row);
            if (a.IsNull() || b.IsNull()) return Value();
            return b.As<std::string>().find(a.As<std::string>()) != std::string::npos;
        }
        case Op::kLike: {
            const Value a = left->Eval(row), b = right->Eval(row);
            if (a.IsNull() || b.IsNull()) return Value();
            return LikeMatch(TrimRight(a.As<std::string>()), TrimRight(b.As<std::string>()));
        }
        default: return Arithmetic(op, left->Eval(row), right->Eval(row));
    }
}

bool IsAggregateCall(const Expr& e) {
    if (e.kind != Expr::Kind::kCall) return false;
    const std::string upper = UpperAscii(e.name);
    if (upper == "COUNT" || upper == "CNT") return e.star || e.args.size() == 1;
    if (upper == "SUM" || upper == "AVG") return e.args.size() == 1;
    if (upper == "MIN" || upper == "MAX") return e.args.size() == 1;
    return false;
}

int FindField(const std::vector<FieldInfo>& fields, std::string_view name) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (EqualsNoCase(fields[i].name, name)) return static_cast<int>(i);
    }
    return -1;
}

NodePtr Bind(const Expr& e, const Scope& scope) {
    switch (e.kind) {
        case Expr::Kind::kLiteral: return Constant(e.value, LiteralType(e), e.pos);
        case Expr::Kind::kName:
        case Expr::Kind::kBracket: return BindField(e, scope);
        case Expr::Kind::kCall: return BindCall(e, scope);
        case Expr::Kind::kCase: return BindCase(e, scope);
        case Expr::Kind::kInQuery:
        case Expr::Kind::kExists: return BindSubquery(e, scope);
        case Expr::Kind::kUnary: {
            NodePtr arg = Bind(*e.args[0], scope);
            const Kind k = arg->type.GetKind();
            TypeInfo type = arg->type;
            if (e.op == Op::kNot) {
                if (k != Kind::kLogical && k != Kind::kAny) MismatchAt(e.pos, "NOT", k, Kind::kLogical);
                type = TypeInfo{'L', 1, 0, arg->type.nullable};
            } else if (k != Kind::kNumber && k != Kind::kAny) {
                MismatchAt(e.pos, "-", k, Kind::kNumber);
            }
            auto node = std::make_unique<UnaryNode>(e.op, std::move(arg));
            node->type = type;
            node->pos = e.pos;
            return node;
        }
        case Expr::Kind::kBinary: {
            NodePtr a = Bind(*e.args[0], scope);
            NodePtr b = Bind(*e.args[1], scope);
            const TypeInfo type = BinaryType(e.op, a->type, b->type, e.pos);
            auto node = std::make_unique<BinaryNode>(e.op, std::move(a), std::move(b));
            node->type = type;
            node->pos = e.pos;
            return node;
        }
        case Expr::Kind::kIsNull: {
            auto node = std::make_unique<IsNullNode>(Bind(*e.args[0], scope), e.negated);
            node->type = TypeInfo{'L', 1, 0, false};
            node->pos = e.pos;
            return node;
        }
        case Expr::Kind::kIn:
        case Expr::Kind::kBetween: {
            std::vector<NodePtr> args;
            bool nullable = false;
            for (const ExprPtr& a : e.args) {
                args.push_back(Bind(*a, scope));
                nullable |= args.back()->type.nullable;
                if (!Compatible(args.front()->type.GetKind(), args.back()->type.GetKind()))
                    MismatchAt(e.pos, e.kind == Expr::Kind::kIn ? "IN" : "BETWEEN", args.front()->type.GetKind(),
                               args.back()->type.GetKind());
            }
            NodePtr result;
            if (e.kind == Expr::Kind::kIn) {
                auto node = std::make_unique<InNode>();
                node->args = std::move(args);
                node->negated = e.negated;
                result = std::move(node);
            } else {
                auto node = std::make_unique<BetweenNode>();
                node->args = std::move(args);
                node->negated = e.negated;
                result = std::move(node);
            }
            result->type = TypeInfo{'L', 1, 0, nullable};
            result->pos = e.pos;
            return result;
        }
    }
    throw Error(engine::err::kSyntax, "Unsupported expression" + At(e.pos));
}

}  // namespace engine::sql
