// Operations on engine::Value as the FoxPro SQL dialect defines them: comparison (text equal
// after trailing blanks are dropped, or exactly with ==), ordering for ORDER BY, arithmetic and
// string joining, and the text forms of numbers, dates and date-times. Strings are UTF-8 and
// counted in characters, as FoxPro counts them in its single-byte code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/sql/ast.h"
#include "engine/value.h"

namespace engine::sql {

// The families of values that operators accept together.
enum class Kind { kAny, kChar, kNumber, kLogical, kDate, kDateTime, kBinary };

Kind KindOfType(char type);  // 'X' (unknown, a null literal) is kAny
Kind KindOfValue(const Value& value);
const char* KindName(Kind kind);

// -1, 0 or 1; nullopt when either side is null. exact: text must match including trailing
// blanks (==); otherwise trailing blanks are ignored. Throws kTypeMismatch for values of
// different families (a date and a date-time compare by their moment).
std::optional<int> Compare(const Value& a, const Value& b, bool exact);
// Total order for sorting: null first, then by Compare; values of different families by family.
int OrderCompare(const Value& a, const Value& b);

// + - * / % ^ and unary minus. Null in, null out. Throws kTypeMismatch, sql::err::kDivisionByZero.
Value Arithmetic(Op op, const Value& a, const Value& b);
Value Negate(const Value& a);

double ToDouble(const Value& v);  // numbers only; 0 for anything else
bool IsNumber(const Value& v);

// UTF-8 character helpers.
int CharCount(std::string_view s);
size_t ByteOffset(std::string_view s, int chars);                    // of character `chars` (0-based), or s.size()
std::string_view CharSub(std::string_view s, int start, int count);  // 0-based start
std::string_view TrimRight(std::string_view s);
std::string_view TrimLeft(std::string_view s);
// LIKE: _ and ? match one character, % and * any run of characters; case counts.
bool LikeMatch(std::string_view text, std::string_view pattern);
std::string UpperText(std::string_view s);  // ASCII and Latin-1 letters
std::string LowerText(std::string_view s);

// Text forms: "mm/dd/yyyy" (blanks "  /  /    " for the empty date), "yyyymmdd" (8 blanks when
// empty), "mm/dd/yyyy hh:mm:ss AM" (blanks when empty), and a number in the shortest form that
// shows its value.
std::string DateText(Date d);
std::string DateKey(Date d);
std::string DateTimeText(DateTime t);
std::string DateTimeKey(DateTime t);  // yyyymmddhhmmss
std::string NumberText(const Value& v);
// FoxPro STR: right-aligned in `length` characters with `decimals` digits, fewer decimals when
// the number does not fit, and asterisks when even the whole part does not.
std::string StrText(double value, int length, int decimals);

}  // namespace engine::sql
