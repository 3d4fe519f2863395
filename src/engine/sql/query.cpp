#include "engine/sql/query.h"
#include "engine/sql/sql_errors.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/sql/aggregate.h"
#include "engine/sql/index_order.h"
#include "engine/sql/join.h"
#include "engine/sql/lexer.h"
#include "engine/sql/lookup.h"
#include "engine/sql/row_key.h"

namespace engine::sql {
namespace {

std::string At(size_t pos) { return " at position " + std::to_string(pos + 1); }

struct SortKey {
    int column = -1;  // a result column, or -1 for expr
    NodePtr expr;
    bool descending = false;
};

// One SELECT without its unions.
struct Core {
    std::unique_ptr<JoinedSource> source;
    NodePtr where;
    bool grouped = false;
    std::vector<NodePtr> groupKeys;
    std::vector<AggregateCall> aggregates;
    std::vector<FieldInfo> hidden;  // the aggregates' fields, after the source row
    std::vector<NodePtr> columns;
    NodePtr having;
    std::vector<FieldInfo> fields;
    std::vector<SortKey> order;
    bool distinct = false;
    std::vector<bool> used;  // grouped: the source fields the group's row must keep
};

bool HasSubquery(const Expr& e) {
    if (e.kind == Expr::Kind::kInQuery || e.kind == Expr::Kind::kExists) return true;
    return std::any_of(e.args.begin(), e.args.end(), [](const ExprPtr& a) { return HasSubquery(*a); });
}

FieldInfo ResultField(const TypeInfo& t, std::string name) {
    FieldInfo f{std::move(name), t.type, t.length, t.decimals, t.nullable};
    if (f.type == 'X') f = FieldInfo{f.name, 'C', 1, 0, true};
    if (f.type == 'N' && f.length <= 0) f.length = 10;
    return f;
}

NodePtr BindLogical(const Expr& e, const Scope& scope, const char* clause) {
    NodePtr node = Bind(e, scope);
    const Kind k = node->type.GetKind();
    if (k != Kind::kLogical && k != Kind::kAny)
        throw Error(engine::err::kTypeMismatch,
                    std::string("The ") + clause + " condition must be logical, not " + KindName(k) + At(e.pos));
    return node;
}

int ColumnByName(const std::vector<FieldInfo>& fields, const Expr& e) {
    if (e.kind == Expr::Kind::kLiteral && e.value.Is<int64_t>()) {
        const int64_t n = e.value.As<int64_t>();
        if (n < 1 || n > static_cast<int64_t>(fields.size()))
            throw Error(engine::err::kSyntax,
                        "ORDER BY column number " + std::to_string(n) + " is out of range" + At(e.pos));
        return static_cast<int>(n - 1);
    }
    if (e.kind == Expr::Kind::kName && e.qualifier.empty()) return FindField(fields, e.name);
    return -1;
}

std::unique_ptr<Core> BindCore(const SelectStmt& s, const Settings& settings, Session& session, bool ordered) {
    auto core = std::make_unique<Core>();
    Core& c = *core;
    c.source = std::make_unique<JoinedSource>(s, settings, session);
    const Scope& scope = c.source->FullScope();
    c.distinct = s.distinct;
    c.grouped = !s.groupBy.empty() || s.having;
    for (const SelectItem& item : s.items) c.grouped |= item.expr && HasAggregate(*item.expr);
    if (ordered) {
        for (const OrderItem& o : s.order) c.grouped |= HasAggregate(*o.expr);
    }
    bool outer = false;
    for (const JoinClause& j : s.joins)
        outer |= j.kind != JoinClause::Kind::kInner && j.kind != JoinClause::Kind::kComma;

    // The scope of grouped expressions: the group's row, then the aggregates' hidden fields.
    Scope post = scope;
    post.more.push_back(ScopeTable{&c.hidden, "", "", c.source->Width()});
    c.used.assign(c.source->Width(), false);
    post.used = &c.used;
    auto bindPost = [&](const Expr& e) {
        ExprPtr rewritten = ExtractAggregates(e, scope, c.aggregates);
        c.hidden.clear();
        for (const AggregateCall& call : c.aggregates) c.hidden.push_back(call.field);
        return Bind(*rewritten, post);
    };
    auto bindColumn = [&](const Expr& e) { return c.grouped ? bindPost(e) : Bind(e, scope); };

    // Columns, with FoxPro's names: a field by its name, an aggregate of a field as cnt or
    // sum_field, an aliased expression by its alias, anything else Exp_n.
    const auto allFields = c.source->AllFields();
    std::vector<std::string> names;
    std::vector<FieldInfo> sources;  // per column: the field it shows, or a name-only entry
    std::vector<bool> isField;
    auto addField = [&](size_t index) {
        auto node = std::make_unique<FieldNode>(index);
        const FieldInfo& f = allFields[index].first;
        node->type = TypeInfo{f.type, f.length, f.decimals, f.nullable};
        c.columns.push_back(std::move(node));
        names.push_back(LowerText(f.name));
        sources.push_back(f);
        isField.push_back(true);
    };
    for (const SelectItem& item : s.items) {
        if (!item.expr) {
            if (item.starOf.empty()) {
                for (size_t i = 0; i < allFields.size(); ++i) addField(i);
            } else {
                size_t offset = 0;
                const auto* fields = c.source->TableFields(item.starOf, offset);
                if (!fields) throw Error(engine::err::kUnknownField, "Alias '" + item.starOf + "' is not found");
                for (size_t i = 0; i < fields->size(); ++i) addField(offset + i);
            }
            continue;
        }
        NodePtr node = bindColumn(*item.expr);
        const bool field =
            node->shape == Node::Shape::kField && static_cast<const FieldNode&>(*node).index < allFields.size();
        std::string name = item.alias;
        if (name.empty() && field) name = LowerText(allFields[static_cast<const FieldNode&>(*node).index].first.name);
        if (name.empty()) name = AggregateColumnName(*item.expr);
        if (name.empty()) name = "Exp_" + std::to_string(c.columns.size() + 1);
        sources.push_back(field ? allFields[static_cast<const FieldNode&>(*node).index].first : FieldInfo{});
        isField.push_back(field);
        names.push_back(std::move(name));
        c.columns.push_back(std::move(node));
    }
    // Names that several columns share get _a, _b, ... as FoxPro gives them.
    std::unordered_map<std::string, int> seen, used;
    for (const std::string& n : names) ++seen[UpperAscii(n)];
    for (size_t i = 0; i < names.size(); ++i) {
        if (seen[UpperAscii(names[i])] > 1) {
            const int k = used[UpperAscii(names[i])]++;
            names[i] += "_" + std::string(1, static_cast<char>('a' + k % 26));
        }
        FieldInfo f = isField[i] ? sources[i] : ResultField(c.columns[i]->type, names[i]);
        f.name = names[i];
        f.autoIncrement = false;
        if (outer || c.grouped) f.nullable = f.nullable || outer;
        c.fields.push_back(std::move(f));
    }

    if (s.where) c.where = BindLogical(*s.where, scope, "WHERE");
    for (const ExprPtr& g : s.groupBy) {
        const Expr* e = g.get();
        if (e->kind == Expr::Kind::kLiteral && e->value.Is<int64_t>()) {
            const int64_t n = e->value.As<int64_t>();
            if (n < 1 || n > static_cast<int64_t>(s.items.size()) || !s.items[n - 1].expr)
                throw Error(engine::err::kSyntax,
                            "GROUP BY column number " + std::to_string(n) + " is out of range" + At(e->pos));
            e = s.items[n - 1].expr.get();
        } else if (e->kind == Expr::Kind::kName && e->qualifier.empty()) {
            for (const SelectItem& item : s.items) {
                if (item.expr && !item.alias.empty() && EqualsNoCase(item.alias, e->name)) e = item.expr.get();
            }
        }
        c.groupKeys.push_back(Bind(*e, scope));
    }
    if (s.having) {
        NodePtr having = bindPost(*s.having);
        const Kind k = having->type.GetKind();
        if (k != Kind::kLogical && k != Kind::kAny)
            throw Error(engine::err::kTypeMismatch,
                        std::string("The HAVING condition must be logical, not ") + KindName(k) + At(s.having->pos));
        c.having = std::move(having);
    }
    if (ordered) {
        for (const OrderItem& o : s.order) {
            SortKey key;
            key.descending = o.descending;
            key.column = ColumnByName(c.fields, *o.expr);
            if (key.column < 0) key.expr = bindColumn(*o.expr);
            c.order.push_back(std::move(key));
        }
    }
    return core;
}

// The core's rows; keys gets the values of its ORDER BY expressions per row.
void RunCore(const Core& c, Session& session, std::vector<std::vector<Value>>& rows,
             std::vector<std::vector<Value>>& keys) {
    auto emit = [&](const RowView& row) {
        std::vector<Value> values;
        values.reserve(c.columns.size());
        for (const NodePtr& col : c.columns) values.push_back(col->Eval(row));
        std::vector<Value> key;
        for (const SortKey& k : c.order) {
            if (k.expr) key.push_back(k.expr->Eval(row));
        }
        rows.push_back(std::move(values));
        keys.push_back(std::move(key));
    };
    if (!c.grouped) {
        // Joined rows sorted by a field of the first table may come in that order from its tag.
        const SortKey* sort = c.order.size() == 1 && !c.order[0].descending ? &c.order[0] : nullptr;
        const Node* key = !sort ? nullptr : sort->column >= 0 ? c.columns[sort->column].get() : sort->expr.get();
        if (key && key->shape == Node::Shape::kField) {
            const size_t before = rows.size();
            if (c.source->ForEachRowInOrder(session, c.where.get(), static_cast<const FieldNode&>(*key).index, emit))
                return;
            rows.resize(before);
            keys.resize(before);
        }
        c.source->ForEachRow(session, c.where.get(), emit);
        return;
    }
    // Per group, in flat sequences (group g's part at g times the part's size): the source
    // fields its columns, HAVING and ORDER BY read, its key values and its aggregates' running
    // totals. No row is kept whole and nothing is allocated per group but its entry in the key
    // map and its share of these sequences.
    std::vector<size_t> usedFields;
    for (size_t i = 0; i < c.used.size(); ++i) {
        if (c.used[i]) usedFields.push_back(i);
    }
    const size_t keyCount = c.groupKeys.size(), totalCount = c.aggregates.size();
    // Deques: they grow without moving what they hold.
    std::deque<Value> kept, groupKeys;
    std::deque<Accumulator> totals;
    size_t groupCount = 0;
    std::unordered_map<std::string, size_t> byKey;
    std::unordered_map<int64_t, size_t> byWhole;
    // One integer key (the common GROUP BY PtNum) is looked up, and the groups sorted, as a number.
    const bool wholeKey = keyCount == 1 && c.groupKeys[0]->type.type == 'I';
    bool allWhole = wholeKey;
    // Small non-negative whole keys (patient numbers and the like) find their group at their
    // place in a table (group + 1, 0 for none) instead of through the hash map.
    constexpr int64_t kDirectKeys = int64_t{1} << 20;
    std::vector<uint32_t> direct;
    std::vector<Value> keyValues;
    std::string key;
    auto newGroup = [&](const RowView& row) {
        for (size_t f : usedFields) kept.push_back(f < row.values->size() ? (*row.values)[f] : Value());
        for (const AggregateCall& call : c.aggregates) totals.emplace_back(&call);
        return groupCount++;
    };
    c.source->ForEachRow(session, c.where.get(), [&](const RowView& row) {
        keyValues.clear();
        for (const NodePtr& k : c.groupKeys) keyValues.push_back(k->Eval(row));
        const int64_t* whole = wholeKey ? keyValues[0].If<int64_t>() : nullptr;
        std::pair<size_t, bool> found;
        if (whole && *whole >= 0 && *whole < kDirectKeys) {
            const size_t at = static_cast<size_t>(*whole);
            if (at >= direct.size())
                direct.resize(std::min(std::max(at + 1, direct.size() * 2), static_cast<size_t>(kDirectKeys)), 0);
            uint32_t& slot = direct[at];
            found = {slot != 0 ? slot - 1 : groupCount, slot == 0};
            if (slot == 0) slot = static_cast<uint32_t>(groupCount + 1);
        } else if (whole) {
            auto [at, added] = byWhole.try_emplace(*whole, groupCount);
            found = {at->second, added};
        } else {
            allWhole = false;
            key.clear();
            for (const Value& v : keyValues) AppendKey(key, v);
            auto [at, added] = byKey.try_emplace(key, groupCount);
            found = {at->second, added};
        }
        if (found.second) {
            newGroup(row);
            for (Value& v : keyValues) groupKeys.push_back(std::move(v));
        }
        for (size_t a = 0; a < totalCount; ++a) totals[found.first * totalCount + a].Add(row);
    });
    // Without GROUP BY the aggregates of no rows still make one row (COUNT(*) 0).
    if (keyCount == 0 && groupCount == 0) {
        const std::vector<Value> none;
        newGroup(RowView{&none, false, 0});
    }
    // Groups come out in the order of their keys, as FoxPro gives them.
    std::vector<size_t> order(groupCount);
    std::iota(order.begin(), order.end(), 0);
    if (allWhole) {
        std::sort(order.begin(), order.end(),
                  [&](size_t x, size_t y) { return groupKeys[x].As<int64_t>() < groupKeys[y].As<int64_t>(); });
    } else {
        std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
            for (size_t k = 0; k < keyCount; ++k) {
                const int cmp = OrderCompare(groupKeys[x * keyCount + k], groupKeys[y * keyCount + k]);
                if (cmp != 0) return cmp < 0;
            }
            return false;
        });
    }
    // Each group's row in turn: the fields it kept, the rest null, then its aggregates.
    const size_t width = c.source->Width();
    std::vector<Value> post(width + totalCount);
    for (size_t g : order) {
        for (size_t u = 0; u < usedFields.size(); ++u) post[usedFields[u]] = std::move(kept[g * usedFields.size() + u]);
        for (size_t a = 0; a < totalCount; ++a) post[width + a] = totals[g * totalCount + a].Result();
        const RowView view{&post, false, 0};
        if (c.having && !IsTrue(c.having->Eval(view))) continue;
        emit(view);
    }
}

