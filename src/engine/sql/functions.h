// The built-in functions of the SQL dialect (text, conversion, null handling, DELETED()):
// how each checks its arguments and infers its result type when an expression is bound, and
// how it computes its value per record.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "engine/sql/expression.h"

namespace engine::sql {

struct FunctionDef {
    const char* name;
    int minArgs;
    int maxArgs;
    // Checks argument types and gives the result type; throws kTypeMismatch.
    TypeInfo (*infer)(const std::vector<NodePtr>& args, size_t pos);
    // Computes the value; args holds the evaluated arguments. Not called with a null argument
    // when nullIn is false (the result is then null).
    Value (*eval)(const Value* args, size_t count, const RowView& row);
    bool nullIn = false;
};

// The function of that name (case-insensitive; a unique abbreviation of at least four letters
// also names it, as in FoxPro), or nullptr.
const FunctionDef* FindFunction(std::string_view name);

// The most arguments a function takes (INLIST, MAX, MIN).
inline constexpr int kMaxFunctionArgs = 26;

// The tables beyond the core ones: text (AT, STRTRAN, TRANSFORM, ...), dates (DATE, YEAR,
// CTOD, GOMONTH, ...) and numbers and comparisons (MOD, CEILING, BETWEEN, INLIST, MAX, ...).
std::span<const FunctionDef> TextFunctions();
std::span<const FunctionDef> DateFunctions();
std::span<const FunctionDef> MathFunctions();

}  // namespace engine::sql
