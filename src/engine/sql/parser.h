// Parser of the FoxPro SQL dialect: SELECT, INSERT, UPDATE, DELETE, SET DELETED|EXCLUSIVE, PACK
// and REINDEX, several separated by ";". Keywords are recognised by position, so tables and fields
// may carry names that are reserved words elsewhere (`Case`, `Desc`).
#pragma once

#include <string_view>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/lexer.h"

namespace engine::sql {

// Parses every statement of the text; empty statements (";;") are skipped. Throws
// engine::Error kSyntax naming the offending token and its position.
std::vector<Statement> ParseStatements(std::string_view text);

// Parses one expression that must fill the whole text (index keys, filters).
ExprPtr ParseExpression(std::string_view text);

// Expression parsing over an existing token list, for readers of other small languages.
// Starts at tokens[index] and leaves index after the expression.
ExprPtr ParseExpressionAt(const std::vector<Token>& tokens, size_t& index);

}  // namespace engine::sql