// TOP n of one table ordered by a field a tag orders: the records are read in the tag's order
// until n rows (and those that tie with the last) are kept, instead of reading and sorting the
// whole table. Used only where the tag's order is the sort's by construction (fields that are
// numbers, dates or times and never null) and the keys read are checked to follow the sort;
// false, with nothing kept, when the query is not of that form or the check fails.
bool RunTopByTag(const Core& c, size_t top, Session& session, std::vector<std::vector<Value>>& rows,
                 std::vector<std::vector<Value>>& keys) {
    if (c.grouped || c.distinct || c.order.size() != 1 || top == 0) return false;
    auto table = c.source->OpenAlone(session);
    if (!table) return false;
    const SortKey& sort = c.order[0];
    const Node& key = sort.column >= 0 ? *c.columns[sort.column] : *sort.expr;
    if (key.shape != Node::Shape::kField) return false;
    const FieldInfo& field = table->Fields()[static_cast<const FieldNode&>(key).index];
    if (field.nullable || std::string_view("INFBYDT").find(field.type) == std::string_view::npos) return false;
    const std::string tag = MatchingOrderTag(*table, c.source->FullScope(), key, nullptr);
    if (tag.empty() || CandidateRecords(*table, c.where.get())) return false;
    const auto tagOrder = RecordsInOrder(*table, tag);
    if (!tagOrder) return false;

    const bool hideDeleted = session.Options().deleted;
    std::vector<std::vector<Value>> kept;
    std::vector<Value> sortKeys;
    std::vector<RecordNumber> records;
    Record record;
    for (size_t i = 0; i < tagOrder->size(); ++i) {
        const RecordNumber n = sort.descending ? (*tagOrder)[tagOrder->size() - 1 - i] : (*tagOrder)[i];
        table->Read(n, record);
        if (record.deleted && hideDeleted) continue;
        const RowView row{&record.values, record.deleted, n};
        if (c.where && !IsTrue(c.where->Eval(row))) continue;
        Value k = key.Eval(row);
        if (!sortKeys.empty()) {
            const int cmp = OrderCompare(sortKeys.back(), k) * (sort.descending ? -1 : 1);
            if (cmp > 0) return false;  // the tag does not sort as the values do
            if (cmp < 0 && kept.size() >= top) break;
        }
        std::vector<Value> values;
        values.reserve(c.columns.size());
        for (const NodePtr& col : c.columns) values.push_back(col->Eval(row));
        kept.push_back(std::move(values));
        sortKeys.push_back(std::move(k));
        records.push_back(n);
    }
    // Equal keys in record order, as the sort gives them.
    std::vector<size_t> order(kept.size());
    std::iota(order.begin(), order.end(), 0);
    auto settled = SettleTagOrder([&](size_t i) -> const Value& { return sortKeys[i]; }, records, sort.descending,
                                  std::move(order));
    if (!settled) return false;
    for (size_t i : *settled) {
        rows.push_back(std::move(kept[i]));
        keys.push_back(sort.expr ? std::vector<Value>{sortKeys[i]} : std::vector<Value>{});
    }
    return true;
}

