// The output modes of the foxsql shell: an aligned table (with the row count), JSON lines,
// CSV, one "name = value" line per field, and a Markdown table. Rows are written as they are
// read, so a table of any size takes little memory.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/sql/table_access.h"
#include "engine/value.h"

namespace foxsql {

enum class Mode { kTable, kJson, kCsv, kLine, kMarkdown };

// The mode a name gives ("table", "json", "csv", "line", "markdown"), or nullopt.
std::optional<Mode> ModeByName(const std::string& name);

class RowWriter {
public:
    virtual ~RowWriter() = default;
    virtual void Row(const std::vector<engine::Value>& row) = 0;
    // After the last row; count is how many there were.
    virtual void End(long count) = 0;
};

// Writes the header (when headers is on and the mode has one) at once.
std::unique_ptr<RowWriter> MakeWriter(Mode mode, bool headers, const std::vector<engine::sql::FieldInfo>& fields,
                                      std::ostream& out);

// A field of a CSV line: quoted when it holds a comma, a quote, a line break or edge blanks.
std::string CsvField(const std::string& text);

}  // namespace foxsql
