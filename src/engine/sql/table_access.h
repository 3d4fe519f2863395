// The abstract table seen by the SQL executor. The storage layer adapts its table files to
// TableAccess and resolves table names and paths in TableProvider; tests use the in-memory
// tables of memory_table.h. Record numbers are 0-based positions in the table file.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/value.h"

namespace engine::sql {

using RecordNumber = uint32_t;

// One field of a table or of a result set. type is the FoxPro type letter: C character,
// V varchar, M memo, N numeric, F float, I integer, B double, Y currency, L logical, D date,
// T date-time, G general, W blob, Q varbinary.
struct FieldInfo {
    std::string name;
    char type = 'C';
    int length = 0;
    int decimals = 0;
    bool nullable = false;
    bool autoIncrement = false;  // an I field the table numbers itself
    friend bool operator==(const FieldInfo&, const FieldInfo&) = default;
};

// One record as read: one value per field (in field order) and the deletion mark.
// Values use the kinds of engine::Value by type letter: C V M -> string; N F -> int64_t or
// double; I -> int64_t; B -> double; Y -> Currency; L -> bool; D -> Date; T -> DateTime;
// G W Q -> Bytes; a null field -> Null.
struct Record {
    std::vector<Value> values;
    bool deleted = false;
};

// The assignments to one record: (field index, new value) pairs. A field not named keeps
// every byte it holds.
struct RecordChange {
    RecordNumber record = 0;
    std::vector<std::pair<size_t, Value>> fields;
};

// An open table. The executor holds it for one statement and then destroys it; the provider
// decides whether that closes the table or keeps it for the next statement. Every call may
// throw engine::Error (file access, corruption, a value that does not fit
// its field: the storage checks lengths and ranges and may cut or refuse).
class TableAccess {
public:
    virtual ~TableAccess() = default;

    // Fields in table order; stays valid while the table is open.
    virtual const std::vector<FieldInfo>& Fields() const = 0;
    virtual RecordNumber RecordCount() const = 0;
    // Reads record `record` (< RecordCount) into `out`, reusing its storage.
    virtual void Read(RecordNumber record, Record& out) = 0;
    // Appends a record (one value per field, of the field's kind) and returns its number.
    virtual RecordNumber Append(const std::vector<Value>& values) = 0;
    // Replaces every field value of an existing record; the deletion mark is kept.
    virtual void Overwrite(RecordNumber record, const std::vector<Value>& values) = 0;
    virtual void SetDeleted(RecordNumber record, bool deleted) = 0;
    // Applies the assignments of several records as one change: candidate keys of all of them
    // are checked before the first is written, and a failure part way puts back the records
    // already written, so either every record changes or none does.
    virtual void Change(const std::vector<RecordChange>& changes) = 0;
    // Marks or unmarks several records, all or none.
    virtual void SetDeleted(const std::vector<RecordNumber>& records, bool deleted) = 0;
    // Candidate records whose field `field` may equal `key` under SQL "=" (for text: equal after
    // trailing blanks are removed), found through an index, or nullopt when the table has no
    // index to answer from. Candidates may include records that do not match, deleted ones
    // among them (the executor checks every candidate again) but must include every match.
    virtual std::optional<std::vector<RecordNumber>> LookupEqual(size_t field, const Value& key) {
        return std::nullopt;
    }
    // The key expressions of the index tags that put the whole table in order: ascending tags
    // without a FOR condition, as the index spells them; empty when the table has no index.
    virtual std::vector<std::string> OrderTags() { return {}; }
    // The records of the table (deleted ones among them) in the order of the first such tag
    // with that key expression, equal keys in record order; nullopt when there is none or it
    // cannot be read. The executor checks the order against the records' values before it
    // relies on it.
    virtual std::optional<std::vector<RecordNumber>> RecordsInTagOrder(const std::string& keyExpression) {
        return std::nullopt;
    }
};

enum class OpenMode { kShared, kExclusive };

// Finds tables by the name a statement gives: a bare name (`IdentFil`, `Case`) or a file name or
// path given in double quotes, with or without the ".dbf" extension.
class TableProvider {
public:
    virtual ~TableProvider() = default;
    // Opens the table; throws engine::Error (err::kUnknownTable when there is none of that
    // name, err::kFileInUse when the mode cannot be had).
    virtual std::unique_ptr<TableAccess> Open(const std::string& nameOrPath, OpenMode mode) = 0;
    // Removes the records marked deleted from the table file for good. Needs exclusive use.
    virtual void Pack(const std::string& nameOrPath) = 0;
    // Rebuilds the table's index from its records. Needs exclusive use.
    virtual void Reindex(const std::string& nameOrPath) = 0;
    // Lets go of every table kept open between statements (CLOSE ALL, SET EXCLUSIVE).
    virtual void ReleaseTables() {}
    // How long opening and writing wait for a table another process holds.
    virtual void SetLockTimeout(std::chrono::milliseconds) {}
};

}  // namespace engine::sql
