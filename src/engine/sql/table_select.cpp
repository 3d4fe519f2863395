#include "engine/sql/table_select.h"

#include <algorithm>
#include <numeric>

#include "engine/sql/index_order.h"
#include "engine/sql/sql_errors.h"

namespace engine::sql {
namespace {

std::string At(size_t pos) { return " at position " + std::to_string(pos + 1); }

FieldInfo ResultField(const TypeInfo& t, std::string name) {
    FieldInfo f{std::move(name), t.type, t.length, t.decimals, t.nullable};
    if (f.type == 'X') f = FieldInfo{f.name, 'C', 1, 0, true};
    if (f.type == 'N' && f.length <= 0) f.length = 10;
    return f;
}

// The row of the select for a record, and its sort keys when it is sorted.
void RowOf(const BoundSelect& b, RecordNumber n, const Record& record, std::vector<Value>& values,
           std::vector<Value>* key) {
    const RowView row{&record.values, record.deleted, n};
    values.reserve(b.columns.size());
    for (const NodePtr& c : b.columns) values.push_back(c->Eval(row));
    if (key) {
        for (const SortKey& k : b.order) key->push_back(k.expr ? k.expr->Eval(row) : values[k.column]);
    }
}

// Puts the rows (and their records) in order: order[i] is the row that goes to place i.
void Permute(const std::vector<size_t>& order, ResultSet& result, std::vector<RecordNumber>& records) {
    std::vector<std::vector<Value>> rows;
    std::vector<RecordNumber> sorted;
    rows.reserve(order.size());
    sorted.reserve(order.size());
    for (size_t i : order) {
        rows.push_back(std::move(result.rows[i]));
        sorted.push_back(records[i]);
    }
    result.rows = std::move(rows);
    records = std::move(sorted);
}

void SortRows(const BoundSelect& b, const std::vector<std::vector<Value>>& keys, ResultSet& result,
              std::vector<RecordNumber>& records) {
    std::vector<size_t> index(result.rows.size());
    std::iota(index.begin(), index.end(), 0);
    // Equal keys keep record order.
    std::sort(index.begin(), index.end(), [&](size_t x, size_t y) {
        for (size_t k = 0; k < b.order.size(); ++k) {
            const int c = OrderCompare(keys[x][k], keys[y][k]);
            if (c != 0) return b.order[k].descending ? c > 0 : c < 0;
        }
        return records[x] < records[y];
    });
    Permute(index, result, records);
}

ResultSet Run(const BoundSelect& b, Session& session) {
    auto table = Reopen(b.table, session);
    ResultSet result;
    result.fields = b.fields;
    result.sourceFields = b.sourceFields;
    result.sourceTable = b.table.ref.name;
    std::vector<RecordNumber> records;
    // A whole table sorted by a tag's key takes the tag's order once it checks out; only
    // then are the sort keys not kept for every row when they are a result column.
    std::optional<std::vector<RecordNumber>> tagOrder;
    if (!b.orderTag.empty() && !CandidateRecords(*table, b.where.get())) tagOrder = RecordsInOrder(*table, b.orderTag);
    const bool keepKeys = !b.order.empty() && !(tagOrder && b.order[0].column >= 0);
    std::vector<std::vector<Value>> keys;  // sort keys computed from the source record
    ForEachMatch(*table, b.where.get(), session.Options(), [&](RecordNumber n, const Record& record) {
        std::vector<Value> values;
        std::vector<Value> key;
        RowOf(b, n, record, values, keepKeys ? &key : nullptr);
        if (keepKeys) keys.push_back(std::move(key));
        result.rows.push_back(std::move(values));
        records.push_back(n);
    });
    std::optional<std::vector<size_t>> settled;
    if (tagOrder) {
        const int column = b.order[0].column;
        settled = SettleTagOrder(
            [&](size_t i) -> const Value& { return column >= 0 ? result.rows[i][column] : keys[i][0]; }, records,
            b.order[0].descending, RowsInTagOrder(*tagOrder, records, table->RecordCount(), b.order[0].descending));
        if (!settled && !keepKeys) {
            for (const auto& row : result.rows) keys.push_back({row[column]});
        }
    }
    if (settled) {
        Permute(*settled, result, records);
    } else if (!b.order.empty()) {
        SortRows(b, keys, result, records);
    }
    const bool plain = std::all_of(b.sourceFields.begin(), b.sourceFields.end(), [](int s) { return s >= 0; });
    if (plain) {
        result.sourceRecords = std::move(records);
        result.updatable = true;
    }
    return result;
}

// Reads the rows of one SELECT without ORDER BY as they are asked for.
class SelectCursor : public RowCursor {
public:
    SelectCursor(BoundSelect select, Session& session)
        : m_select(std::move(select)),
          m_table(Reopen(m_select.table, session)),
          m_settings(session.Options()),
          m_count(m_table->RecordCount()),
          m_candidates(CandidateRecords(*m_table, m_select.where.get())) {}

    const std::vector<FieldInfo>& Fields() const override { return m_select.fields; }

