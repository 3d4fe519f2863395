#include "engine/sql/join.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

#include "engine/sql/index_order.h"
#include "engine/sql/lexer.h"
#include "engine/sql/parser.h"
#include "engine/sql/sql_errors.h"
#include "engine/sql/lookup.h"
#include "engine/sql/row_key.h"

namespace engine::sql {

struct JoinedSource::Table {
    TableRef ref;
    OpenMode mode = OpenMode::kShared;
    std::vector<FieldInfo> fields;
    size_t offset = 0;
    std::vector<NodePtr> filters;  // WHERE conditions on this table alone, bound to it alone
};

struct JoinedSource::FirstOrder {
    size_t field = 0;
    std::vector<RecordNumber> records;
    bool broken = false;
};

struct JoinedSource::Step {
    JoinClause::Kind kind = JoinClause::Kind::kInner;
    std::vector<NodePtr> conditions;  // over the tables up to and with this one
    std::vector<NodePtr> leftKeys;    // over the tables before this one
    std::vector<NodePtr> rightKeys;   // over this table alone
};

namespace {

void Conjuncts(const Expr& e, std::vector<const Expr*>& out) {
    if (e.kind == Expr::Kind::kBinary && e.op == Op::kAnd) {
        Conjuncts(*e.args[0], out);
        Conjuncts(*e.args[1], out);
    } else {
        out.push_back(&e);
    }
}

NodePtr TryBind(const Expr& e, const Scope& scope) {
    try {
        return Bind(e, scope);
    } catch (const Error&) {
        return nullptr;
    }
}

bool AllTrue(const std::vector<NodePtr>& conditions, const RowView& row) {
    for (const NodePtr& c : conditions) {
        if (!IsTrue(c->Eval(row))) return false;
    }
    return true;
}

// Looking a key up in a tag costs about as much as reading this many records in order: a join
// looks up the rows of its first table in the second's tag only when they are fewer than the
// second's records divided by this.
constexpr size_t kLookupCost = 4;

std::unique_ptr<TableAccess> OpenBound(Session& session, const TableRef& ref, OpenMode mode,
                                       const std::vector<FieldInfo>& fields) {
    auto table = session.Provider().Open(ref.name, mode);
    if (table->Fields() != fields)
        throw Error(engine::err::kCorruptTable, "The structure of table '" + ref.name + "' changed");
    return table;
}

// The key expression of a tag of the table's index (one that holds every record) that has
// field alone as its key, or empty.
std::string TagForField(TableAccess& table, const Scope& scope, size_t field) {
    for (const std::string& tag : table.OrderTags()) {
        try {
            const NodePtr key = Bind(*ParseExpression(tag), scope);
            if (key->shape == Node::Shape::kField && static_cast<const FieldNode&>(*key).index == field) return tag;
        } catch (const Error&) {
        }
    }
    return {};
}

bool TagOnField(TableAccess& table, const Scope& scope, size_t field) {
    return !TagForField(table, scope, field).empty();
}

// The key of the row under keys, or false when a part is null (null equals nothing).
bool KeyOf(const std::vector<NodePtr>& keys, const RowView& row, std::string& key) {
    key.clear();
    for (const NodePtr& k : keys) {
        const Value v = k->Eval(row);
        if (v.IsNull()) return false;
        AppendKey(key, v);
    }
    return true;
}

}  // namespace

JoinedSource::~JoinedSource() = default;

JoinedSource::JoinedSource(const SelectStmt& s, const Settings& settings, Session& session) {
    auto add = [&](const TableRef& ref) {
        auto t = std::make_unique<Table>();
        t->ref = ref;
        t->mode = settings.exclusive ? OpenMode::kExclusive : OpenMode::kShared;
        t->fields = session.Provider().Open(ref.name, t->mode)->Fields();
        t->offset = m_width;
        m_width += t->fields.size();
        m_tables.push_back(std::move(t));
    };
    add(s.table);
    for (const JoinClause& j : s.joins) add(j.table);

    // Scopes over the first n tables, and over table i alone.
    auto upTo = [&](size_t n) {
        Scope scope{&m_tables[0]->fields, m_tables[0]->ref.name, m_tables[0]->ref.alias, {}, &session};
        for (size_t i = 1; i < n; ++i)
            scope.more.push_back(
                {&m_tables[i]->fields, m_tables[i]->ref.name, m_tables[i]->ref.alias, m_tables[i]->offset});
        return scope;
    };
    auto alone = [&](size_t i) {
        return Scope{&m_tables[i]->fields, m_tables[i]->ref.name, m_tables[i]->ref.alias, {}, &session};
    };
    m_scope = upTo(m_tables.size());

    // Equality parts a = b with a over the tables before step k and b over table k alone
    // become hash keys of that step.
    auto addKeys = [&](const Expr& c, size_t k) {
        if (c.kind != Expr::Kind::kBinary || c.op != Op::kEq) return;
        for (int side = 0; side < 2; ++side) {
            NodePtr left = TryBind(*c.args[side], upTo(k));
            NodePtr right = left ? TryBind(*c.args[1 - side], alone(k)) : nullptr;
            if (!left || !right) continue;
            const Kind a = left->type.GetKind(), b = right->type.GetKind();
            if (a != b && !((a == Kind::kDate || a == Kind::kDateTime) && (b == Kind::kDate || b == Kind::kDateTime)))
                return;
            m_steps[k - 1]->leftKeys.push_back(std::move(left));
            m_steps[k - 1]->rightKeys.push_back(std::move(right));
            return;
        }
    };

    bool allInner = true;
    for (size_t k = 1; k < m_tables.size(); ++k) {
        const JoinClause& j = s.joins[k - 1];
        auto step = std::make_unique<Step>();
        step->kind = j.kind;
        allInner &= j.kind == JoinClause::Kind::kInner || j.kind == JoinClause::Kind::kComma;
        m_steps.push_back(std::move(step));
        if (!j.on) continue;
        NodePtr on = Bind(*j.on, upTo(k + 1));
        const Kind kind = on->type.GetKind();
        if (kind != Kind::kLogical && kind != Kind::kAny)
            throw Error(engine::err::kTypeMismatch, std::string("The ON condition must be logical, not ") +
                                                        KindName(kind) + " at position " +
                                                        std::to_string(j.on->pos + 1));
        m_steps[k - 1]->conditions.push_back(std::move(on));
        std::vector<const Expr*> parts;
        Conjuncts(*j.on, parts);
        for (const Expr* c : parts) addKeys(*c, k);
    }
    // With only inner joins, WHERE may narrow each table first and pair tables by its equalities.
    if (s.where && allInner && m_tables.size() > 1) {
        std::vector<const Expr*> parts;
        Conjuncts(*s.where, parts);
        for (const Expr* c : parts) {
            for (size_t i = 0; i < m_tables.size(); ++i) {
                if (NodePtr local = TryBind(*c, alone(i))) {
                    m_tables[i]->filters.push_back(std::move(local));
                    break;
                }
            }
            for (size_t k = 1; k < m_tables.size(); ++k) {
                NodePtr whole = TryBind(*c, upTo(k + 1));
                if (!whole || TryBind(*c, upTo(k))) continue;  // belongs to an earlier step
                const size_t before = m_steps[k - 1]->leftKeys.size();
                addKeys(*c, k);
                if (m_steps[k - 1]->leftKeys.size() > before) m_steps[k - 1]->conditions.push_back(std::move(whole));
                break;
            }
        }
    }
}

const std::vector<FieldInfo>* JoinedSource::TableFields(const std::string& qualifier, size_t& offset) const {
    for (const auto& t : m_tables) {
        std::string name = t->ref.name;
        if (const size_t slash = name.find_last_of("/\\"); slash != std::string::npos) name = name.substr(slash + 1);
        if (name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".dbf")) name.resize(name.size() - 4);
        if (EqualsNoCase(qualifier, t->ref.alias) || EqualsNoCase(qualifier, name)) {
            offset = t->offset;
            return &t->fields;
        }
    }
    return nullptr;
}