void KeepDistinct(std::vector<std::vector<Value>>& rows, std::vector<std::vector<Value>>& keys) {
    std::unordered_set<std::string> seen;
    size_t out = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!seen.insert(RowKey(rows[i])).second) continue;
        if (out != i) {
            rows[out] = std::move(rows[i]);
            keys[out] = std::move(keys[i]);
        }
        ++out;
    }
    rows.resize(out);
    keys.resize(out);
}

}  // namespace

struct BoundQuery {
    std::unique_ptr<Core> first;
    std::vector<std::pair<bool, std::unique_ptr<Core>>> unions;  // (ALL, query)
    std::vector<FieldInfo> fields;
    int64_t top = 0;
    bool topPercent = false;
    std::string sourceTable;
};

bool NeedsQueryPlan(const SelectStmt& s) {
    if (s.distinct || s.top || !s.joins.empty() || !s.groupBy.empty() || s.having || !s.unions.empty()) return true;
    for (const SelectItem& item : s.items) {
        if (item.expr && (HasAggregate(*item.expr) || HasSubquery(*item.expr))) return true;
    }
    for (const OrderItem& o : s.order) {
        if (HasAggregate(*o.expr) || HasSubquery(*o.expr)) return true;
    }
    return s.where && HasSubquery(*s.where);
}

