// The FROM clause of a query: one table, or several joined (INNER, LEFT, RIGHT, FULL JOIN
// ... ON, and the comma or CROSS JOIN), producing rows that hold the fields of every table one
// after the other. Equality conditions between the tables joined so far and the next one
// (from ON, or from WHERE when every join is inner) are answered through a hash map instead of
// pairing every row with every row; WHERE conditions on one table alone narrow that table
// before the join (through its index where it has one). When few rows meet a table whose
// index covers the key field, only that table's matching records are read; when every table
// after the first has a tag on its key field, each row's partners are looked up in the tags.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/sql/ast.h"
#include "engine/sql/expression.h"
#include "engine/sql/session.h"

namespace engine::sql {

class JoinedSource {
public:
    // Opens each table for its fields and binds the ON conditions. where (may be null) is the
    // query's WHERE, read for conditions it can help with. Throws as binding does.
    JoinedSource(const SelectStmt& s, const Settings& settings, Session& session);
    ~JoinedSource();

    // All tables, for binding the query's expressions.
    const Scope& FullScope() const { return m_scope; }
    size_t Width() const { return m_width; }
    // The fields of the table with that alias or name, with its offset; nullptr when none.
    const std::vector<FieldInfo>* TableFields(const std::string& qualifier, size_t& offset) const;
    // All fields in row order, with the alias or table of each.
    std::vector<std::pair<FieldInfo, std::string>> AllFields() const;
    const std::string& FirstTableName() const;
    // The one table of a FROM without joins, opened; null when tables are joined.
    std::unique_ptr<TableAccess> OpenAlone(Session& session) const;

    // Calls fn for every joined row that meets the bound condition where (null: all), which
    // the source may also use to read only candidate records.
    void ForEachRow(Session& session, const Node* where, const std::function<void(const RowView&)>& fn) const;
    // As ForEachRow, with the rows in ascending order of field (a field of the first table),
    // equal keys in the first table's record order: the first table is read in the order of
    // its tag on the field and the further tables' partners looked up in their tags. False
    // when the join cannot be read so, or when the tag turns out not to order the values: then
    // the caller drops the rows fn was given, if any, and reads them with ForEachRow.
    bool ForEachRowInOrder(Session& session, const Node* where, size_t field,
                           const std::function<void(const RowView&)>& fn) const;

private:
    struct Table;
    struct Step;
    std::vector<std::vector<Value>> ReadTable(Session& session, const Table& table) const;
    // The rows of table k that match the few rows before it on an indexed key, found through
    // the table's index; nullopt when the table has no index for the key.
    std::optional<std::vector<std::vector<Value>>> ReadByIndex(Session& session, size_t k,
                                                               const std::vector<std::vector<Value>>& left) const;
    // Tables joined (inner or left) each on a field of its own that a tag of its index orders:
    // each row of the tables before looks its partners up in the tag, and no table is held in
    // memory. False (nothing done) when the join is not of that form or reading the second
    // table whole is cheaper.
    // With first, the first table is read in the order first lists, stopping (first->broken)
    // when that does not order first->field ascending, equal keys in record order.
    struct FirstOrder;
    bool IndexNestedLoop(Session& session, const Node* where, const std::function<void(const RowView&)>& fn,
                         FirstOrder* first = nullptr) const;
    std::vector<std::unique_ptr<Table>> m_tables;
    std::vector<std::unique_ptr<Step>> m_steps;  // one per table after the first
    Scope m_scope;
    size_t m_width = 0;
};

}  // namespace engine::sql
