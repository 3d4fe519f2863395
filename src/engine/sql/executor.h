// Runs statement texts in the FoxPro SQL dialect against a Session's tables: SELECT, INSERT,
// UPDATE, DELETE (marks records), SET DELETED|EXCLUSIVE ON|OFF, PACK, REINDEX (rebuilds a
// table's index) and CLOSE ALL (lets go of the tables kept open), several separated by ";". Every statement of a text is parsed and bound (tables opened, names and types checked)
// before the first one runs, so a text with an error anywhere changes nothing. A statement
// computes all its changes before it writes the first one.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "engine/sql/result_set.h"
#include "engine/sql/session.h"
#include "engine/sql/sql_errors.h"

namespace engine::sql {

struct Outcome {
    // The rows of the text's last SELECT; empty when the text has no SELECT.
    std::optional<ResultSet> rows;
    // Records selected, inserted, changed or marked by the last statement that touches records.
    long recordsAffected = 0;
};

// Reads the rows of a SELECT one at a time, front to back, for readers that go through them
// once (memory stays flat whatever the number of rows). Holds the table open until destroyed.
class RowCursor {
public:
    virtual ~RowCursor() = default;
    virtual const std::vector<FieldInfo>& Fields() const = 0;
    // Puts the next row into row and returns true, or returns false after the last row.
    // Throws engine::Error as the table's reads do.
    virtual bool Next(std::vector<Value>& row) = 0;
};

struct ForwardOutcome {
    // The rows of the text's last statement when it is a SELECT, unread; else null.
    std::unique_ptr<RowCursor> rows;
    // Records inserted, changed or marked by the last statement when it is no SELECT.
    long recordsAffected = 0;
};

// Throws engine::Error: kSyntax (with the token and position), kUnknownTable, kUnknownField,
// kTypeMismatch, kArgumentCount, sql::err numbers, and whatever the tables raise.
Outcome Execute(std::string_view text, Session& session);
// As Execute, except that a last statement that is a SELECT is not run whole: its rows are
// read as the cursor is advanced (a SELECT with ORDER BY collects and sorts them first).
ForwardOutcome ExecuteForward(std::string_view text, Session& session);

}  // namespace engine::sql
