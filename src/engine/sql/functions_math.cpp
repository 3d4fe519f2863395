// Number and comparison functions: MOD, CEILING, FLOOR, BETWEEN(), INLIST(), and MAX() and
// MIN() of two or more values (with one argument they are the aggregates).
#include <cmath>

#include "engine/sql/functions_support.h"

namespace engine::sql {
namespace {

using namespace fn;

// All arguments must be of one family (a date and a date-time go together).
TypeInfo SameKinds(const Args& a, size_t pos, const char* name) {
    Kind kind = Kind::kAny;
    for (const NodePtr& arg : a) {
        const Kind k = arg->type.GetKind();
        if (k == Kind::kAny) continue;
        const bool time =
            (k == Kind::kDate || k == Kind::kDateTime) && (kind == Kind::kDate || kind == Kind::kDateTime);
        if (kind != Kind::kAny && k != kind && !time)
            throw Error(engine::err::kTypeMismatch,
                        std::string("Function argument value, type, or count is invalid: ") + name + " with " +
                            KindName(kind) + " and " + KindName(k) + " (at position " + std::to_string(pos + 1) + ")");
        if (kind == Kind::kAny) kind = k;
    }
    return TypeInfo{'L', 1, 0, AnyNullable(a)};
}

TypeInfo Widest(const Args& a, size_t pos, const char* name) {
    SameKinds(a, pos, name);
    TypeInfo t{'X', 0, 0, false};
    for (const NodePtr& arg : a) {
        if (arg->type.type == 'X') continue;
        if (t.type == 'X') t = arg->type;
        t.length = std::max(t.length, arg->type.length);
        t.decimals = std::max(t.decimals, arg->type.decimals);
        if (t.GetKind() == Kind::kNumber && t.type != arg->type.type) t.type = 'N';
    }
    if (t.type == 'N' && t.length < 1) t.length = 20;
    t.nullable = AnyNullable(a);
    return t;
}

Value Best(const Value* a, size_t n, int sign) {
    Value best = a[0];
    for (size_t i = 1; i < n; ++i) {
        if (OrderCompare(a[i], best) * sign > 0) best = a[i];
    }
    return best;
}

TypeInfo Rounded(const Args& a, size_t pos, const char* name) {
    Require(a, 0, Kind::kNumber, name, pos);
    return Number(a[0]->type.length > 0 ? std::max(a[0]->type.length, 10) : 20, 0, a);
}

Value Round(const Value& v, bool up) {
    if (v.Is<int64_t>()) return v;
    const double d = up ? std::ceil(ToDouble(v)) : std::floor(ToDouble(v));
    if (std::fabs(d) < 9e18) return static_cast<int64_t>(d);
    return d;
}

const FunctionDef kMath[] = {
    {"MOD", 2, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kNumber, "MOD", pos);
         Require(a, 1, Kind::kNumber, "MOD", pos);
         return Number(std::max(10, a[0]->type.length), std::max(a[0]->type.decimals, a[1]->type.decimals), a);
     },
     [](const Value* a, size_t, const RowView&) -> Value { return Arithmetic(Op::kMod, a[0], a[1]); }},
    {"CEILING", 1, 1, [](const Args& a, size_t pos) { return Rounded(a, pos, "CEILING"); },
     [](const Value* a, size_t, const RowView&) -> Value { return Round(a[0], true); }},
    {"FLOOR", 1, 1, [](const Args& a, size_t pos) { return Rounded(a, pos, "FLOOR"); },
     [](const Value* a, size_t, const RowView&) -> Value { return Round(a[0], false); }},
    {"BETWEEN", 3, 3, [](const Args& a, size_t pos) { return SameKinds(a, pos, "BETWEEN"); },
     [](const Value* a, size_t, const RowView&) -> Value {
         const auto low = Compare(a[0], a[1], false);
         const auto high = Compare(a[0], a[2], false);
         if ((low && *low < 0) || (high && *high > 0)) return false;
         if (!low || !high) return Value();
         return true;
     },
     true},
    {"INLIST", 2, kMaxFunctionArgs, [](const Args& a, size_t pos) { return SameKinds(a, pos, "INLIST"); },
     [](const Value* a, size_t n, const RowView&) -> Value {
         if (a[0].IsNull()) return Value();
         bool unknown = false;
         for (size_t i = 1; i < n; ++i) {
             const auto c = Compare(a[0], a[i], false);
             if (c && *c == 0) return true;
             unknown |= !c;
         }
         return unknown ? Value() : Value(false);
     },
     true},
    {"MAX", 2, kMaxFunctionArgs, [](const Args& a, size_t pos) { return Widest(a, pos, "MAX"); },
     [](const Value* a, size_t n, const RowView&) -> Value { return Best(a, n, 1); }},
    {"MIN", 2, kMaxFunctionArgs, [](const Args& a, size_t pos) { return Widest(a, pos, "MIN"); },
     [](const Value* a, size_t n, const RowView&) -> Value { return Best(a, n, -1); }},
};

}  // namespace

std::span<const FunctionDef> MathFunctions() { return kMath; }

}  // namespace engine::sql
