// Error numbers of the SQL executor beyond the shared list in engine/error.h, and the helper
// that raises a syntax error naming the place in the statement text.
#pragma once

#include <cstddef>
#include <string>

#include "engine/error.h"

namespace engine::sql {

namespace err {
inline constexpr long kMustBeExclusive = 110;  // PACK or REINDEX without exclusive use
inline constexpr long kDivisionByZero = 1307;  // a division or MOD by zero
inline constexpr long kNullNotAllowed = 1581;  // null stored into a field that takes none
inline constexpr long kInvalidDate = 2034;     // a date or date-time literal that is no day
}  // namespace err

// Throws engine::Error kSyntax: "Syntax error near '<near>' at position <pos + 1>: <what>".
[[noreturn]] void ThrowSyntax(const std::string& what, const std::string& near, size_t pos);

}  // namespace engine::sql
