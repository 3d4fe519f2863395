#include "engine/sql/find_criterion.h"

#include "engine/sql/expression.h"
#include "engine/sql/lexer.h"
#include "engine/sql/parser.h"
#include "engine/sql/sql_errors.h"

namespace engine::sql {
namespace {

[[noreturn]] void Fail(const Token& t, const std::string& what) {
    ThrowSyntax(what, t.kind == TokenKind::kEnd ? "end of text" : t.text, t.pos);
}

}  // namespace

FindCriterion ParseFindCriterion(std::string_view text) {
    const std::vector<Token> tokens = Tokenize(text);
    FindCriterion c;
    size_t i = 0;
    if (tokens[i].kind != TokenKind::kName && tokens[i].kind != TokenKind::kBracket)
        Fail(tokens[i], "expected a field name");
    c.field = tokens[i++].text;
    static const std::pair<std::string_view, Op> kOps[] = {{"=", Op::kEq},  {"==", Op::kEq}, {"<>", Op::kNe},
                                                           {"!=", Op::kNe}, {"#", Op::kNe},  {"<", Op::kLt},
                                                           {">", Op::kGt},  {"<=", Op::kLe}, {">=", Op::kGe}};
    bool found = false;
    for (const auto& [symbol, op] : kOps) {
        if (tokens[i].kind == TokenKind::kSymbol && tokens[i].text == symbol) {
            c.op = op;
            found = true;
        }
    }
    if (!found && tokens[i].kind == TokenKind::kName && EqualsNoCase(tokens[i].text, "LIKE")) {
        c.op = Op::kLike;
        found = true;
    }
    if (!found) Fail(tokens[i], "expected a comparison operator");
    ++i;
    const Token& start = tokens[i];
    if (start.kind == TokenKind::kEnd) Fail(start, "expected a value");
    // The value: one literal, possibly signed; a bracket here is text, as in [abc].
    ExprPtr value = ParseExpressionAt(tokens, i);
    if (tokens[i].kind != TokenKind::kEnd) Fail(tokens[i], "expected the end of the criterion");
    NodePtr node = Bind(*value, Scope{});
    if (node->shape != Node::Shape::kConstant && !(value->kind == Expr::Kind::kUnary && value->op == Op::kNeg))
        Fail(start, "expected a literal value");
    c.value = node->Eval(RowView{});
    return c;
}

bool Matches(const FindCriterion& criterion, const Value& fieldValue) {
    if (criterion.op == Op::kLike) {
        const std::string* text = fieldValue.If<std::string>();
        const std::string* pattern = criterion.value.If<std::string>();
        return text && pattern && LikeMatch(TrimRight(*text), TrimRight(*pattern));
    }
    const auto cmp = Compare(fieldValue, criterion.value, false);
    if (!cmp) return false;
    switch (criterion.op) {
        case Op::kNe: return *cmp != 0;
        case Op::kLt: return *cmp < 0;
        case Op::kGt: return *cmp > 0;
        case Op::kLe: return *cmp <= 0;
        case Op::kGe: return *cmp >= 0;
        default: return *cmp == 0;
    }
}

}  // namespace engine::sql
