// engine::api::Recordset: an ADO-shaped static cursor over a whole table or the rows of a
// SELECT, with optimistic updates written through to the table file at once.
//
//   Recordset rs;
//   rs.Open("Ref", connection, 3, 3, 2);          // a whole table (options 2), read lazily
//   rs.Open("SELECT * FROM Ref WHERE ...", connection, 3, 3, -1);
//   rs.Find("RefNum = 5");                          // forward from the current row
//   rs.AddNew(); rs.Fields().Item("RefNum").SetValue(7); rs.Update();
//
// Positions: a row, BOF (before the first) or EOF (after the last); a new recordset stands
// on its first row. Moving away from a row with unsaved changes saves them, as Update does;
// Close drops them. Update writes only the fields assigned since the edit began: every other
// byte of the stored record stays as it was. A value assigned to an autoincrement field is
// refused (err::kAutoIncrementField) unless the recordset is in copy mode or the
// connection ran SET AUTOINCERROR OFF; a new row's autoincrement field is numbered by the table.
// Bookmarks are doubles, stable for the life of the recordset and valid in its clones, which
// share its rows (rows one adds are seen by the others). Field values of text fields keep
// their trailing blanks; assigned values are converted to the field's type (field_types.h).
//
// Every failure throws engine::Error: err::kNotOpen on a closed recordset,
// err::kNoCurrentRecord at BOF/EOF, err::kItemNotFound for an unknown field,
// api::err::kNotUpdatable for rows of computed columns, and whatever the tables raise.
// The connection may be closed or destroyed before the recordset. Not thread-safe.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/api/connection.h"
#include "engine/api/field_types.h"
#include "engine/value.h"

namespace engine::api {

class RowStore;
class Recordset;

inline constexpr int kAdOpenForwardOnly = 0;
inline constexpr int kAdOpenStatic = 3;
inline constexpr int kAdLockOptimistic = 3;
inline constexpr long kAdCmdTable = 2;
inline constexpr long kAdCmdUnknown = -1;

class Field {
public:
    const std::string& Name() const;
    int Type() const;
    long DefinedSize() const;
    int Precision() const;
    int NumericScale() const;
    // The value in the current row (or in the row being edited or added).
    engine::Value Value() const;
    // Converts value to the field's type and puts it into the row being edited (an edit of the
    // current row starts when none is under way). Saved by Update.
    void SetValue(const engine::Value& value);
    const sql::FieldInfo& Info() const;

private:
    friend class Recordset;
    Field(Recordset* owner, size_t index) : m_owner(owner), m_index(index) {}
    Recordset* m_owner;
    size_t m_index;
};

class Fields {
public:
    long Count() const { return static_cast<long>(m_fields.size()); }
    // By position from 0; throws err::kItemNotFound.
    Field& Item(long index);
    // By name, without regard to case; throws err::kItemNotFound naming it.
    Field& Item(std::string_view name);
    // By name, or nullptr.
    Field* Find(std::string_view name);
    std::vector<Field>::iterator begin() { return m_fields.begin(); }
    std::vector<Field>::iterator end() { return m_fields.end(); }

private:
    friend class Recordset;
    std::vector<Field> m_fields;
};

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // source: a table name (options kAdCmdTable) or statement text (kAdCmdUnknown; a text
    // without blanks is taken as a table name). A text whose last statement is no SELECT is
    // run and leaves the recordset closed. cursorType kAdOpenForwardOnly reads the rows of a
    // statement one at a time as MoveNext asks for them (RecordCount -1, no moving back, no
    // changes: api::err::kForwardOnly); any other cursor type is static with optimistic
    // updates (lockType is accepted as given).
    void Open(const std::string& source, Connection& connection, int cursorType = kAdOpenStatic,
              int lockType = kAdLockOptimistic, long options = kAdCmdUnknown);
    int State() const { return m_rows ? 1 : 0; }
    // Drops an unsaved edit and syncs the recordset's writes (unless the connection defers
    // flushing). The recordset is closed even when the sync fails; that throws engine::Error
    // naming the file and the system's reason.
    void Close();

    long RecordCount();
    // ADO's EOF and BOF (EOF is a C library macro, hence the spelling).
    bool Eof();
    bool Bof();
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    double Bookmark();
    void SetBookmark(double bookmark);
    // The stored value of field index (from 0) in the row of bookmark, without moving the
    // cursor and without regard to an edit under way: for readers that visit rows out of
    // order, such as a grid sorting them. Throws err::kBadArgument for a bookmark of no row,
    // err::kItemNotFound for a field out of range.
    engine::Value ValueAt(double bookmark, long index);
    // Searches forward from the current row (from the first when at BOF) for the first row
    // meeting criterion ("Field = value", see sql::ParseFindCriterion) and stands there, or
    // at EOF when there is none.
    void Find(std::string_view criterion);

    void AddNew();
    // Saves the row being added or edited; nothing to save is no error.
    void Update();
    void CancelUpdate();
    // True while a row is being added or edited.
    bool Editing() const { return m_buffer.has_value(); }
    // Copy mode: values assigned to autoincrement fields are stored as given instead of being
    // refused (the table numbers such fields itself otherwise), so a copied row keeps the
    // number of its source. Off when a recordset opens.
    void SetCopyMode(bool on) { m_copyMode = on; }
    bool CopyMode() const { return m_copyMode; }

    api::Fields& Fields();
    // A second cursor over the same rows, standing on the first row.
    std::unique_ptr<Recordset> Clone();

private:
    friend class Field;
    friend class Connection;
    void Attach(std::shared_ptr<RowStore> rows, std::shared_ptr<ConnectionCore> core);
    RowStore& Rows() const;
    void Settle();
    void Leave();
    void StandOn(std::optional<int64_t> row, bool atEnd);
    const std::vector<engine::Value>& Current();
    engine::Value FieldValue(size_t index);
    void SetFieldValue(size_t index, const engine::Value& value);

    enum class Place { kPendingFirst, kBof, kEof, kRow };
    std::shared_ptr<RowStore> m_rows;
    std::shared_ptr<ConnectionCore> m_core;
    api::Fields m_fields;
    Place m_place = Place::kBof;
    int64_t m_row = -1;
    std::optional<std::vector<engine::Value>> m_current;  // values of m_row, once read
    std::optional<std::vector<engine::Value>> m_buffer;   // row being added or edited
    std::vector<bool> m_assigned;                         // per field: assigned since the edit began
    bool m_copyMode = false;
    bool m_adding = false;
};

}  // namespace engine::api
