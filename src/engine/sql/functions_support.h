// Helpers shared by the tables of built-in functions (functions*.cpp): argument checks,
// constant arguments, result types and value conversions.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/error.h"
#include "engine/sql/functions.h"

namespace engine::sql::fn {

using Args = std::vector<NodePtr>;

inline void Require(const Args& args, size_t i, Kind kind, const char* fn, size_t pos) {
    if (i >= args.size()) return;
    const Kind k = args[i]->type.GetKind();
    if (k == kind || k == Kind::kAny) return;
    if ((kind == Kind::kDate && k == Kind::kDateTime) || (kind == Kind::kDateTime && k == Kind::kDate)) return;
    throw Error(engine::err::kTypeMismatch, std::string("Function argument value, type, or count is invalid: ") + fn +
                                                " argument " + std::to_string(i + 1) + " must be " + KindName(kind) +
                                                ", not " + KindName(k) + " (at position " + std::to_string(pos + 1) +
                                                ")");
}

// The value of a constant whole-number argument, or `fallback` when it is not a constant.
inline int ConstInt(const Args& args, size_t i, int fallback) {
    if (i >= args.size() || args[i]->shape != Node::Shape::kConstant) return fallback;
    const Value& v = static_cast<const ConstantNode&>(*args[i]).value;
    if (!IsNumber(v)) return fallback;
    return static_cast<int>(std::clamp(ToDouble(v), 0.0, 254.0));
}

inline bool AnyNullable(const Args& args) {
    return std::any_of(args.begin(), args.end(), [](const NodePtr& a) { return a->type.nullable; });
}

inline TypeInfo Text(int length, const Args& args) {
    return TypeInfo{'C', std::clamp(length, 1, 254), 0, AnyNullable(args)};
}
inline TypeInfo Logical() { return TypeInfo{'L', 1, 0, false}; }
inline TypeInfo Number(int length, int decimals, const Args& args) {
    return TypeInfo{'N', length, decimals, AnyNullable(args)};
}

// Keeps the first argument's character type (memo stays memo).
inline TypeInfo SameText(const Args& args, const char* fn, size_t pos) {
    Require(args, 0, Kind::kChar, fn, pos);
    TypeInfo t = args[0]->type;
    if (t.type != 'M') t = Text(t.type == 'X' ? 1 : t.length, args);
    t.nullable = AnyNullable(args);
    return t;
}

inline int Int(const Value& v) { return static_cast<int>(std::clamp(std::trunc(ToDouble(v)), -1e9, 1e9)); }

inline const std::string& Str(const Value& v) { return v.As<std::string>(); }

inline std::string AnyText(const Value& v) {
    if (auto* s = v.If<std::string>()) return *s;
    if (auto* b = v.If<bool>()) return *b ? ".T." : ".F.";
    if (auto* d = v.If<Date>()) return DateText(*d);
    if (auto* t = v.If<DateTime>()) return DateTimeText(*t);
    if (IsNumber(v)) return NumberText(v);
    return {};
}

// The longest character string Visual FoxPro makes; a wider result is refused rather than
// allocated for every row.
inline constexpr int kMaxStringLength = 16'777'184;

// A result width argument: its whole value, refused above the longest string.
inline int Width(const Value& v, const char* fn) {
    const int width = Int(v);
    if (width > kMaxStringLength)
        throw Error(engine::err::kValueTooLarge, std::string("String is too long to fit: ") + fn + " asks for " +
                                                     std::to_string(width) + " characters");
    return width;
}
}  // namespace engine::sql::fn
