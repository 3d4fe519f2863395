// AdoTools: opening connections to a database container the way every caller of the program
// does (Connect_DBC builds the connection string and reports a failure in the log), and the
// two small recordset routines of the archive work: GetField (a field or none, never an error)
// and CopyRecord (same-named fields of one row into another, with the null and date rules).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/api/connection.h"
#include "engine/api/recordset.h"

namespace AdoTools {

struct ConnectOptions {
    std::optional<long> CursorLocation;
    std::optional<std::string> Exclusive;        // default "No"
    std::optional<std::string> ProviderPrefix;   // replaces the provider piece, ending in a double quote
    std::optional<std::string> Collate;          // replaces "Collate=Machine;"
    std::optional<std::string> BackgroundFetch;  // replaces "BackgroundFetch=Yes;"
};

// The connection string for the container DbcName in DataPath. The separator put before
// DbcName is "/" unless DataPath already ends in "/" or "\".
std::string ConnectionStringFor(const std::string& DataPath, const std::string& DbcName,
                                const ConnectOptions& options = {});

// An open connection (Mode 3, ConnectionTimeout 15) to DataPath's container DbcName. A
// failure is written to the log through ReportError (module "AdoTools", procedure
// "Connect_DBC", no message box) and thrown again with the source "Connect_DBC".
std::unique_ptr<engine::api::Connection> Connect_DBC(const std::string& DataPath, const std::string& DbcName,
                                                     const ConnectOptions& options = {});

// The field of that name (any case), or nullptr when the recordset has none or is closed.
engine::api::Field* GetField(engine::api::Recordset& recordset, const std::string& FieldName) noexcept;

// Copies the source fields into the target's current or new row, field by field in source
// order: a field the target lacks is skipped; into a non-date field a null is skipped (the
// row keeps its default) and any other value assigned; into a date field (type 133) a null
// stores null, a value whose text form ends in "M" or "m" (a date-time with a clock time)
// stores null, and any other value is assigned. An autoincrement field of the target takes the
// source's number (the target is in copy mode meanwhile). Assignment errors pass to the caller; the
// caller saves the row (Update).
void CopyRecord(engine::api::Fields& sourceFields, engine::api::Recordset& target);

// The value CopyRecord assigns to a target field of type targetType for a source value, or
// nullopt when it skips the field. Readers that check a copy compare with this.
std::optional<engine::Value> CopiedValue(const engine::Value& value, int targetType);

// A value's text form as the copy rule reads it: date-times with a clock time as
// "m/d/yyyy h:mm:ss AM", at midnight as the date "m/d/yyyy", dates "m/d/yyyy", numbers in
// their shortest form, text as it is, logicals "True"/"False", null "".
std::string VariantText(const engine::Value& value);

}  // namespace AdoTools
