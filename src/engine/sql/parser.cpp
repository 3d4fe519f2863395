#include "engine/sql/parser.h"

#include "engine/sql/parser_impl.h"

namespace engine::sql {

using parsing::Parser;

std::vector<Statement> ParseStatements(std::string_view text) {
    const std::vector<Token> tokens = Tokenize(text);
    return Parser(tokens).Statements();
}

ExprPtr ParseExpression(std::string_view text) {
    const std::vector<Token> tokens = Tokenize(text);
    Parser parser(tokens);
    ExprPtr e = parser.Expression();
    if (parser.Peek().kind != TokenKind::kEnd) parser.Fail("expected the end of the expression");
    return e;
}

ExprPtr ParseExpressionAt(const std::vector<Token>& tokens, size_t& index) {
    Parser parser(tokens, index);
    ExprPtr e = parser.Expression();
    index = parser.Index();
    return e;
}

}  // namespace engine::sql
