// engine::Table: one Visual FoxPro table file (.dbf) with its memo file, open for shared or
// exclusive use. Reads Visual FoxPro tables (0x30, 0x31, 0x32) and dBase III / FoxPro 2 tables
// (0x03, 0x83, 0xF5, 0xFB); writes Visual FoxPro tables.
//
// Values (engine::Value) per field type:
//   C V M  -> UTF-8 std::string (C keeps its trailing blanks; binary C/V take bytes as U+00nn)
//   N F    -> int64_t when the field has no decimals and the value fits, else double
//   I -> int64_t   Y -> Currency   B -> double   L -> bool
//   D -> Date (blank = Date{0})   T -> DateTime (blank = DateTime{0}; rounded to the second,
//        never into the next day); bytes that hold no possible date read as the empty value
//        marked damaged, and stay as stored unless the field is assigned
//   N F -> Decimal when the digits do not fit a double exactly (wide fields)
//   Q W G P and binary memos -> Bytes
//   a null per _NullFlags -> Null. A null written into a non-nullable field stores its blank.
//
// Use across connections and processes: an open table holds a shared or exclusive lock (an
// OFD lock on a byte far past the data), so exclusive use, packing and a competing open fail
// with kFileInUse naming the table while another connection holds it. Writers take a short
// write lock so appends and memo allocation from several connections never collide. Before
// an open gives up, tables of this process that their connections keep open without using
// them are asked to let the file go (table_holders.h); a holder in another process is waited
// for up to the lock wait given at open, polling. A write waits for another process's write
// lock up to that wait (15 seconds when none was given) and then fails with kFileInUse.
//
// Visual FoxPro workstations on the same files never see those locks; the engine takes
// theirs as well (dbf/foxpro_locks.h): the header byte for an append, each written record's
// byte, the index file's byte while the index changes, and the whole-table range while the
// table is used exclusively (opened so, packed, reindexed, DeleteAll). A workstation's lock is
// waited for like another process's write lock; then the write fails, having changed nothing,
// with kRecordInUse naming the table and the record (0: the header), or kFileInUse.
//
// Writes reach the disk when Flush() is called or the table is closed with writes to its
// index (see below); Flush() syncs only the files written since the last one.
//
// A table whose header names a structural index that is not there reads as usual, and every
// write is refused with kIndexNotMaintained ("structural index ... not found") until the file
// is back (REINDEX then rebuilds it from the rows).
//
// A structural index (.cdx, or .dcx for a container; header flag 0x01) is opened with the
// table and kept right by every write: Append, Overwrite, SetDeleted (for tags whose FOR
// clause reads DELETED()) and Pack (which rebuilds it). When a tag cannot be kept right (an
// expression the engine cannot evaluate, a UNIQUE tag) or the index cannot be read, those
// writes are refused naming the index file, the tag and its expression; Reindex() rebuilds a
// readable index from the rows. A writer counts itself in a marker file beside the table while
// it writes; an index left behind by a writer that died is rebuilt by the next open that has
// the table to itself (see docs/storage.md).
//
// Pack writes the new table and memo beside the old ones, syncs them, then renames them into
// place in an order that a later open completes or undoes (see docs/storage.md), so a crash
// at any instant leaves the table wholly as before or wholly as after.
//
// Every failure throws engine::Error with a number from engine/error.h and a description that
// names the file. Not thread-safe: one Table per thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cdx/structural_index.h"
#include "engine/sql/table_access.h"
#include "engine/value.h"
#include "find_file.h"
#include "table_header.h"

namespace engine {

enum class OpenMode { Shared, Exclusive };

struct TableOptions {
    uint8_t codePageMark = 0x03;  // 0x03 = Windows-1252
    std::string containerLink;    // relative path of the owning .dbc, empty for a free table
    uint16_t memoBlockSize = 64;
};

// One entry of an index tag: its key bytes and the record (0-based) it points to.
struct IndexEntry {
    std::string key;
    uint32_t record = 0;
    friend bool operator==(const IndexEntry&, const IndexEntry&) = default;
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
    // lockWait: how long to wait for another process that holds the table in a conflicting
    // mode (0: fail at once) or that writes it.
    static std::unique_ptr<Table> Open(const std::filesystem::path& path, OpenMode mode = OpenMode::Shared,
                                       std::chrono::milliseconds lockWait = std::chrono::milliseconds(0));
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
    // The structural index file, or an empty path.
    std::filesystem::path StructuralIndex() const;
    // The tags of the structural index (empty without one); throws when it cannot be read.
    std::vector<cdx::TagSpec> IndexTags() const;

