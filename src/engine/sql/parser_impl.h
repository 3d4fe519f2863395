// The recursive-descent parser of the FoxPro SQL dialect, shared by parser.cpp (statements
// and expressions) and parser_select.cpp (SELECT and table references). Internal to the
// parser; callers use parser.h.
#pragma once

#include <algorithm>

#include "engine/sql/parser.h"
#include "engine/sql/sql_errors.h"

namespace engine::sql::parsing {

// Words that end a table reference instead of being read as its local alias.
constexpr std::string_view kClauseWords[] = {"WHERE", "ORDER",  "GROUP", "HAVING", "INTO",  "UNION",
                                             "SET",   "VALUES", "JOIN",  "INNER",  "LEFT",  "RIGHT",
                                             "FULL",  "OUTER",  "ON",    "FROM",   "CROSS", "NATURAL"};

// Binding, evaluating and freeing an expression recurse once per level of its tree, and
// parsing once per parenthesis or prefix operator; texts nested deeper than any real query
// are refused so that they cannot exhaust the stack.
constexpr int kMaxTreeDepth = 500;
constexpr int kMaxNesting = 200;

class Parser {
public:
    explicit Parser(const std::vector<Token>& tokens, size_t index = 0) : m_tokens(tokens), m_i(index) {}

    size_t Index() const { return m_i; }

    std::vector<Statement> Statements() {
        std::vector<Statement> out;
        while (true) {
            while (IsSymbol(";")) ++m_i;
            if (Peek().kind == TokenKind::kEnd) return out;
            out.push_back(OneStatement());
            if (!IsSymbol(";") && Peek().kind != TokenKind::kEnd) Fail("expected ; or the end of the text");
        }
    }

    ExprPtr Expression() {
        const Nesting nesting(*this);
        return OrExpr();
    }

    const Token& Peek(size_t ahead = 0) const {
        const size_t i = std::min(m_i + ahead, m_tokens.size() - 1);
        return m_tokens[i];
    }

    [[noreturn]] void Fail(const std::string& what) const {
        const Token& t = Peek();
        std::string near = t.kind == TokenKind::kEnd       ? "end of text"
                           : t.kind == TokenKind::kString  ? std::string(1, t.quote) + t.text + t.quote
                           : t.kind == TokenKind::kBracket ? "[" + t.text + "]"
                                                           : t.text;
        ThrowSyntax(what, near, t.pos);
    }

public:
    // Counts the parser's own recursion for as long as it lives.
    class Nesting {
    public:
        explicit Nesting(Parser& parser) : m_parser(parser) {
            if (m_parser.m_nesting >= kMaxNesting) m_parser.Fail("the expression is nested too deeply");
            ++m_parser.m_nesting;
        }
        ~Nesting() { --m_parser.m_nesting; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& m_parser;
    };

    // Makes child the next operand of e.
    void Adopt(Expr& e, ExprPtr child) const {
        e.depth = std::max(e.depth, child->depth + 1);
        if (e.depth > kMaxTreeDepth) Fail("the expression is nested too deeply");
        e.args.push_back(std::move(child));
    }

    bool IsWord(std::string_view word, size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return (t.kind == TokenKind::kName || t.kind == TokenKind::kSymbol) && EqualsNoCase(t.text, word);
    }
    bool IsSymbol(std::string_view symbol, size_t ahead = 0) const {
        const Token& t = Peek(ahead);
        return t.kind == TokenKind::kSymbol && t.text == symbol;
    }
    bool AcceptWord(std::string_view word) {
        if (!IsWord(word)) return false;
        ++m_i;
        return true;
    }
    bool AcceptSymbol(std::string_view symbol) {
        if (!IsSymbol(symbol)) return false;
        ++m_i;
        return true;
    }
    void ExpectWord(std::string_view word) {
        if (!AcceptWord(word)) Fail("expected " + std::string(word));
    }
    void ExpectSymbol(std::string_view symbol) {
        if (!AcceptSymbol(symbol)) Fail("expected " + std::string(symbol));
    }
    NamePos ExpectName(const char* what) {
        const Token& t = Peek();
        if (t.kind != TokenKind::kName && t.kind != TokenKind::kBracket) Fail(std::string("expected ") + what);
        ++m_i;
        return {t.text, t.pos};
    }

