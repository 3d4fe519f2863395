// cBldInsert: builds one INSERT or UPDATE statement for a table field by field, writing each
// value as a FoxPro literal by the column's type as the connection's catalogue gives it, and
// runs it on the connection. Calling order: set Connection, Table and Updating; Add once per
// field (and Where for an update); Execute; Clear before the next statement.
//
// Literals by ADO column type:
//   3 integer, 131 numeric  the value's text, cut to its last <precision> characters when
//                           longer; a fractional value for a numeric column is first rounded
//                           to the column's decimals, so 1/3 into N(6,2) gives 0.33
//   2, 4, 5, 6, 14, 20      the value's text (small and big integers, floating, currency)
//   (all numbers)           Null for a null; a text that is no number gives no literal, so
//                           nothing unquoted that is not a number reaches the statement
//   11 boolean              .T. for a true value, else .F.
//   133, 134, 135 (dates)   {^yyyy-mm-dd} or {^yyyy-mm-dd hh:mm:ss}; Null for a null, an empty
//                           date or a value that is no date. The date text of the Windows
//                           original depended on the system's regional date form, which Linux
//                           does not define the same way (and which FoxPro reads by its own
//                           SET DATE): the strict ^ form means the same day on every machine.
//                           With bRawFields the text between the braces without the caret.
//   any other (text)        the text cut to the column's defined size (in characters); quotes
//                           doubled and the whole enclosed in '...'. A text already written with
//                           doubled quotes (O''Brien) gives the same literal as O'Brien. With
//                           bRawFields quotes are doubled and nothing is added.
//
// Not thread-safe; the connection must outlive the builder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/api/connection.h"
#include "engine/api/table_columns.h"
#include "engine/value.h"

namespace db {

class cBldInsert {
public:
    engine::api::Connection* Connection() const { return m_connection; }
    // A new connection or table drops the catalogue description read so far.
    void SetConnection(engine::api::Connection* connection);
    const std::string& Table() const { return m_table; }
    void SetTable(const std::string& table);
    bool Updating() const { return m_updating; }
    void SetUpdating(bool updating) { m_updating = updating; }

    // The condition of an UPDATE (the text after WHERE).
    void Where(const std::string& sWhere) { m_whereText = sWhere; }
    // Adds the field sField with the value vData to the statement. False (and the statement
    // unchanged) when no literal could be made: no connection, no such table or column, a
    // text that is no number for a number column.
    bool Add(const engine::Value& vData, const std::string& sField);
    // Runs the UPDATE (when Updating and a field was set) or else the INSERT begun. True when a
    // statement ran. A failure is reported through ReportError ("cBldInsert", "Execute") with
    // the statement, in a message box; false then, and false when there was nothing to run.
    bool Execute();
    // Empties the statement and the condition and drops the table's description.
    void Clear();
    // The literal for theValue in column theFieldName of Table. Errors are not raised: an
    // unknown table or column, or a text that is no number for a number column, gives "".
    std::string GetItemData(const engine::Value& theValue, const std::string& theFieldName, bool bRawFields = false);

    // The statement Execute would run now ("" when none).
    std::string StatementText() const;

private:
    std::optional<std::string> Literal(const engine::Value& value, const std::string& field, bool raw);

    engine::api::Connection* m_connection = nullptr;
    std::string m_table;
    bool m_updating = false;
    std::string m_whereText;
    std::string m_updateText;
    std::string m_insertFieldText;
    std::string m_insertValueText;
    std::optional<std::vector<engine::api::ColumnInfo>> m_columns;  // fetched on first use
};

}  // namespace db
