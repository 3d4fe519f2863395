// engine::Table: one Visual FoxPro table file (.dbf) with its memo file, open for shared or
// exclusive use. Reads Visual FoxPro tables (0x30, 0x31, 0x32) and dBase III / FoxPro 2 tables
// (0x03, 0x83, 0xF5, 0xFB); writes Visual FoxPro tables.
//
// Values (engine::Value) per field type:
//   C V M  -> UTF-8 std::string (C keeps its trailing blanks; binary C/V take bytes as U+00nn)
//   N F    -> int64_t when the field has no decimals and the value fits, else double
//   I -> int64_t   Y -> Currency   B -> double   L -> bool
//   D -> Date (blank = Date{0})   T -> DateTime (blank = DateTime{0}; rounded to the second)
//   Q W G P and binary memos -> Bytes
//   a null per _NullFlags -> Null. A null written into a non-nullable field stores its blank.
//
// Use across connections and processes: an open table holds a shared or exclusive lock (an
// OFD lock on a byte far past the data), so exclusive use, packing and a competing open fail
// with kFileInUse naming the table while another connection holds it. Writers take a short
// write lock so appends and memo allocation from several connections never collide.
//
// Writes that would leave a structural index (.cdx, header flag 0x01) stale — Append,
// Overwrite, Pack — are refused with kIndexNotMaintained naming the table and the index file.
// Setting or clearing a deletion mark is allowed.
//
// Pack writes the new table and memo beside the old ones, syncs them, then renames them into
// place in an order that a later open completes or undoes (see docs/storage.md), so a crash
// at any instant leaves the table wholly as before or wholly as after.
//
// Every failure throws engine::Error with a number from engine/error.h and a description that
// names the file. Not thread-safe: one Table per thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"
#include "find_file.h"
#include "table_header.h"

namespace engine {

enum class OpenMode { Shared, Exclusive };

struct TableOptions {
    uint8_t codePageMark = 0x03;    // 0x03 = Windows-1252
    std::string containerLink;      // relative path of the owning .dbc, empty for a free table
    uint16_t memoBlockSize = 64;
};

struct Record {
    std::vector<Value> values;  // one per field of Fields(), in order
    bool deleted = false;
};

namespace dbf {
class TableState;
}

class Table {
public:
    // Opens an existing table (path's file name is matched without regard to case when no file
    // has exactly that name); the memo file (.fpt/.dbt, or .dct for a container) is found
    // beside it without regard to case. Finishes or undoes a pack that a crash interrupted.
    static std::unique_ptr<Table> Open(const std::filesystem::path& path, OpenMode mode = OpenMode::Shared);
    // Creates a new empty table (and its memo file when it has memo fields), open exclusively.
    // Fails with kFileAccess when the file exists.
    static std::unique_ptr<Table> Create(const std::filesystem::path& path, const std::vector<FieldSpec>& fields,
                                         const TableOptions& options = {});
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const std::filesystem::path& Path() const;
    const std::vector<Field>& Fields() const;
    // Index of the field named name (any case), or -1.
    int FieldIndex(std::string_view name) const;
    uint32_t RecordCount() const;
    uint8_t Version() const;
    uint8_t CodePageMark() const;
    std::string ContainerLink() const;
    OpenMode Mode() const;
    // The structural index file that blocks writes, or an empty path.
    std::filesystem::path StructuralIndex() const;

    // Reads record index (0-based), memo values included.
    Record ReadRecord(uint32_t index) const;
    Value ReadValue(uint32_t index, size_t field) const;
    bool IsDeleted(uint32_t index) const;

    // Appends a record; values may be fewer than the fields (the rest are blank). A null or
    // missing value in an autoincrement field takes the field's next value. Returns the index.
    uint32_t Append(const std::vector<Value>& values, bool deleted = false);
    // Replaces every field of a record; memo values that did not change keep their blocks.
    void Overwrite(uint32_t index, const std::vector<Value>& values);
    void SetDeleted(uint32_t index, bool deleted);
    // Drops the marked records and compacts the memo file. Needs that no other connection
    // holds the table; memo pointers of marked records are never followed.
    void Pack();
    // Writes the container back-link into the header.
    void SetContainerLink(const std::string& link);

    // Re-reads the header after other connections changed the table, dropping cached rows.
    void Refresh();
    // Forces written data to disk.
    void Flush();
    void Close();

private:
    explicit Table(std::unique_ptr<dbf::TableState> state);
    std::unique_ptr<dbf::TableState> m_state;
};

}  // namespace engine