std::vector<std::pair<FieldInfo, std::string>> JoinedSource::AllFields() const {
    std::vector<std::pair<FieldInfo, std::string>> out;
    for (const auto& t : m_tables) {
        for (const FieldInfo& f : t->fields) out.emplace_back(f, t->ref.alias.empty() ? t->ref.name : t->ref.alias);
    }
    return out;
}

const std::string& JoinedSource::FirstTableName() const { return m_tables[0]->ref.name; }

std::unique_ptr<TableAccess> JoinedSource::OpenAlone(Session& session) const {
    if (m_tables.size() != 1) return nullptr;
    const Table& t = *m_tables[0];
    return OpenBound(session, t.ref, t.mode, t.fields);
}

std::vector<std::vector<Value>> JoinedSource::ReadTable(Session& session, const Table& t) const {
    auto table = session.Provider().Open(t.ref.name, t.mode);
    if (table->Fields() != t.fields)
        throw Error(engine::err::kCorruptTable, "The structure of table '" + t.ref.name + "' changed");
    const bool hideDeleted = session.Options().deleted;
    const RecordNumber count = table->RecordCount();
    std::optional<std::vector<RecordNumber>> candidates;
    for (const NodePtr& f : t.filters) {
        if ((candidates = CandidateRecords(*table, f.get()))) break;
    }
    std::vector<std::vector<Value>> rows;
    Record record;
    auto visit = [&](RecordNumber n) {
        table->Read(n, record);
        if (record.deleted && hideDeleted) return;
        if (!AllTrue(t.filters, RowView{&record.values, record.deleted, n})) return;
        rows.push_back(record.values);
    };
    if (candidates) {
        for (RecordNumber n : *candidates) {
            if (n < count) visit(n);
        }
    } else {
        for (RecordNumber n = 0; n < count; ++n) visit(n);
    }
    return rows;
}