    bool Next(std::vector<Value>& row) override {
        for (;;) {
            RecordNumber n = 0;
            if (m_candidates) {
                if (m_next >= m_candidates->size()) return false;
                n = (*m_candidates)[m_next++];
                if (n >= m_count) continue;
            } else {
                if (m_next >= m_count) return false;
                n = static_cast<RecordNumber>(m_next++);
            }
            m_table->Read(n, m_record);
            if (m_record.deleted && m_settings.deleted) continue;
            const RowView view{&m_record.values, m_record.deleted, n};
            if (m_select.where && !IsTrue(m_select.where->Eval(view))) continue;
            row.clear();
            for (const NodePtr& c : m_select.columns) row.push_back(c->Eval(view));
            return true;
        }
    }

private:
    BoundSelect m_select;
    std::unique_ptr<TableAccess> m_table;
    Settings m_settings;
    RecordNumber m_count;
    std::optional<std::vector<RecordNumber>> m_candidates;
    size_t m_next = 0;
    Record m_record;
};

// Hands out rows already collected (a sorted SELECT).
class HeldRowsCursor : public RowCursor {
public:
    explicit HeldRowsCursor(ResultSet rows) : m_rows(std::move(rows)) {}
    const std::vector<FieldInfo>& Fields() const override { return m_rows.fields; }
    bool Next(std::vector<Value>& row) override {
        if (m_next >= m_rows.rows.size()) return false;
        row = std::move(m_rows.rows[m_next++]);
        return true;
    }

private:
    ResultSet m_rows;
    size_t m_next = 0;
};

}  // namespace

BoundTable BindTable(const TableRef& ref, const Settings& settings, Session& session) {
    BoundTable t{ref, settings.exclusive ? OpenMode::kExclusive : OpenMode::kShared, {}};
    t.fields = session.Provider().Open(ref.name, t.mode)->Fields();
    return t;
}

std::unique_ptr<TableAccess> Reopen(const BoundTable& t, Session& session) {
    auto table = session.Provider().Open(t.ref.name, t.mode);
    if (table->Fields() != t.fields)
        throw Error(engine::err::kCorruptTable, "The structure of table '" + t.ref.name + "' changed");
    return table;
}

Scope ScopeOf(const BoundTable& t, Session& session) { return Scope{&t.fields, t.ref.name, t.ref.alias, {}, &session}; }

NodePtr BindCondition(const ExprPtr& where, const Scope& scope) {
    if (!where) return nullptr;
    NodePtr node = Bind(*where, scope);
    const Kind k = node->type.GetKind();
    if (k != Kind::kLogical && k != Kind::kAny)
        throw Error(engine::err::kTypeMismatch,
                    std::string("The WHERE condition must be logical, not ") + KindName(k) + At(where->pos));
    return node;
}

BoundSelect BindSelect(const SelectStmt& s, const Settings& settings, Session& session) {
    BoundSelect b;
    b.table = BindTable(s.table, settings, session);
    const Scope scope = ScopeOf(b.table, session);
    for (const SelectItem& item : s.items) {
        if (!item.expr) {
            for (size_t i = 0; i < b.table.fields.size(); ++i) {
                auto node = std::make_unique<FieldNode>(i);
                const FieldInfo& f = b.table.fields[i];
                node->type = TypeInfo{f.type, f.length, f.decimals, f.nullable};
                b.columns.push_back(std::move(node));
            }
            continue;
        }
        b.columns.push_back(Bind(*item.expr, scope));
        b.columns.back()->pos = item.expr->pos;
    }
    // Column names and descriptors: fields by their (lower-case) name, else alias or Exp_n.
    size_t itemColumn = 0;
    for (const SelectItem& item : s.items) {
        const size_t count = item.expr ? 1 : b.table.fields.size();
        for (size_t k = 0; k < count; ++k, ++itemColumn) {
            const Node& node = *b.columns[itemColumn];
            const bool isField = node.shape == Node::Shape::kField;
            const int source = isField ? static_cast<int>(static_cast<const FieldNode&>(node).index) : -1;
            std::string name = !item.alias.empty() ? item.alias
                               : isField           ? LowerText(b.table.fields[source].name)
                                                   : "Exp_" + std::to_string(itemColumn + 1);
            if (isField) {
                FieldInfo f = b.table.fields[source];
                f.name = std::move(name);
                b.fields.push_back(std::move(f));
            } else {
                b.fields.push_back(ResultField(node.type, std::move(name)));
            }
            b.sourceFields.push_back(source);
        }
    }
    b.where = BindCondition(s.where, scope);
    for (const OrderItem& item : s.order) {
        SortKey key;
        key.descending = item.descending;
        const Expr& e = *item.expr;
        if (e.kind == Expr::Kind::kLiteral && e.value.Is<int64_t>()) {
            const int64_t n = e.value.As<int64_t>();
            if (n < 1 || n > static_cast<int64_t>(b.fields.size()))
                throw Error(engine::err::kSyntax,
                            "ORDER BY column number " + std::to_string(n) + " is out of range" + At(e.pos));
            key.column = static_cast<int>(n - 1);
        } else if (e.kind == Expr::Kind::kName && e.qualifier.empty()) {
            key.column = FindField(b.fields, e.name);
        }
        if (key.column < 0) key.expr = Bind(e, scope);
        b.order.push_back(std::move(key));
    }
    if (b.order.size() == 1) {
        const SortKey& key = b.order[0];
        auto table = Reopen(b.table, session);
        b.orderTag = MatchingOrderTag(*table, scope, key.expr ? *key.expr : *b.columns[key.column],
                                      key.expr ? s.order[0].expr.get() : nullptr);
    }
    return b;
}

ResultSet RunSelect(const BoundSelect& b, Session& session) { return Run(b, session); }

std::unique_ptr<RowCursor> SelectRows(BoundSelect b, Session& session) {
    return std::make_unique<SelectCursor>(std::move(b), session);
}

std::unique_ptr<RowCursor> HeldRows(ResultSet rows) { return std::make_unique<HeldRowsCursor>(std::move(rows)); }

}  // namespace engine::sql
