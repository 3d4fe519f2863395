// Splits statement text in the FoxPro SQL dialect into tokens: names, [bracketed] names,
// '..' and ".." strings, numbers, {^date} and {^date time} literals, .T./.F./.Y./.N./.NULL.,
// the dotted operators .AND. .OR. .NOT., and operator symbols. Used by the parser and by the
// find-criterion reader.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace engine::sql {

enum class TokenKind {
    kEnd,
    kName,     // text: the name as written
    kBracket,  // text: what stands between [ and ] (a name with blanks, or a string)
    kString,   // text: the string's content; quote: its delimiter
    kNumber,   // value: int64_t or double; decimals: digits after the point
    kLiteral,  // value: a logical, date, date-time or null literal
    kSymbol,   // text: "=", "==", "<>", "AND" (from .AND.), ...
};

struct Token {
    TokenKind kind = TokenKind::kEnd;
    std::string text;
    Value value;
    int decimals = 0;
    char quote = 0;
    size_t pos = 0;  // byte offset in the statement text
};

// Throws engine::Error kSyntax for an unterminated string or bracket and an unknown character,
// sql::err::kInvalidDate for a date literal that names no day. The last token is kEnd.
std::vector<Token> Tokenize(std::string_view text);

// Upper-case copy of ASCII letters, for comparing keywords and names.
std::string UpperAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

}  // namespace engine::sql