std::shared_ptr<BoundQuery> BindQuery(const SelectStmt& s, const Settings& settings, Session& session) {
    auto q = std::make_shared<BoundQuery>();
    const bool united = !s.unions.empty();
    q->first = BindCore(s, settings, session, !united);
    q->fields = q->first->fields;
    q->sourceTable = s.table.name;
    for (const UnionPart& part : s.unions) {
        if (part.select->top)
            throw Error(engine::err::kSyntax,
                        "TOP in a query after UNION is not supported" + At(part.select->top->pos));
        auto core = BindCore(*part.select, settings, session, false);
        if (core->fields.size() != q->fields.size())
            throw Error(engine::err::kSyntax, "The queries of a UNION must give the same number of columns (" +
                                                  std::to_string(q->fields.size()) + " and " +
                                                  std::to_string(core->fields.size()) + ")" + At(part.select->pos));
        for (size_t i = 0; i < q->fields.size(); ++i) {
            FieldInfo& f = q->fields[i];
            const FieldInfo& g = core->fields[i];
            const Kind a = KindOfType(f.type), b = KindOfType(g.type);
            if (a != b && a != Kind::kAny && b != Kind::kAny)
                throw Error(engine::err::kTypeMismatch, "UNION column " + std::to_string(i + 1) + " is " + KindName(a) +
                                                            " in one query and " + KindName(b) + " in another");
            f.length = std::max(f.length, g.length);
            f.decimals = std::max(f.decimals, g.decimals);
            f.nullable = f.nullable || g.nullable;
        }
        q->unions.emplace_back(part.all, std::move(core));
    }
    if (united) {
        // ORDER BY of a union names result columns, by number or by name.
        for (const OrderItem& o : s.order) {
            SortKey key;
            key.descending = o.descending;
            key.column = ColumnByName(q->fields, *o.expr);
            if (key.column < 0)
                throw Error(engine::err::kSyntax,
                            "ORDER BY of a UNION must name a result column, by number or name" + At(o.expr->pos));
            q->first->order.push_back(std::move(key));
        }
    }
    if (s.top) {
        if (s.order.empty())
            throw Error(engine::err::kSyntax, "TOP without ORDER BY is not supported" + At(s.top->pos));
        q->top = s.top->value.As<int64_t>();
        q->topPercent = s.topPercent;
    }
    return q;
}

