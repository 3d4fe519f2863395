#include "engine/sql/aggregate.h"

#include <cmath>

#include "engine/sql/lexer.h"
#include "engine/sql/sql_errors.h"
#include "engine/sql/row_key.h"

namespace engine::sql {
namespace {

std::string At(size_t pos) { return " at position " + std::to_string(pos + 1); }

ExprPtr Copy(const Expr& e) {
    auto out = std::make_unique<Expr>();
    out->kind = e.kind;
    out->op = e.op;
    out->value = e.value;
    out->decimals = e.decimals;
    out->quote = e.quote;
    out->negated = e.negated;
    out->name = e.name;
    out->qualifier = e.qualifier;
    out->pos = e.pos;
    out->depth = e.depth;
    out->star = e.star;
    out->distinct = e.distinct;
    out->hasElse = e.hasElse;
    out->query = e.query;
    return out;
}

AggregateCall::Fn FnOf(const Expr& e) {
    const std::string upper = UpperAscii(e.name);
    if (upper == "COUNT" || upper == "CNT") return e.star ? AggregateCall::Fn::kCountAll : AggregateCall::Fn::kCount;
    if (upper == "SUM") return AggregateCall::Fn::kSum;
    if (upper == "AVG") return AggregateCall::Fn::kAvg;
    if (upper == "MIN") return AggregateCall::Fn::kMin;
    return AggregateCall::Fn::kMax;
}

FieldInfo ResultOf(const AggregateCall& call, const std::string& name, size_t pos) {
    using Fn = AggregateCall::Fn;
    if (call.fn == Fn::kCountAll || call.fn == Fn::kCount) return FieldInfo{name, 'N', 10, 0, false};
    const TypeInfo& t = call.arg->type;
    const Kind k = t.GetKind();
    if (call.fn == Fn::kMin || call.fn == Fn::kMax) {
        if (k == Kind::kBinary)
            throw Error(engine::err::kTypeMismatch, "MIN and MAX cannot compare binary values" + At(pos));
        FieldInfo f{name, t.type == 'X' ? 'C' : t.type, std::max(1, t.length), t.decimals, true};
        if (f.type == 'M') f.length = 4;
        return f;
    }
    if (k != Kind::kNumber && k != Kind::kAny)
        throw Error(engine::err::kTypeMismatch,
                    std::string(call.fn == Fn::kSum ? "SUM" : "AVG") + " needs a number, not " + KindName(k) + At(pos));
    if (t.type == 'Y') return FieldInfo{name, 'Y', 8, 4, true};
    if (call.fn == Fn::kSum) return FieldInfo{name, 'N', 20, t.type == 'B' ? 6 : t.decimals, true};
    return FieldInfo{name, 'N', 20, std::max(t.decimals, 4), true};
}

}  // namespace

bool HasAggregate(const Expr& e) {
    if (IsAggregateCall(e)) return true;
    for (const ExprPtr& a : e.args) {
        if (HasAggregate(*a)) return true;
    }
    return false;
}

ExprPtr ExtractAggregates(const Expr& e, const Scope& source, std::vector<AggregateCall>& calls) {
    if (IsAggregateCall(e)) {
        AggregateCall call;
        call.fn = FnOf(e);
        call.distinct = e.distinct;
        if (!e.star) call.arg = Bind(*e.args[0], source);
        const std::string name = "\x01" + std::to_string(calls.size());
        call.field = ResultOf(call, name, e.pos);
        calls.push_back(std::move(call));
        auto ref = std::make_unique<Expr>();
        ref->kind = Expr::Kind::kName;
        ref->name = name;
        ref->pos = e.pos;
        return ref;
    }
    ExprPtr out = Copy(e);
    for (const ExprPtr& a : e.args) out->args.push_back(ExtractAggregates(*a, source, calls));
    return out;
}

std::string AggregateColumnName(const Expr& e) {
    if (!IsAggregateCall(e)) return {};
    const AggregateCall::Fn fn = FnOf(e);
    if (fn == AggregateCall::Fn::kCountAll) return "cnt";
    const Expr& arg = *e.args[0];
    if (arg.kind != Expr::Kind::kName) return {};
    static const char* kPrefix[] = {"cnt", "cnt", "sum", "avg", "min", "max"};
    return std::string(kPrefix[static_cast<int>(fn)]) + "_" + LowerText(arg.name);
}

void Accumulator::Add(const RowView& row) {
    using Fn = AggregateCall::Fn;
    if (m_call->fn == Fn::kCountAll) {
        ++m_count;
        return;
    }
    Value v = m_call->arg->Eval(row);
    if (v.IsNull()) return;
    if (m_call->distinct) {
        if (!m_extra) m_extra = std::make_unique<Extra>();
        std::string key;
        AppendKey(key, v);
        if (!m_extra->seen.insert(std::move(key)).second) return;
    }
    ++m_count;
    switch (m_call->fn) {
        case Fn::kSum:
        case Fn::kAvg:
            if (auto* i = v.If<int64_t>()) m_wholeSum += *i;
            else if (auto* c = v.If<Currency>()) m_wholeSum += c->tenThousandths;
            else m_sum += ToDouble(v);
            break;
        case Fn::kMin:
        case Fn::kMax: {
            if (!m_extra) m_extra = std::make_unique<Extra>();
            Value& best = m_extra->best;
            if (best.IsNull()) {
                best = std::move(v);
                break;
            }
            const int c = OrderCompare(v, best);
            if (m_call->fn == Fn::kMin ? c < 0 : c > 0) best = std::move(v);
            break;
        }
        default: break;
    }
}

Value Accumulator::Result() const {
    using Fn = AggregateCall::Fn;
    switch (m_call->fn) {
        case Fn::kCountAll:
        case Fn::kCount: return m_count;
        case Fn::kMin:
        case Fn::kMax: return m_extra ? m_extra->best : Value();
        default: break;
    }
    if (m_count == 0) return Value();
    const bool currency = m_call->field.type == 'Y';
    if (m_call->fn == Fn::kSum) {
        if (currency) return Currency{m_wholeSum};
        if (m_sum == 0 && m_call->field.decimals == 0) return m_wholeSum;
        return m_sum + static_cast<double>(m_wholeSum);
    }
    const double whole = currency ? static_cast<double>(m_wholeSum) / 10000 : static_cast<double>(m_wholeSum);
    const double mean = (m_sum + whole) / static_cast<double>(m_count);
    if (currency) return Currency{static_cast<int64_t>(std::llround(mean * 10000))};
    return mean;
}

}  // namespace engine::sql
