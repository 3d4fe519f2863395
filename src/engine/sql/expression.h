// Bound expressions: an Expr from the parser compiled once against a table's fields (names
// become field indexes, functions become function pointers, types are checked) and then
// evaluated per record without any lookup by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/table_access.h"
#include "engine/sql/value_ops.h"

namespace engine::sql {

// The static type of an expression: a FoxPro type letter ('X' for an untyped null), the
// width and decimals a result column gets, and whether the value may be null.
struct TypeInfo {
    char type = 'X';
    int length = 0;
    int decimals = 0;
    bool nullable = false;
    Kind GetKind() const { return KindOfType(type); }
};

// The record an expression is evaluated on.
struct RowView {
    const std::vector<Value>* values = nullptr;
    bool deleted = false;
    RecordNumber record = 0;
};

class Node {
public:
    enum class Shape { kConstant, kField, kBinary, kOther };
    virtual ~Node() = default;
    virtual Value Eval(const RowView& row) const = 0;

    TypeInfo type;
    Shape shape = Shape::kOther;
    size_t pos = 0;
};
using NodePtr = std::unique_ptr<Node>;

class ConstantNode : public Node {
public:
    explicit ConstantNode(Value v) : value(std::move(v)) { shape = Shape::kConstant; }
    Value Eval(const RowView&) const override { return value; }
    Value value;
};

class FieldNode : public Node {
public:
    explicit FieldNode(size_t i) : index(i) { shape = Shape::kField; }
    Value Eval(const RowView& row) const override { return (*row.values)[index]; }
    size_t index;
};

class BinaryNode : public Node {
public:
    BinaryNode(Op o, NodePtr a, NodePtr b) : op(o), left(std::move(a)), right(std::move(b)) { shape = Shape::kBinary; }
    Value Eval(const RowView& row) const override;
    Op op;
    NodePtr left, right;
};

class Session;

// A further table of a join: its fields stand in the row from offset on.
struct ScopeTable {
    const std::vector<FieldInfo>* fields = nullptr;
    std::string tableName;
    std::string alias;
    size_t offset = 0;
};

// The names an expression may use: the fields of one table under its name or alias, and
// those of the tables joined to it (more), whose values follow in the row. A name that more
// than one of them holds must be qualified. No table (fields empty) for INSERT values.
struct Scope {
    const std::vector<FieldInfo>* fields = nullptr;
    std::string tableName;
    std::string alias;
    std::vector<ScopeTable> more;
    // Runs the queries in IN (SELECT ...) and EXISTS (...); without one they are refused.
    Session* session = nullptr;
    // When set, binding marks the row positions of the fields it uses (by row offset).
    std::vector<bool>* used = nullptr;
};

// True for COUNT, SUM, AVG, MIN and MAX called as aggregates (MIN and MAX of one value).
bool IsAggregateCall(const Expr& e);

// Index of the field named `name` (case-insensitive), or -1.
int FindField(const std::vector<FieldInfo>& fields, std::string_view name);

// Compiles an expression. Throws engine::Error: kUnknownField, kTypeMismatch, kArgumentCount,
// kSyntax (unknown function), each naming the name or operator and the position.
NodePtr Bind(const Expr& expr, const Scope& scope);

// The truth of a condition: only true counts (null and false do not).
inline bool IsTrue(const Value& v) {
    const bool* b = v.If<bool>();
    return b && *b;
}

}  // namespace engine::sql