std::optional<std::vector<std::vector<Value>>> JoinedSource::ReadByIndex(
    Session& session, size_t k, const std::vector<std::vector<Value>>& left) const {
    const Step& step = *m_steps[k - 1];
    const Table& t = *m_tables[k];
    if (step.rightKeys.size() != 1 || step.rightKeys[0]->shape != Node::Shape::kField) return std::nullopt;
    if (step.kind == JoinClause::Kind::kRight || step.kind == JoinClause::Kind::kFull) return std::nullopt;
    auto table = session.Provider().Open(t.ref.name, t.mode);
    if (table->Fields() != t.fields)
        throw Error(engine::err::kCorruptTable, "The structure of table '" + t.ref.name + "' changed");
    const RecordNumber count = table->RecordCount();
    if (left.size() * 8 >= count) return std::nullopt;  // reading the whole table is cheaper
    const size_t field = static_cast<const FieldNode&>(*step.rightKeys[0]).index;
    const bool hideDeleted = session.Options().deleted;
    std::vector<RecordNumber> wanted;
    for (const std::vector<Value>& l : left) {
        const Value key = step.leftKeys[0]->Eval(RowView{&l, false, 0});
        if (key.IsNull()) continue;
        auto found = table->LookupEqual(field, key);
        if (!found) return std::nullopt;
        wanted.insert(wanted.end(), found->begin(), found->end());
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    std::vector<std::vector<Value>> rows;
    Record record;
    for (RecordNumber n : wanted) {
        if (n >= count) continue;
        table->Read(n, record);
        if (record.deleted && hideDeleted) continue;
        if (!AllTrue(t.filters, RowView{&record.values, record.deleted, n})) continue;
        rows.push_back(record.values);
    }
    return rows;
}

bool JoinedSource::IndexNestedLoop(Session& session, const Node* where, const std::function<void(const RowView&)>& fn,
                                   FirstOrder* first) const {
    const size_t n = m_tables.size();
    if (n < 2) return false;
    // Every table after the first joins (inner or left) on one of its fields that a tag orders.
    std::vector<std::unique_ptr<TableAccess>> open;
    std::vector<size_t> keyField(n, 0);
    const Table& lt = *m_tables[0];
    open.push_back(OpenBound(session, lt.ref, lt.mode, lt.fields));
    for (size_t k = 1; k < n; ++k) {
        const Step& step = *m_steps[k - 1];
        const Table& t = *m_tables[k];
        if (step.kind == JoinClause::Kind::kRight || step.kind == JoinClause::Kind::kFull) return false;
        if (step.rightKeys.size() != 1 || step.rightKeys[0]->shape != Node::Shape::kField) return false;
        keyField[k] = static_cast<const FieldNode&>(*step.rightKeys[0]).index;
        open.push_back(OpenBound(session, t.ref, t.mode, t.fields));
        if (!TagOnField(*open[k], Scope{&t.fields, t.ref.name, t.ref.alias, {}, &session}, keyField[k])) return false;
    }
    TableAccess& left = *open[0];
    std::optional<std::vector<RecordNumber>> leftRecords;
    for (const NodePtr& f : lt.filters) {
        if ((leftRecords = CandidateRecords(left, f.get()))) break;
    }
    if (first && leftRecords) return false;  // a few candidates are read in record order and sorted
    const RecordNumber leftCount = left.RecordCount();
    const size_t leftRows = leftRecords ? leftRecords->size() : leftCount;
    if (leftRows * kLookupCost >= open[1]->RecordCount()) return false;

    const bool hideDeleted = session.Options().deleted;
    std::vector<Value> joined(m_width);
    std::vector<std::vector<RecordNumber>> everyRecord(n);  // partners when a tag cannot answer: all
    std::vector<Record> records(n);
    // Pairs the row made of tables before k with its partners in table k, on to the last.
    std::function<void(size_t)> joinFrom = [&](size_t k) {
        if (k == n) {
            const RowView view{&joined, false, 0};
            if (!where || IsTrue(where->Eval(view))) fn(view);
            return;
        }
        const Step& step = *m_steps[k - 1];
        const Table& t = *m_tables[k];
        TableAccess& table = *open[k];
        const RecordNumber count = table.RecordCount();
        const auto at = joined.begin() + static_cast<std::ptrdiff_t>(t.offset);
        bool matched = false;
        const Value key = step.leftKeys[0]->Eval(RowView{&joined, false, 0});
        if (!key.IsNull()) {
            std::optional<std::vector<RecordNumber>> found = table.LookupEqual(keyField[k], key);
            if (!found && everyRecord[k].empty()) {
                everyRecord[k].resize(count);
                std::iota(everyRecord[k].begin(), everyRecord[k].end(), RecordNumber{0});
            }
            Record& r = records[k];
            for (RecordNumber m : found ? *found : everyRecord[k]) {
                if (m >= count) continue;
                table.Read(m, r);
                if (r.deleted && hideDeleted) continue;
                if (!AllTrue(t.filters, RowView{&r.values, r.deleted, m})) continue;
                std::copy(r.values.begin(), r.values.end(), at);
                if (!AllTrue(step.conditions, RowView{&joined, false, 0})) continue;
                matched = true;
                joinFrom(k + 1);
            }
        }
        if (!matched && step.kind == JoinClause::Kind::kLeft) {
            std::fill(at, at + static_cast<std::ptrdiff_t>(t.fields.size()), Value());
            joinFrom(k + 1);
        }
    };
    Record& l = records[0];
    Value previousKey;
    RecordNumber previous = 0;
    bool any = false;
    // Whether record r (with its values in l) comes after the one before in first's order.
    auto follows = [&](RecordNumber r) {
        const Value& key = l.values[first->field];
        const int cmp = any ? OrderCompare(previousKey, key) : -1;
        if (cmp > 0 || (cmp == 0 && previous > r)) return false;
        previousKey = key;
        previous = r;
        any = true;
        return true;
    };
    auto visit = [&](RecordNumber r) {
        left.Read(r, l);
        if (l.deleted && hideDeleted) return true;
        if (!AllTrue(lt.filters, RowView{&l.values, l.deleted, r})) return true;
        if (first && !follows(r)) return false;
        std::copy(l.values.begin(), l.values.end(), joined.begin());
        joinFrom(1);
        return true;
    };
    if (first) {
        for (RecordNumber r : first->records) {
            if (r < leftCount && !visit(r)) {
                first->broken = true;
                break;
            }
        }
    } else if (leftRecords) {
        for (RecordNumber r : *leftRecords) {
            if (r < leftCount) visit(r);
        }
    } else {
        for (RecordNumber r = 0; r < leftCount; ++r) visit(r);
    }
    return true;
}

bool JoinedSource::ForEachRowInOrder(Session& session, const Node* where, size_t field,
                                     const std::function<void(const RowView&)>& fn) const {
    const Table& t = *m_tables[0];
    if (m_tables.size() < 2 || field >= t.fields.size()) return false;
    auto table = OpenBound(session, t.ref, t.mode, t.fields);
    const std::string tag = TagForField(*table, Scope{&t.fields, t.ref.name, t.ref.alias, {}, &session}, field);
    if (tag.empty()) return false;
    auto records = RecordsInOrder(*table, tag);
    if (!records) return false;
    FirstOrder first{field, std::move(*records), false};
    return IndexNestedLoop(session, where, fn, &first) && !first.broken;
}

void JoinedSource::ForEachRow(Session& session, const Node* where,
                              const std::function<void(const RowView&)>& fn) const {
    if (IndexNestedLoop(session, where, fn)) return;
    if (m_tables.size() == 1) {
        const Table& t = *m_tables[0];
        auto table = session.Provider().Open(t.ref.name, t.mode);
        if (table->Fields() != t.fields)
            throw Error(engine::err::kCorruptTable, "The structure of table '" + t.ref.name + "' changed");
        const bool hideDeleted = session.Options().deleted;
        const RecordNumber count = table->RecordCount();
        Record record;
        auto visit = [&](RecordNumber n) {
            table->Read(n, record);
            if (record.deleted && hideDeleted) return;
            const RowView row{&record.values, record.deleted, n};
            if (where && !IsTrue(where->Eval(row))) return;
            fn(row);
        };
        if (auto candidates = CandidateRecords(*table, where)) {
            for (RecordNumber n : *candidates) {
                if (n < count) visit(n);
            }
        } else {
            for (RecordNumber n = 0; n < count; ++n) visit(n);
        }
        return;
    }
    std::vector<std::vector<Value>> rows = ReadTable(session, *m_tables[0]);
    for (size_t k = 1; k < m_tables.size(); ++k) {
        const Step& step = *m_steps[k - 1];
        auto indexed = ReadByIndex(session, k, rows);
        const std::vector<std::vector<Value>> right = indexed ? std::move(*indexed) : ReadTable(session, *m_tables[k]);
        const size_t leftWidth = m_tables[k]->offset, rightWidth = m_tables[k]->fields.size();
        std::unordered_map<std::string, std::vector<size_t>> byKey;
        std::string key;
        if (!step.rightKeys.empty()) {
            for (size_t i = 0; i < right.size(); ++i) {
                if (KeyOf(step.rightKeys, RowView{&right[i], false, 0}, key)) byKey[key].push_back(i);
            }
        }
        // The last step hands its rows on as they are made; earlier ones collect them.
        const bool last = k + 1 == m_tables.size();
        std::vector<std::vector<Value>> out;
        auto emit = [&](const std::vector<Value>& row) {
            if (!last) {
                out.push_back(row);
                return;
            }
            const RowView view{&row, false, 0};
            if (where && !IsTrue(where->Eval(view))) return;
            fn(view);
        };
        std::vector<bool> rightMatched(right.size(), false);
        std::vector<Value> pair(leftWidth + rightWidth);
        auto tryPair = [&](size_t ri) {
            std::copy(right[ri].begin(), right[ri].end(), pair.begin() + static_cast<std::ptrdiff_t>(leftWidth));
            if (!AllTrue(step.conditions, RowView{&pair, false, 0})) return false;
            emit(pair);
            rightMatched[ri] = true;
            return true;
        };
        const bool keepLeft = step.kind == JoinClause::Kind::kLeft || step.kind == JoinClause::Kind::kFull;
        const bool keepRight = step.kind == JoinClause::Kind::kRight || step.kind == JoinClause::Kind::kFull;
        for (const std::vector<Value>& l : rows) {
            bool matched = false;
            const std::vector<size_t>* candidates = nullptr;
            if (!step.leftKeys.empty()) {
                if (!KeyOf(step.leftKeys, RowView{&l, false, 0}, key)) key.clear();
                if (auto it = byKey.find(key); !key.empty() && it != byKey.end()) candidates = &it->second;
                if (!candidates && !keepLeft) continue;
            }
            std::copy(l.begin(), l.end(), pair.begin());
            if (candidates) {
                for (size_t ri : *candidates) matched |= tryPair(ri);
            } else if (step.leftKeys.empty()) {
                for (size_t ri = 0; ri < right.size(); ++ri) matched |= tryPair(ri);
            }
            if (!matched && keepLeft) {
                std::vector<Value> row = l;
                row.resize(leftWidth + rightWidth);
                emit(row);
            }
        }
        if (keepRight) {
            for (size_t ri = 0; ri < right.size(); ++ri) {
                if (rightMatched[ri]) continue;
                std::vector<Value> row(leftWidth);
                row.insert(row.end(), right[ri].begin(), right[ri].end());
                emit(row);
            }
        }
        rows = std::move(out);
    }
}

}  // namespace engine::sql