    Statement OneStatement() {
        if (AcceptWord("SELECT")) return Select();
        if (AcceptWord("DELETE")) {
            DeleteStmt s;
            ExpectWord("FROM");
            s.table = Table(true);
            if (AcceptWord("WHERE")) s.where = Expression();
            return s;
        }
        if (AcceptWord("INSERT")) return Insert();
        if (AcceptWord("UPDATE")) return Update();
        if (AcceptWord("SET")) {
            SetStmt s;
            if (AcceptWord("DELETED")) s.option = SetStmt::Option::kDeleted;
            else if (AcceptWord("EXCLUSIVE")) s.option = SetStmt::Option::kExclusive;
            else if (AcceptWord("AUTOINCERROR")) s.option = SetStmt::Option::kAutoIncError;
            else Fail("expected DELETED, EXCLUSIVE or AUTOINCERROR");
            if (AcceptWord("ON")) s.on = true;
            else if (AcceptWord("OFF")) s.on = false;
            else Fail("expected ON or OFF");
            return s;
        }
        if (AcceptWord("PACK")) return PackStmt{Table(false)};
        if (AcceptWord("REINDEX")) return ReindexStmt{Table(false)};
        if (AcceptWord("CLOSE")) {
            if (AcceptWord("TABLES")) AcceptWord("ALL");
            else if (!AcceptWord("ALL")) Fail("expected ALL or TABLES");
            return CloseStmt{};
        }
        static constexpr std::string_view kOtherCommands[] = {
            "CREATE", "ALTER", "DROP",   "USE",  "APPEND", "REPLACE",  "ZAP",       "INDEX", "BROWSE",
            "LIST",   "COPY",  "MODIFY", "WITH", "MERGE",  "TRUNCATE", "CALCULATE", "SCAN"};
        for (std::string_view word : kOtherCommands) {
            if (IsWord(word)) NotSupported("The " + std::string(word) + " command");
        }
        Fail("expected SELECT, INSERT, UPDATE, DELETE, SET, PACK, REINDEX or CLOSE");
    }

    // A table reference with an optional local alias (parser_select.cpp).
    TableRef Table(bool allowAlias);

    Statement Select() { return SelectBody(true); }

    [[noreturn]] void NotSupported(const std::string& what) const { Fail(what + " is not supported"); }

    // The SELECT after its keyword (parser_select.cpp). ORDER BY belongs to the outermost
    // query; a query in parentheses or after UNION takes none.
    SelectStmt SelectBody(bool allowOrder);

    Statement Insert() {
        InsertStmt s;
        ExpectWord("INTO");
        s.table = Table(false);
        if (AcceptSymbol("(")) {
            do s.fields.push_back(ExpectName("a field name"));
            while (AcceptSymbol(","));
            ExpectSymbol(")");
        }
        s.valuesPos = Peek().pos;
        if (AcceptWord("SELECT")) {
            s.select = std::make_shared<SelectStmt>(SelectBody(true));
            return s;
        }
        if (IsWord("FROM")) NotSupported("INSERT ... FROM ARRAY/MEMVAR");
        ExpectWord("VALUES");
        ExpectSymbol("(");
        do s.values.push_back(Expression());
        while (AcceptSymbol(","));
        ExpectSymbol(")");
        return s;
    }

    Statement Update() {
        UpdateStmt s;
        s.table = Table(true);
        ExpectWord("SET");
        do {
            Assignment a;
            a.field = ExpectName("a field name");
            if (AcceptSymbol(".")) a.field = ExpectName("a field name");  // alias.field
            ExpectSymbol("=");
            a.value = Expression();
            s.sets.push_back(std::move(a));
        } while (AcceptSymbol(","));
        if (AcceptWord("WHERE")) s.where = Expression();
        return s;
    }

    static ExprPtr Make(Expr::Kind kind, size_t pos) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->pos = pos;
        return e;
    }
    ExprPtr Binary(Op op, ExprPtr a, ExprPtr b, size_t pos) {
        auto e = Make(Expr::Kind::kBinary, pos);
        e->op = op;
        Adopt(*e, std::move(a));
        Adopt(*e, std::move(b));
        return e;
    }

