#include "engine/sql/executor.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "engine/sql/expression.h"
#include "engine/sql/index_order.h"
#include "engine/sql/lookup.h"
#include "engine/sql/parser.h"
#include "engine/sql/query.h"
#include "engine/sql/sql_errors.h"

namespace engine::sql {
namespace {

std::string At(size_t pos) { return " at position " + std::to_string(pos + 1); }

// A table named by a statement: where to find it again at run time and its fields as bound.
struct BoundTable {
    TableRef ref;
    OpenMode mode = OpenMode::kShared;
    std::vector<FieldInfo> fields;
};

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

struct SortKey {
    int column = -1;  // a result column, or -1 for expr over the source record
    NodePtr expr;
    bool descending = false;
};

struct BoundSelect {
    BoundTable table;
    std::vector<NodePtr> columns;
    std::vector<FieldInfo> fields;
    std::vector<int> sourceFields;
    NodePtr where;
    std::vector<SortKey> order;
    std::string orderTag;  // the key expression of a tag that gives the order, or empty
};

struct BoundDelete {
    BoundTable table;
    NodePtr where;
};

struct BoundInsert {
    BoundTable table;
    std::vector<int> targets;  // per value: the field it goes to
    std::vector<NodePtr> values;
    std::shared_ptr<BoundQuery> select;  // INSERT ... SELECT: per row, one value per target
};

struct BoundUpdate {
    BoundTable table;
    std::vector<std::pair<int, NodePtr>> sets;
    NodePtr where;
};

using BoundQueryPtr = std::shared_ptr<BoundQuery>;
using BoundStatement = std::variant<BoundSelect, BoundDelete, BoundInsert, BoundUpdate, SetStmt, PackStmt, ReindexStmt,
                                    CloseStmt, BoundQueryPtr>;

FieldInfo ResultField(const TypeInfo& t, std::string name) {
    FieldInfo f{std::move(name), t.type, t.length, t.decimals, t.nullable};
    if (f.type == 'X') f = FieldInfo{f.name, 'C', 1, 0, true};
    if (f.type == 'N' && f.length <= 0) f.length = 10;
    return f;
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

void CheckAssignable(const FieldInfo& field, const TypeInfo& value, size_t pos) {
    const Kind f = KindOfType(field.type), v = value.GetKind();
    const bool time = (f == Kind::kDate || f == Kind::kDateTime) && (v == Kind::kDate || v == Kind::kDateTime);
    if (v == Kind::kAny || f == v || time) return;
    throw Error(engine::err::kTypeMismatch, "Data type mismatch" + At(pos) + ": field '" + field.name + "' is " +
                                                KindName(f) + ", the value is " + KindName(v));
}

// A statement may not number an autoincrement field itself unless SET AUTOINCERROR is OFF.
void CheckNotAutoIncrement(const FieldInfo& field, const Settings& settings, size_t pos) {
    if (field.autoIncrement && settings.autoIncError)
        throw Error(engine::err::kAutoIncrementField, "Field '" + field.name + "' is read-only" + At(pos) +
                                                          ": the table numbers it itself (autoincrement)");
}

// The value as the field's kind wants it. Throws kNullNotAllowed.
Value Coerce(const Value& v, const FieldInfo& field) {
    if (v.IsNull()) {
        if (!field.nullable)
            throw Error(err::kNullNotAllowed, "Field '" + field.name + "' does not accept null values");
        return v;
    }
    switch (field.type) {
        case 'I': {
            if (v.Is<int64_t>()) return v;
            const double d = ToDouble(v);
            if (!(std::fabs(d) < 3e9))
                throw Error(engine::err::kValueTooLarge, "Numeric overflow for field '" + field.name + "'");
            return Value(static_cast<int64_t>(std::llround(d)));
        }
        case 'Y': {
            const std::optional<Currency> amount = CurrencyOf(v);
            if (!amount) throw Error(engine::err::kValueTooLarge, "Numeric overflow for field '" + field.name + "'");
            return *amount;
        }
        case 'B': return ToDouble(v);
        case 'N':
        case 'F': return v;  // stored from its exact digits
        case 'D': return v.Is<DateTime>() ? Value(Date{v.As<DateTime>().julianDay}) : v;
        case 'T': return v.Is<Date>() ? Value(DateTime{v.As<Date>().julianDay, 0}) : v;
        default: return v;
    }
}

// What a field holds when an INSERT gives it no value: null where allowed (and for an
// autoincrement field, which the table then numbers), else its blank.
Value BlankValue(const FieldInfo& f) {
    if (f.nullable || f.autoIncrement) return Value();
    switch (KindOfType(f.type)) {
        case Kind::kChar: return std::string();
        case Kind::kNumber:
            if (f.type == 'Y') return Currency{};
            if (f.type == 'B' || f.decimals > 0) return 0.0;
            return int64_t{0};
        case Kind::kLogical: return false;
        case Kind::kDate: return Date{};
        case Kind::kDateTime: return DateTime{};
        default: return Bytes{};
    }
}

bool& Option(Settings& settings, SetStmt::Option option) {
    switch (option) {
        case SetStmt::Option::kDeleted: return settings.deleted;
        case SetStmt::Option::kExclusive: return settings.exclusive;
        default: return settings.autoIncError;
    }
}

struct Binder {
    Session& session;
    Settings settings;

    BoundStatement operator()(const SelectStmt& s) {
        if (NeedsQueryPlan(s)) return BindQuery(s, settings, session);
        return BindSelect(s, settings, session);
    }

    BoundStatement operator()(const DeleteStmt& s) {
        BoundDelete b{BindTable(s.table, settings, session), nullptr};
        b.where = BindCondition(s.where, ScopeOf(b.table, session));
        return b;
    }

    BoundStatement operator()(const InsertStmt& s) {
        BoundInsert b{BindTable(s.table, settings, session), {}, {}, nullptr};
        const Scope noFields{};
        if (s.fields.empty()) {
            // Without a field list the values go to every field but those the table numbers
            // itself (when it refuses values for them).
            for (size_t i = 0; i < b.table.fields.size(); ++i) {
                if (!b.table.fields[i].autoIncrement || !settings.autoIncError)
                    b.targets.push_back(static_cast<int>(i));
            }
        }
        for (const NamePos& name : s.fields) {
            const int i = FindField(b.table.fields, name.name);
            if (i < 0)
                throw Error(engine::err::kUnknownField, "Column '" + name.name + "' is not found" + At(name.pos));
            CheckNotAutoIncrement(b.table.fields[i], settings, name.pos);
            b.targets.push_back(i);
        }
        if (s.select) {
            b.select = BindQuery(*s.select, settings, session);
            const std::vector<FieldInfo>& columns = QueryFields(*b.select);
            if (columns.size() != b.targets.size())
                throw Error(engine::err::kSyntax, "Syntax error near 'SELECT'" + At(s.valuesPos) + ": " +
                                                      std::to_string(columns.size()) + " columns for " +
                                                      std::to_string(b.targets.size()) + " fields");
            for (size_t i = 0; i < columns.size(); ++i) {
                const FieldInfo& c = columns[i];
                CheckAssignable(b.table.fields[b.targets[i]], TypeInfo{c.type, c.length, c.decimals, c.nullable},
                                s.valuesPos);
            }
            return b;
        }
        if (s.values.size() != b.targets.size())
            throw Error(engine::err::kSyntax, "Syntax error near 'VALUES'" + At(s.valuesPos) + ": " +
                                                  std::to_string(s.values.size()) + " values for " +
                                                  std::to_string(b.targets.size()) + " fields");
        for (size_t i = 0; i < s.values.size(); ++i) {
            b.values.push_back(Bind(*s.values[i], noFields));
            CheckAssignable(b.table.fields[b.targets[i]], b.values.back()->type, s.values[i]->pos);
        }
        return b;
    }

    BoundStatement operator()(const UpdateStmt& s) {
        BoundUpdate b{BindTable(s.table, settings, session), {}, nullptr};
        const Scope scope = ScopeOf(b.table, session);
        for (const Assignment& a : s.sets) {
            const int i = FindField(b.table.fields, a.field.name);
            if (i < 0)
                throw Error(engine::err::kUnknownField, "Column '" + a.field.name + "' is not found" + At(a.field.pos));
            CheckNotAutoIncrement(b.table.fields[i], settings, a.field.pos);
            NodePtr value = Bind(*a.value, scope);
            CheckAssignable(b.table.fields[i], value->type, a.value->pos);
            b.sets.emplace_back(i, std::move(value));
        }
        b.where = BindCondition(s.where, scope);
        return b;
    }

    BoundStatement operator()(const SetStmt& s) {
        Option(settings, s.option) = s.on;
        return s;
    }

    BoundStatement operator()(const PackStmt& s) {
        if (!settings.exclusive)
            throw Error(err::kMustBeExclusive, "File must be opened exclusively: PACK '" + s.table.name + "'");
        return s;
    }

    BoundStatement operator()(const CloseStmt& s) { return s; }

    BoundStatement operator()(const ReindexStmt& s) {
        if (!settings.exclusive)
            throw Error(err::kMustBeExclusive, "File must be opened exclusively: REINDEX '" + s.table.name + "'");
        return s;
    }
};

// Calls fn(record number, record) for every record that is visible and meets the condition,
// in record order. Uses the table's index for a "field = constant" part of the condition.
template <class Fn>
void ForEachMatch(TableAccess& table, const Node* where, const Settings& settings, Fn fn) {
    Record record;
    auto visit = [&](RecordNumber n) {
        table.Read(n, record);
        if (record.deleted && settings.deleted) return;
        if (where && !IsTrue(where->Eval(RowView{&record.values, record.deleted, n}))) return;
        fn(n, record);
    };
    const RecordNumber count = table.RecordCount();
    if (auto candidates = CandidateRecords(table, where)) {
        for (RecordNumber n : *candidates) {
            if (n < count) visit(n);
        }
        return;
    }
    for (RecordNumber n = 0; n < count; ++n) visit(n);
}

struct Runner {
    Session& session;
    Outcome& outcome;

    // The row of the select for a record, and its sort keys when it is sorted.
    static void RowOf(const BoundSelect& b, RecordNumber n, const Record& record, std::vector<Value>& values,
                      std::vector<Value>* key) {
        const RowView row{&record.values, record.deleted, n};
        values.reserve(b.columns.size());
        for (const NodePtr& c : b.columns) values.push_back(c->Eval(row));
        if (key) {
            for (const SortKey& k : b.order) key->push_back(k.expr ? k.expr->Eval(row) : values[k.column]);
        }
    }

    void operator()(BoundSelect& b) {
        auto table = Reopen(b.table, session);
        ResultSet result;
        result.fields = b.fields;
        result.sourceFields = b.sourceFields;
        result.sourceTable = b.table.ref.name;
        std::vector<RecordNumber> records;
        // A whole table sorted by a tag's key takes the tag's order once it checks out; only
        // then are the sort keys not kept for every row when they are a result column.
        std::optional<std::vector<RecordNumber>> tagOrder;
        if (!b.orderTag.empty() && !CandidateRecords(*table, b.where.get()))
            tagOrder = RecordsInOrder(*table, b.orderTag);
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
        outcome.recordsAffected = static_cast<long>(result.rows.size());
        outcome.rows = std::move(result);
    }

    static void SortRows(const BoundSelect& b, const std::vector<std::vector<Value>>& keys, ResultSet& result,
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

    // Puts the rows (and their records) in order: order[i] is the row that goes to place i.
    static void Permute(const std::vector<size_t>& order, ResultSet& result, std::vector<RecordNumber>& records) {
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

    void operator()(BoundDelete& b) {
        auto table = Reopen(b.table, session);
        std::vector<RecordNumber> marked;
        ForEachMatch(*table, b.where.get(), session.Options(), [&](RecordNumber n, const Record& record) {
            if (!record.deleted) marked.push_back(n);
        });
        table->SetDeleted(marked, true);
        outcome.recordsAffected = static_cast<long>(marked.size());
    }

    void operator()(BoundQueryPtr& q) {
        outcome.rows = RunQuery(*q, session);
        outcome.recordsAffected = static_cast<long>(outcome.rows->rows.size());
    }

    void operator()(BoundInsert& b) {
        if (b.select) {
            // The query's rows are all read before the first is added, so a query of the
            // table itself sees none of its own new rows.
            const ResultSet rows = RunQuery(*b.select, session);
            auto table = Reopen(b.table, session);
            std::vector<Value> blank;
            for (const FieldInfo& f : b.table.fields) blank.push_back(BlankValue(f));
            std::vector<std::vector<Value>> records;
            for (const auto& row : rows.rows) {
                std::vector<Value> values = blank;
                for (size_t i = 0; i < b.targets.size(); ++i)
                    values[b.targets[i]] = Coerce(row[i], b.table.fields[b.targets[i]]);
                records.push_back(std::move(values));
            }
            for (const auto& values : records) table->Append(values);
            outcome.recordsAffected = static_cast<long>(records.size());
            return;
        }
        auto table = Reopen(b.table, session);
        std::vector<Value> values;
        for (const FieldInfo& f : b.table.fields) values.push_back(BlankValue(f));
        const std::vector<Value> none;
        for (size_t i = 0; i < b.values.size(); ++i) {
            const FieldInfo& f = b.table.fields[b.targets[i]];
            values[b.targets[i]] = Coerce(b.values[i]->Eval(RowView{&none, false, 0}), f);
        }
        table->Append(values);
        outcome.recordsAffected = 1;
    }

    void operator()(BoundUpdate& b) {
        auto table = Reopen(b.table, session);
        // Only the assigned fields are written; the rest of each record keeps its bytes.
        std::vector<RecordChange> changes;
        ForEachMatch(*table, b.where.get(), session.Options(), [&](RecordNumber n, const Record& record) {
            const RowView row{&record.values, record.deleted, n};
            RecordChange change{n, {}};
            for (const auto& [field, expr] : b.sets)
                change.fields.emplace_back(field, Coerce(expr->Eval(row), b.table.fields[field]));
            changes.push_back(std::move(change));
        });
        table->Change(changes);
        outcome.recordsAffected = static_cast<long>(changes.size());
    }

    void operator()(SetStmt& s) {
        bool& option = Option(session.Options(), s.option);
        // Tables kept open in one mode are let go when the connection changes to the other.
        if (s.option == SetStmt::Option::kExclusive && option != s.on) session.Provider().ReleaseTables();
        option = s.on;
    }

    void operator()(CloseStmt&) { session.Provider().ReleaseTables(); }

    void operator()(PackStmt& s) { session.Provider().Pack(s.table.name); }

    void operator()(ReindexStmt& s) { session.Provider().Reindex(s.table.name); }
};

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

std::vector<BoundStatement> BindAll(std::string_view text, Session& session) {
    const std::vector<Statement> statements = ParseStatements(text);
    std::vector<BoundStatement> bound;
    Binder binder{session, session.Options()};
    for (const Statement& s : statements) bound.push_back(std::visit(binder, s));
    return bound;
}

}  // namespace

Outcome Execute(std::string_view text, Session& session) {
    std::vector<BoundStatement> bound = BindAll(text, session);
    Outcome outcome;
    Runner runner{session, outcome};
    for (BoundStatement& s : bound) std::visit(runner, s);
    return outcome;
}

void Check(std::string_view text, Session& session) { BindAll(text, session); }

ForwardOutcome ExecuteForward(std::string_view text, Session& session) {
    std::vector<BoundStatement> bound = BindAll(text, session);
    ForwardOutcome result;
    Outcome outcome;
    Runner runner{session, outcome};
    for (size_t i = 0; i < bound.size(); ++i) {
        auto* select = std::get_if<BoundSelect>(&bound[i]);
        if (auto* query = std::get_if<BoundQueryPtr>(&bound[i]); query && i + 1 == bound.size()) {
            result.rows = std::make_unique<HeldRowsCursor>(RunQuery(**query, session));
            return result;
        }
        if (i + 1 < bound.size() || !select) {
            std::visit(runner, bound[i]);
            continue;
        }
        if (select->order.empty()) {
            result.rows = std::make_unique<SelectCursor>(std::move(*select), session);
        } else {
            runner(*select);
            result.rows = std::make_unique<HeldRowsCursor>(std::move(*outcome.rows));
        }
        return result;
    }
    result.recordsAffected = outcome.recordsAffected;
    return result;
}

}  // namespace engine::sql
