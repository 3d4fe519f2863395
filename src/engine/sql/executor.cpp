#include "engine/sql/executor.h"

#include <cmath>

#include "engine/sql/query.h"
#include "engine/sql/sql_errors.h"
#include "engine/sql/table_select.h"

namespace engine::sql {
namespace {

std::string At(size_t pos) { return " at position " + std::to_string(pos + 1); }

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

struct Runner {
    Session& session;
    Outcome& outcome;

    void operator()(BoundSelect& b) {
        outcome.rows = RunSelect(b, session);
        outcome.recordsAffected = static_cast<long>(outcome.rows->rows.size());
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
            result.rows = HeldRows(RunQuery(**query, session));
            return result;
        }
        if (i + 1 < bound.size() || !select) {
            std::visit(runner, bound[i]);
            continue;
        }
        if (select->order.empty()) {
            result.rows = SelectRows(std::move(*select), session);
        } else {
            runner(*select);
            result.rows = HeldRows(std::move(*outcome.rows));
        }
        return result;
    }
    result.recordsAffected = outcome.recordsAffected;
    return result;
}

}  // namespace engine::sql