    ExprPtr OrExpr() {
        ExprPtr left = AndExpr();
        while (IsWord("OR")) {
            const size_t pos = Peek().pos;
            ++m_i;
            left = Binary(Op::kOr, std::move(left), AndExpr(), pos);
        }
        return left;
    }

    ExprPtr AndExpr() {
        ExprPtr left = NotExpr();
        while (IsWord("AND")) {
            const size_t pos = Peek().pos;
            ++m_i;
            left = Binary(Op::kAnd, std::move(left), NotExpr(), pos);
        }
        return left;
    }

    ExprPtr NotExpr() {
        if (IsWord("NOT") || IsSymbol("!")) {
            const Nesting nesting(*this);
            auto e = Make(Expr::Kind::kUnary, Peek().pos);
            ++m_i;
            e->op = Op::kNot;
            Adopt(*e, NotExpr());
            return e;
        }
        return Comparison();
    }

    ExprPtr Comparison() {
        ExprPtr left = Additive();
        const Token& t = Peek();
        const size_t pos = t.pos;
        static const std::pair<std::string_view, Op> kOps[] = {
            {"=", Op::kEq}, {"==", Op::kExactEq}, {"<>", Op::kNe}, {"!=", Op::kNe}, {"#", Op::kNe},
            {"<", Op::kLt}, {">", Op::kGt},       {"<=", Op::kLe}, {">=", Op::kGe}, {"$", Op::kContains}};
        for (const auto& [symbol, op] : kOps) {
            if (IsSymbol(symbol)) {
                ++m_i;
                return Binary(op, std::move(left), Additive(), pos);
            }
        }
        if (AcceptWord("IS")) {
            auto e = Make(Expr::Kind::kIsNull, pos);
            e->negated = AcceptWord("NOT");
            ExpectWord("NULL");
            Adopt(*e, std::move(left));
            return e;
        }
        bool negated = false;
        if (IsWord("NOT") && (IsWord("IN", 1) || IsWord("LIKE", 1) || IsWord("BETWEEN", 1))) {
            negated = true;
            ++m_i;
        }
        if (AcceptWord("LIKE")) {
            auto e = Binary(Op::kLike, std::move(left), Additive(), pos);
            return negated ? Negate(std::move(e), pos) : std::move(e);
        }
        if (AcceptWord("IN")) {
            auto e = Make(Expr::Kind::kIn, pos);
            e->negated = negated;
            Adopt(*e, std::move(left));
            ExpectSymbol("(");
            if (AcceptWord("SELECT")) {
                e->kind = Expr::Kind::kInQuery;
                e->query = std::make_shared<SelectStmt>(SelectBody(false));
                ExpectSymbol(")");
                return e;
            }
            do Adopt(*e, Expression());
            while (AcceptSymbol(","));
            ExpectSymbol(")");
            return e;
        }
        if (AcceptWord("BETWEEN")) {
            auto e = Make(Expr::Kind::kBetween, pos);
            e->negated = negated;
            Adopt(*e, std::move(left));
            Adopt(*e, Additive());
            ExpectWord("AND");
            Adopt(*e, Additive());
            return e;
        }
        return left;
    }

    // CASE WHEN c THEN v ... [ELSE v] END
    ExprPtr Case() {
        const Nesting nesting(*this);
        auto e = Make(Expr::Kind::kCase, Peek().pos);
        ++m_i;
        while (AcceptWord("WHEN")) {
            Adopt(*e, Expression());
            ExpectWord("THEN");
            Adopt(*e, Expression());
        }
        if (AcceptWord("ELSE")) {
            Adopt(*e, Expression());
            e->hasElse = true;
        }
        ExpectWord("END");
        return e;
    }

    ExprPtr Negate(ExprPtr inner, size_t pos) {
        auto e = Make(Expr::Kind::kUnary, pos);
        e->op = Op::kNot;
        Adopt(*e, std::move(inner));
        return e;
    }

    ExprPtr Additive() {
        ExprPtr left = Multiplicative();
        while (IsSymbol("+") || IsSymbol("-")) {
            const Op op = Peek().text == "+" ? Op::kAdd : Op::kSub;
            const size_t pos = Peek().pos;
            ++m_i;
            left = Binary(op, std::move(left), Multiplicative(), pos);
        }
        return left;
    }