const std::vector<FieldInfo>& QueryFields(const BoundQuery& query) { return query.fields; }

ResultSet RunQuery(const BoundQuery& q, Session& session) {
    std::vector<std::vector<Value>> rows, keys;
    const bool byTag = q.top > 0 && !q.topPercent && q.unions.empty() &&
                       RunTopByTag(*q.first, static_cast<size_t>(q.top), session, rows, keys);
    if (!byTag) RunCore(*q.first, session, rows, keys);
    if (q.first->distinct) KeepDistinct(rows, keys);
    for (const auto& [all, core] : q.unions) {
        RunCore(*core, session, rows, keys);
        if (!all || core->distinct) KeepDistinct(rows, keys);
    }
    // DISTINCT and UNION without ORDER BY give their rows sorted, as FoxPro does.
    std::vector<SortKey> allColumns;
    if (q.first->order.empty() && (q.first->distinct || !q.unions.empty())) {
        for (size_t i = 0; i < q.fields.size(); ++i) allColumns.push_back(SortKey{static_cast<int>(i), nullptr, false});
    }
    const std::vector<SortKey>& order = allColumns.empty() ? q.first->order : allColumns;
    std::vector<size_t> index(rows.size());
    std::iota(index.begin(), index.end(), 0);
    auto compare = [&](size_t x, size_t y) {
        size_t e = 0;
        for (const SortKey& k : order) {
            int c = k.column >= 0 ? OrderCompare(rows[x][k.column], rows[y][k.column])
                                  : OrderCompare(keys[x][e], keys[y][e]);
            if (k.column < 0) ++e;
            if (c != 0) return k.descending ? -c : c;
        }
        return 0;
    };
    // Rows that came in order (from a tag, or groups by their key) stay as they are.
    const auto less = [&](size_t x, size_t y) { return compare(x, y) < 0; };
    if (!order.empty() && !std::is_sorted(index.begin(), index.end(), less))
        std::stable_sort(index.begin(), index.end(), less);
    size_t keep = index.size();
    if (q.top > 0) {
        const size_t wanted =
            q.topPercent ? static_cast<size_t>(std::ceil(static_cast<double>(index.size()) *
                                                         static_cast<double>(std::min<int64_t>(q.top, 100)) / 100))
                         : static_cast<size_t>(q.top);
        keep = std::min(wanted, index.size());
        // Rows that tie with the last one kept are kept too.
        while (keep > 0 && keep < index.size() && compare(index[keep - 1], index[keep]) == 0) ++keep;
    }
    ResultSet result;
    result.fields = q.fields;
    result.sourceTable = q.sourceTable;
    result.sourceFields.assign(q.fields.size(), -1);
    result.rows.reserve(keep);
    for (size_t i = 0; i < keep; ++i) result.rows.push_back(std::move(rows[index[i]]));
    return result;
}

}  // namespace engine::sql
