#include "engine/api/recordset.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "engine/api/api_errors.h"
#include "engine/api/row_store.h"
#include "engine/error.h"
#include "engine/sql/find_criterion.h"

namespace engine::api {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

[[noreturn]] void NoCurrentRecord() {
    throw Error(engine::err::kNoCurrentRecord,
                "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
                "current record.");
}

bool LooksLikeTableName(const std::string& source) {
    return !source.empty() && std::none_of(source.begin(), source.end(), [](unsigned char c) {
        return std::isspace(c) || c == ';' || c == '=' || c == '(';
    });
}

}  // namespace

// Field ---------------------------------------------------------------------------------------

const sql::FieldInfo& Field::Info() const { return m_owner->Rows().Fields()[m_index]; }
const std::string& Field::Name() const { return Info().name; }
int Field::Type() const { return AdoType(Info()); }
long Field::DefinedSize() const { return api::DefinedSize(Info()); }
int Field::Precision() const { return api::Precision(Info()); }
int Field::NumericScale() const { return api::NumericScale(Info()); }
engine::Value Field::Value() const { return m_owner->FieldValue(m_index); }
void Field::SetValue(const engine::Value& value) { m_owner->SetFieldValue(m_index, value); }

Field& Fields::Item(long index) {
    if (index < 0 || index >= Count())
        throw Error(engine::err::kItemNotFound, "Item " + std::to_string(index) +
                                                    " cannot be found in the collection corresponding to the "
                                                    "requested name or ordinal.");
    return m_fields[static_cast<size_t>(index)];
}

Field& Fields::Item(std::string_view name) {
    if (Field* f = Find(name)) return *f;
    throw Error(engine::err::kItemNotFound, "Field '" + std::string(name) +
                                                "' cannot be found in the collection corresponding to the requested "
                                                "name or ordinal.");
}

Field* Fields::Find(std::string_view name) {
    for (Field& f : m_fields) {
        if (SameName(f.Name(), name)) return &f;
    }
    return nullptr;
}

// Recordset -----------------------------------------------------------------------------------

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(const std::string& source, Connection& connection, int cursorType, int, long options) {
    Close();
    const std::shared_ptr<ConnectionCore>& core = connection.Core();
    sql::Session& session = *core->session;
    if (options == kAdCmdTable || (options != kAdCmdTable && LooksLikeTableName(source))) {
        const auto mode = session.Options().exclusive ? sql::OpenMode::kExclusive : sql::OpenMode::kShared;
        core->provider->BeginStatement();
        Attach(std::make_shared<TableRows>(core->provider->OpenTable(source, mode), session.Options().deleted), core);
        return;
    }
    if (cursorType == kAdOpenForwardOnly) {
        sql::ForwardOutcome outcome = core->ExecuteForward(source);
        if (outcome.rows) Attach(std::make_shared<ForwardRows>(std::move(outcome.rows)), core);
        return;
    }
    sql::Outcome outcome = core->Execute(source);
    if (outcome.rows) Attach(std::make_shared<QueryRows>(std::move(*outcome.rows), core), core);
}

void Recordset::Attach(std::shared_ptr<RowStore> rows, std::shared_ptr<ConnectionCore> core) {
    m_rows = std::move(rows);
    m_core = std::move(core);
    m_fields.m_fields.clear();
    for (size_t i = 0; i < m_rows->Fields().size(); ++i) m_fields.m_fields.push_back(Field(this, i));
    m_place = Place::kPendingFirst;
    m_row = -1;
    m_current.reset();
    m_buffer.reset();
    m_adding = false;
}

void Recordset::Close() {
    const std::shared_ptr<RowStore> rows = std::move(m_rows);
    m_buffer.reset();
    m_current.reset();
    m_fields.m_fields.clear();
    m_rows.reset();
    m_core.reset();
    m_place = Place::kBof;
    // The recordset's writes reach the disk as it closes; it is closed even when they cannot,
    // and that is reported rather than passed over as a success.
    if (rows) rows->Commit();
}

RowStore& Recordset::Rows() const {
    if (!m_rows) throw Error(engine::err::kNotOpen, "Operation is not allowed when the object is closed.");
    return *m_rows;
}

void Recordset::Settle() {
    Rows();
    if (m_place == Place::kPendingFirst) StandOn(m_rows->First(), true);
}

// Stands on row, or at EOF (atEnd) or BOF when there is none.
void Recordset::StandOn(std::optional<int64_t> row, bool atEnd) {
    m_current.reset();
    if (row) {
        m_place = Place::kRow;
        m_row = *row;
    } else {
        m_place = atEnd ? Place::kEof : Place::kBof;
        m_row = -1;
    }
}

// Saves a pending edit before the cursor moves, as ADO does.
void Recordset::Leave() {
    Rows();
    if (m_buffer) Update();
}

long Recordset::RecordCount() { return Rows().Count(); }

bool Recordset::Eof() {
    Settle();
    if (m_place == Place::kEof) return true;
    return m_place == Place::kBof && !m_rows->First();
}

bool Recordset::Bof() {
    Settle();
    if (m_place == Place::kBof) return true;
    return m_place == Place::kEof && !m_rows->First();
}

void Recordset::MoveFirst() {
    Leave();
    StandOn(m_rows->First(), true);
}

void Recordset::MoveLast() {
    Leave();
    StandOn(m_rows->Last(), true);
}