    ExprPtr Multiplicative() {
        ExprPtr left = Power();
        while (IsSymbol("*") || IsSymbol("/") || IsSymbol("%")) {
            const Op op = Peek().text == "*" ? Op::kMul : Peek().text == "/" ? Op::kDiv : Op::kMod;
            const size_t pos = Peek().pos;
            ++m_i;
            left = Binary(op, std::move(left), Power(), pos);
        }
        return left;
    }

    ExprPtr Power() {
        ExprPtr left = Unary();
        if (IsSymbol("^") || IsSymbol("**")) {
            const Nesting nesting(*this);
            const size_t pos = Peek().pos;
            ++m_i;
            return Binary(Op::kPow, std::move(left), Power(), pos);
        }
        return left;
    }

    ExprPtr Unary() {
        if (IsSymbol("-") || IsSymbol("+")) {
            const Nesting nesting(*this);
            const bool minus = Peek().text == "-";
            const size_t pos = Peek().pos;
            ++m_i;
            ExprPtr inner = Unary();
            if (!minus) return inner;
            auto e = Make(Expr::Kind::kUnary, pos);
            e->op = Op::kNeg;
            Adopt(*e, std::move(inner));
            return e;
        }
        return Primary();
    }

    ExprPtr Primary() {
        const Token& t = Peek();
        switch (t.kind) {
            case TokenKind::kNumber:
            case TokenKind::kLiteral:
            case TokenKind::kString: {
                auto e = Make(Expr::Kind::kLiteral, t.pos);
                e->value = t.kind == TokenKind::kString ? Value(t.text) : t.value;
                e->decimals = t.decimals;
                e->quote = t.quote;
                ++m_i;
                return e;
            }
            case TokenKind::kBracket: {
                auto e = Make(Expr::Kind::kBracket, t.pos);
                e->name = t.text;
                ++m_i;
                return e;
            }
            case TokenKind::kName: {
                if (EqualsNoCase(t.text, "NULL")) {
                    ++m_i;
                    return Make(Expr::Kind::kLiteral, t.pos);
                }
                if (EqualsNoCase(t.text, "CASE") && IsWord("WHEN", 1)) return Case();
                if (EqualsNoCase(t.text, "EXISTS") && IsSymbol("(", 1) && IsWord("SELECT", 2)) {
                    auto e = Make(Expr::Kind::kExists, t.pos);
                    m_i += 3;
                    e->query = std::make_shared<SelectStmt>(SelectBody(false));
                    ExpectSymbol(")");
                    return e;
                }
                if (IsSymbol("(", 1) && IsWord("SELECT", 2)) NotSupported("A subquery as a value");
                ++m_i;
                if (AcceptSymbol("(")) {
                    auto e = Make(Expr::Kind::kCall, t.pos);
                    e->name = t.text;
                    if (IsSymbol("*") && IsSymbol(")", 1)) {  // COUNT(*)
                        e->star = true;
                        m_i += 2;
                        return e;
                    }
                    if (AcceptWord("DISTINCT")) e->distinct = true;
                    if (!AcceptSymbol(")")) {
                        do Adopt(*e, Expression());
                        while (AcceptSymbol(","));
                        ExpectSymbol(")");
                    }
                    return e;
                }
                auto e = Make(Expr::Kind::kName, t.pos);
                e->name = t.text;
                if (IsSymbol(".") && (Peek(1).kind == TokenKind::kName || Peek(1).kind == TokenKind::kBracket)) {
                    e->qualifier = e->name;
                    e->name = Peek(1).text;
                    if (Peek(1).kind == TokenKind::kBracket) e->kind = Expr::Kind::kBracket;
                    m_i += 2;
                }
                return e;
            }
            case TokenKind::kSymbol:
                if (AcceptSymbol("(")) {
                    if (IsWord("SELECT")) NotSupported("A subquery as a value");
                    ExprPtr inner = Expression();
                    ExpectSymbol(")");
                    return inner;
                }
                break;
            case TokenKind::kEnd: break;
        }
        Fail("expected a value, a name or (");
    }

    const std::vector<Token>& m_tokens;
    size_t m_i;
    int m_nesting = 0;
};

}  // namespace engine::sql::parsing
