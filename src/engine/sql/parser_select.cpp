// SELECT and table references of the FoxPro SQL dialect's parser.
#include "engine/sql/parser_impl.h"

namespace engine::sql::parsing {

TableRef Parser::Table(bool allowAlias) {
    TableRef ref;
    const Token& t = Peek();
    ref.pos = t.pos;
    if (t.kind == TokenKind::kString) {
        ref.name = t.text;
        ref.quoted = true;
        ++m_i;
    } else if (t.kind == TokenKind::kName) {
        ref.name = t.text;
        ++m_i;
        if (IsSymbol("!") && Peek(1).kind == TokenKind::kName) {  // database!table
            ref.name = Peek(1).text;
            m_i += 2;
        }
    } else {
        Fail("expected a table name");
    }
    if (allowAlias) {
        if (AcceptWord("AS")) {
            ref.alias = ExpectName("an alias").name;
        } else if (Peek().kind == TokenKind::kName) {
            bool clause = false;
            for (std::string_view w : kClauseWords) clause |= IsWord(w);
            if (!clause) ref.alias = Peek().text, ++m_i;
        }
    }
    return ref;
}

SelectStmt Parser::SelectBody(bool allowOrder) {
    const Nesting nesting(*this);
    SelectStmt s;
    s.pos = m_i > 0 ? Peek().pos : 0;
    if (AcceptWord("DISTINCT")) s.distinct = true;
    else AcceptWord("ALL");
    if (IsWord("TOP")) {
        ++m_i;
        if (Peek().kind != TokenKind::kNumber || !Peek().value.Is<int64_t>() || Peek().value.As<int64_t>() < 1)
            Fail("expected a whole number of rows after TOP");
        s.top = Primary();
        s.topPercent = AcceptWord("PERCENT");
    }
    do {
        SelectItem item;
        if (AcceptSymbol("*")) {
            s.items.push_back(std::move(item));
            continue;
        }
        if (Peek().kind == TokenKind::kName && IsSymbol(".", 1) && IsSymbol("*", 2)) {
            item.starOf = Peek().text;
            m_i += 3;  // alias.*
            s.items.push_back(std::move(item));
            continue;
        }
        item.expr = Expression();
        if (AcceptWord("AS")) item.alias = ExpectName("a column name after AS").name;
        s.items.push_back(std::move(item));
    } while (AcceptSymbol(","));
    if (IsWord("INTO")) NotSupported("SELECT ... INTO");
    ExpectWord("FROM");
    s.table = Table(true);
    for (;;) {
        JoinClause join;
        if (AcceptSymbol(",")) {
            join.kind = JoinClause::Kind::kComma;
            join.table = Table(true);
            s.joins.push_back(std::move(join));
            continue;
        }
        if (AcceptWord("CROSS")) {
            ExpectWord("JOIN");
            join.kind = JoinClause::Kind::kComma;
            join.table = Table(true);
            s.joins.push_back(std::move(join));
            continue;
        }
        if (IsWord("NATURAL")) NotSupported("NATURAL JOIN");
        if (AcceptWord("INNER")) join.kind = JoinClause::Kind::kInner;
        else if (AcceptWord("LEFT")) join.kind = JoinClause::Kind::kLeft, AcceptWord("OUTER");
        else if (AcceptWord("RIGHT")) join.kind = JoinClause::Kind::kRight, AcceptWord("OUTER");
        else if (AcceptWord("FULL")) join.kind = JoinClause::Kind::kFull, AcceptWord("OUTER");
        else if (!IsWord("JOIN")) break;
        ExpectWord("JOIN");
        join.table = Table(true);
        if (IsWord("JOIN") || IsWord("INNER") || IsWord("LEFT") || IsWord("RIGHT") || IsWord("FULL"))
            NotSupported("A nested JOIN (JOIN ... JOIN ... ON ... ON)");
        ExpectWord("ON");
        join.on = Expression();
        s.joins.push_back(std::move(join));
    }
    if (AcceptWord("WHERE")) s.where = Expression();
    if (AcceptWord("GROUP")) {
        ExpectWord("BY");
        do s.groupBy.push_back(Expression());
        while (AcceptSymbol(","));
    }
    if (AcceptWord("HAVING")) s.having = Expression();
    while (AcceptWord("UNION")) {
        UnionPart part;
        part.all = AcceptWord("ALL");
        const bool parenthesised = AcceptSymbol("(");
        ExpectWord("SELECT");
        part.select = std::make_shared<SelectStmt>(SelectBody(false));
        if (parenthesised) ExpectSymbol(")");
        s.unions.push_back(std::move(part));
    }
    if (allowOrder && AcceptWord("ORDER")) {
        ExpectWord("BY");
        do {
            OrderItem item;
            item.expr = Expression();
            if (AcceptWord("DESC")) item.descending = true;
            else AcceptWord("ASC");
            s.order.push_back(std::move(item));
        } while (AcceptSymbol(","));
    }
    if (IsWord("INTO")) NotSupported("SELECT ... INTO");
    if (IsWord("FOR")) NotSupported("SELECT ... FOR (use WHERE)");
    return s;
}

}  // namespace engine::sql::parsing