    // Reads record index (0-based), memo values included.
    Record ReadRecord(uint32_t index) const;
    Value ReadValue(uint32_t index, size_t field) const;
    // Reads every field of record index into values (made one per field), the record's bytes
    // looked up once; returns whether the record is marked deleted. Text and bytes go into
    // the strings values holds already, so reading record after record into one vector
    // makes few new ones.
    bool ReadInto(uint32_t index, std::vector<Value>& values) const;
    bool IsDeleted(uint32_t index) const;

    // Appends a record; values may be fewer than the fields (the rest are blank). A null or
    // missing value in an autoincrement field takes the field's next value. Returns the index.
    uint32_t Append(const std::vector<Value>& values, bool deleted = false);
    // Appends rows as Append does, one after the other under one hold of the write lock,
    // with the index pages they change read and written once and the header written once at
    // the end. Returns the index of the first. A failure leaves the rows before it appended
    // (appended, when given, receives how many) and passes the error up.
    uint32_t AppendMany(const std::vector<std::vector<Value>>& rows, size_t* appended = nullptr);
    // AppendMany for rows kept elsewhere (not copied).
    uint32_t AppendRows(const std::vector<const std::vector<Value>*>& rows, size_t* appended = nullptr);
    // Replaces every field of a record; memo values that did not change keep their blocks.
    void Overwrite(uint32_t index, const std::vector<Value>& values);
    void SetDeleted(uint32_t index, bool deleted);
    // Writes only the assigned fields of each record (their bytes and their null and
    // varlength bits); every other byte of the record stays as stored. The candidate keys of
    // all the records are checked before the first is written, and a failure part way puts
    // back the records already written: either all records change or none does.
    void Change(const std::vector<sql::RecordChange>& changes);
    // Marks or unmarks several records, all or none.
    void SetDeleted(const std::vector<uint32_t>& records, bool deleted);
    // Marks every record deleted (DELETE ALL), holding FoxPro's whole-table lock meanwhile.
    void DeleteAll();
    // Drops the marked records and compacts the memo file. Needs that no other connection
    // holds the table; memo pointers of marked records are never followed.
    void Pack();
    // Records (0-based, ascending) whose field may equal value under SQL "=", found through a
    // tag whose key is that field alone (or UPPER(field) and the like, which give a superset),
    // or nullopt when no tag answers. Callers check every candidate against the condition.
    std::optional<std::vector<uint32_t>> SeekEqual(size_t field, const Value& value);
    // Rebuilds the structural index from the rows. Needs that no other connection holds the
    // table. Throws when there is no index or its tag definitions cannot be read.
    void Reindex();
    // Writes a new structural index with these tags (replacing any) and flags it in the
    // header. Needs that no other connection holds the table.
    void CreateIndex(const std::vector<cdx::TagSpec>& tags);
    // The entries of tag number tag (in IndexTags() order) as stored, in index order; and
    // those the rows give, sorted the same way. Equal lists mean the tag is right.
    std::vector<IndexEntry> IndexEntries(size_t tag);
    std::vector<IndexEntry> ExpectedIndexEntries(size_t tag);
    // The records (0-based) of tag number tag's entries in index order, without their keys.
    std::vector<uint32_t> IndexRecords(size_t tag);
    // Checks the structure of every tag (order, parent keys, sibling chains); throws kCorruptIndex.
    void VerifyIndex();
    // Writes the container back-link into the header.
    void SetContainerLink(const std::string& link);

    // Re-reads the header after other connections changed the table, dropping cached rows;
    // the index nodes kept in memory are checked against the index's change counter (one
    // small read) at their next use, and dropped when another writer moved it.
    void Refresh();
    // The owner promises to call Refresh at the start of every statement: lookups then use
    // the index nodes kept since without looking at the counter again. Without it every
    // lookup looks at the counter.
    void CheckOncePerStatement();
    // Makes the next lookup look at the index's change counter again (a lookup outside the
    // statement that last refreshed the table).
    void RecheckIndex();
    // Forces the data written since the last Flush to disk (table, memo and index files);
    // throws engine::Error naming the file when the system refuses.
    void Flush();
    // Starts writing what Flush would sync to the disk, without waiting for it.
    void StartFlush();
    // Whether there are writes that Flush has not forced to disk yet.
    bool Unflushed() const;
    // Device and inode of the open table file.
    std::pair<uint64_t, uint64_t> FileIdentity() const;
    void Close();

private:
    explicit Table(std::unique_ptr<dbf::TableState> state);
    std::unique_ptr<dbf::TableState> m_state;
};

}  // namespace engine