void Recordset::MoveNext() {
    Leave();
    Settle();
    if (m_place == Place::kEof) NoCurrentRecord();
    StandOn(m_place == Place::kBof ? m_rows->First() : m_rows->After(m_row), true);
}

void Recordset::MovePrevious() {
    Leave();
    Settle();
    if (m_place == Place::kBof) NoCurrentRecord();
    StandOn(m_place == Place::kEof ? m_rows->Last() : m_rows->Before(m_row), false);
}

double Recordset::Bookmark() {
    Settle();
    if (m_place != Place::kRow) NoCurrentRecord();
    return static_cast<double>(m_row + 1);
}

void Recordset::SetBookmark(double bookmark) {
    Leave();
    const int64_t row = std::isfinite(bookmark) ? std::llround(bookmark) - 1 : -1;
    if (!m_rows->Contains(row))
        throw Error(engine::err::kBadArgument, "The bookmark " + std::to_string(std::llround(bookmark)) +
                                                   " does not name a row of this recordset.");
    StandOn(row, true);
}

engine::Value Recordset::ValueAt(double bookmark, long index) {
    const int64_t row = std::isfinite(bookmark) ? std::llround(bookmark) - 1 : -1;
    if (!Rows().Contains(row))
        throw Error(engine::err::kBadArgument, "The bookmark " + std::to_string(std::llround(bookmark)) +
                                                   " does not name a row of this recordset.");
    if (index < 0 || index >= m_fields.Count()) m_fields.Item(index);  // throws, naming the item
    return m_rows->ReadValue(row, static_cast<size_t>(index));
}

void Recordset::Find(std::string_view criterion) {
    const sql::FindCriterion c = sql::ParseFindCriterion(criterion);
    Leave();
    Field* field = m_fields.Find(c.field);
    if (!field)
        throw Error(engine::err::kItemNotFound, "Field '" + c.field + "' of the search criterion '" +
                                                    std::string(criterion) + "' is not in the recordset.");
    const size_t index = field->m_index;
    Settle();
    if (m_place == Place::kEof) return;
    const std::optional<int64_t> start = m_place == Place::kBof ? m_rows->First() : std::optional<int64_t>(m_row);
    if (!start) return StandOn(std::nullopt, true);
    if (c.op == sql::Op::kEq) {
        if (auto candidates = m_rows->Candidates(index, c.value)) {
            for (auto it = std::lower_bound(candidates->begin(), candidates->end(), *start); it != candidates->end();
                 ++it) {
                if (sql::Matches(c, m_rows->Read(*it)[index])) return StandOn(*it, true);
            }
            return StandOn(std::nullopt, true);
        }
    }
    for (std::optional<int64_t> row = start; row; row = m_rows->After(*row)) {
        if (sql::Matches(c, m_rows->Read(*row)[index])) return StandOn(row, true);
    }
    StandOn(std::nullopt, true);
}

const std::vector<engine::Value>& Recordset::Current() {
    Settle();
    if (m_place != Place::kRow) NoCurrentRecord();
    if (!m_current) m_current = m_rows->Read(m_row);
    return *m_current;
}

engine::Value Recordset::FieldValue(size_t index) {
    if (m_buffer) return (*m_buffer)[index];
    return Current()[index];
}

void Recordset::SetFieldValue(size_t index, const engine::Value& value) {
    const sql::FieldInfo& field = Rows().Fields()[index];
    const bool refuseNumbers = !m_copyMode && (!m_core || m_core->session->Options().autoIncError);
    if (field.autoIncrement && refuseNumbers)
        throw Error(engine::err::kAutoIncrementField,
                    "Field '" + field.name + "' is read-only: the table numbers it itself (autoincrement).");
    const engine::Value converted = ConvertForField(value, field);
    if (!m_buffer) {
        if (!m_rows->Updatable())
            throw Error(err::kNotUpdatable,
                        "The recordset cannot be updated: its rows do not come from the fields of one table.");
        m_buffer = Current();
        m_assigned.assign(m_buffer->size(), false);
        m_adding = false;
    }
    (*m_buffer)[index] = converted;
    m_assigned.at(index) = true;
}

void Recordset::AddNew() {
    Leave();
    if (!m_rows->Updatable())
        throw Error(err::kNotUpdatable,
                    "The recordset cannot be updated: its rows do not come from the fields of one table.");
    m_buffer = std::vector<engine::Value>(m_rows->Fields().size());
    m_assigned.assign(m_buffer->size(), false);
    m_adding = true;
}

void Recordset::Update() {
    Rows();
    if (!m_buffer) return;
    if (m_adding) {
        const int64_t row = m_rows->Append(*m_buffer);
        StandOn(row, true);
    } else {
        std::vector<std::pair<size_t, engine::Value>> assigned;
        for (size_t i = 0; i < m_buffer->size(); ++i) {
            if (m_assigned.at(i)) assigned.emplace_back(i, (*m_buffer)[i]);
        }
        m_rows->Write(m_row, assigned);
        m_current.reset();
    }
    m_buffer.reset();
    m_adding = false;
}

void Recordset::CancelUpdate() {
    m_buffer.reset();
    m_adding = false;
}

api::Fields& Recordset::Fields() {
    Rows();
    return m_fields;
}

std::unique_ptr<Recordset> Recordset::Clone() {
    auto clone = std::make_unique<Recordset>();
    clone->Attach(
        m_rows ? m_rows : throw Error(engine::err::kNotOpen, "Operation is not allowed when the object is closed."),
        m_core);
    return clone;
}

}  // namespace engine::api
