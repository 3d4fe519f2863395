// RecordSource: the rows a record grid shows, seen through the few operations the grid needs.
// The grid reads field names and values by row and keeps rows apart by bookmark; it never
// copies the data. A recordset of the database API is wrapped in an adapter that implements
// this interface (and hands the recordset back through Underlying()); tests and benchmarks
// use MemoryRecordSource. Opening a layout's record source goes through one program-wide
// opener hook, installed by whoever knows how to run a SELECT on a connection.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/value.h"

namespace views {

// A record's identity that stays the same however the grid sorts or groups the rows.
using Bookmark = std::int64_t;

class RecordSource {
public:
    virtual ~RecordSource() = default;

    virtual int FieldCount() const = 0;
    // Field names as the source spells them; field is 0-based.
    virtual std::string FieldName(int field) const = 0;
    virtual int RecordCount() const = 0;
    // The value of one field of one record; row is 0-based in the source's own order.
    // Called often while sorting, so it should not do more than look the value up.
    virtual engine::Value Value(int row, int field) const = 0;
    // The bookmark of a row, and the row of a bookmark (-1 when no row has it).
    virtual Bookmark RowBookmark(int row) const = 0;
    virtual int RowOfBookmark(Bookmark bookmark) const = 0;
    // The object behind the rows (for example a shared pointer to a database recordset), so
    // that callers can move it and read its fields; empty when there is none.
    virtual std::any Underlying() const { return {}; }

    // The 0-based index of a field by name, case-insensitively; -1 when there is none.
    int FieldIndex(const std::string& name) const;
};

// Opens the rows of a SELECT over a connection. Throws engine::Error when that fails.
using RecordSourceOpener =
    std::function<std::unique_ptr<RecordSource>(const std::string& connectionString, const std::string& sql)>;

// Installs the opener that layout loading uses (an empty function removes it).
void SetRecordSourceOpener(RecordSourceOpener opener);
// Opens through the installed opener; without one, returns nullptr (the grid shows no rows).
std::unique_ptr<RecordSource> OpenRecordSource(const std::string& connectionString, const std::string& sql);

}  // namespace views
