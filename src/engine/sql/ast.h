// The parsed, not yet bound form of statements and expressions in the FoxPro SQL dialect.
// Names are still text here; the binder (expression.h, statement binding in executor.cpp)
// resolves them against a table's fields.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "engine/value.h"

namespace engine::sql {

enum class Op {
    // comparison
    kEq,
    kExactEq,
    kNe,
    kLt,
    kGt,
    kLe,
    kGe,
    // arithmetic and string joining
    kAdd,
    kSub,
    kMul,
    kDiv,
    kMod,
    kPow,
    kNeg,
    // logic
    kAnd,
    kOr,
    kNot,
    // text: a $ b (a occurs in b), a LIKE pattern
    kContains,
    kLike,
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;
struct SelectStmt;

struct Expr {
    enum class Kind {
        kLiteral,  // value (decimals for numbers); quote set for strings
        kName,     // name, optionally qualifier.name
        kBracket,  // [name]: a field when one has that name, else a string literal
        kUnary,    // op, args[0]
        kBinary,   // op, args[0], args[1]
        kCall,     // name(args...)
        kIsNull,   // args[0] IS [NOT] NULL
        kIn,       // args[0] [NOT] IN (args[1..])
        kBetween,  // args[0] [NOT] BETWEEN args[1] AND args[2]
        kInQuery,  // args[0] [NOT] IN (query)
        kExists,   // [NOT] EXISTS (query)
        kCase,     // CASE WHEN args[0] THEN args[1] ... [ELSE args[last]] END; hasElse
    };
    Kind kind = Kind::kLiteral;
    Op op = Op::kEq;
    Value value;
    int decimals = 0;
    char quote = 0;
    bool negated = false;
    std::string name;
    std::string qualifier;
    std::vector<ExprPtr> args;
    size_t pos = 0;
    int depth = 1;                      // levels of the tree from this node down
    bool star = false;                  // COUNT(*)
    bool distinct = false;              // COUNT(DISTINCT x)
    bool hasElse = false;               // CASE ... ELSE
    std::shared_ptr<SelectStmt> query;  // kInQuery, kExists
};

// A table as a statement names it: a bare name or a quoted file name or path.
struct TableRef {
    std::string name;
    std::string alias;  // local alias (FROM IdentFil i); empty when none
    bool quoted = false;
    size_t pos = 0;
};

struct SelectItem {
    ExprPtr expr;        // null for * (all fields)
    std::string starOf;  // alias.*: the table whose fields * stands for
    std::string alias;   // AS name
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

// A table joined to those before it: JOIN ... ON, or a comma in the FROM list (kComma,
// no condition: every pairing, narrowed by WHERE).
struct JoinClause {
    enum class Kind { kInner, kLeft, kRight, kFull, kComma };
    Kind kind = Kind::kInner;
    TableRef table;
    ExprPtr on;
};

struct SelectStmt;
// UNION [ALL] SELECT ...
struct UnionPart {
    bool all = false;
    std::shared_ptr<SelectStmt> select;
};

struct SelectStmt {
    std::vector<SelectItem> items;
    TableRef table;
    ExprPtr where;
    std::vector<OrderItem> order;
    bool distinct = false;
    ExprPtr top;  // TOP n: a whole-number literal
    bool topPercent = false;
    std::vector<JoinClause> joins;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<UnionPart> unions;  // ORDER BY then orders the whole union
    size_t pos = 0;
};

struct DeleteStmt {
    TableRef table;
    ExprPtr where;
};

struct NamePos {
    std::string name;
    size_t pos = 0;
};

struct InsertStmt {
    TableRef table;
    std::vector<NamePos> fields;  // empty: all fields in table order
    std::vector<ExprPtr> values;
    size_t valuesPos = 0;
    std::shared_ptr<SelectStmt> select;  // INSERT INTO ... SELECT: the rows to add, else values
};

struct Assignment {
    NamePos field;
    ExprPtr value;
};

struct UpdateStmt {
    TableRef table;
    std::vector<Assignment> sets;
    ExprPtr where;
};

struct SetStmt {
    enum class Option { kDeleted, kExclusive, kAutoIncError };
    Option option = Option::kDeleted;
    bool on = true;
};

struct PackStmt {
    TableRef table;
};

// REINDEX table: rebuilds the table's structural index.
struct ReindexStmt {
    TableRef table;
};

// CLOSE ALL (or CLOSE TABLES [ALL]): lets go of the tables the connection keeps open.
struct CloseStmt {};

using Statement =
    std::variant<SelectStmt, DeleteStmt, InsertStmt, UpdateStmt, SetStmt, PackStmt, ReindexStmt, CloseStmt>;

}  // namespace engine::sql
