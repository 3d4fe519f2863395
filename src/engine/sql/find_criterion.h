// Reads a recordset search criterion: a field name (bare or in square brackets), a comparison
// operator and one literal value, e.g. "PtNum =5", "[Patient Number] = 12", "Hsp = 'x'".
#pragma once

#include <string>
#include <string_view>

#include "engine/error.h"
#include "engine/sql/ast.h"
#include "engine/value.h"

namespace engine::sql {

struct FindCriterion {
    std::string field;
    Op op = Op::kEq;  // kEq, kNe, kLt, kGt, kLe, kGe or kLike
    Value value;
};

// Throws engine::Error kSyntax naming the token and position when the text is not of that form.
FindCriterion ParseFindCriterion(std::string_view text);

// Whether a field value meets the criterion (text compared with trailing blanks ignored;
// a null never matches). Throws kTypeMismatch for values of different kinds.
bool Matches(const FindCriterion& criterion, const Value& fieldValue);

}  // namespace engine::sql
