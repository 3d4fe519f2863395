// KeyIndexes: the process-wide equality indexes behind DbfTableAccess::LookupEqual. An index
// on one field of one table file is built on its first use by reading that field of every
// record, kept current by this process's own writes, and rebuilt when the file was changed
// behind its back (by another process): a change shows in the record count, the file size
// or the modification time (nanoseconds). Indexes are keyed by file identity (device and
// inode), so every connection of the process shares them; a packed table is a new file.
// A file's indexes last while some open table of the process holds the file (a connection
// keeps its tables open between statements) and go with its last holder
// (dbf/table_holders.h): the process keeps nothing for files it let go, so memory does not
// grow with every packed table, and a file that later gets the same inode starts afresh.
//
// Keys are 64-bit hashes of the value as SQL "=" compares it (text without trailing blanks,
// numbers by value whatever their kind, dates and date-times by their moment), so a lookup
// may return records that do not match; the caller checks every candidate. Thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "engine/dbf/table.h"
#include "engine/value.h"

namespace engine::api {

// What identifies a state of a table file.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
    uint32_t recordCount = 0;
    bool valid = false;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of table's file now, with the record count the open table knows.
FileStamp StampOf(const Table& table);

// The hash key of a value for equality, or nullopt for a null (which equals nothing).
std::optional<uint64_t> EqualityKey(const Value& value);

namespace key_index {

// Candidate records (unsorted, may hold non-matches and deleted records) whose field may
// equal key, or nullopt when the field cannot be indexed (memo, general, blob fields).
std::optional<std::vector<uint32_t>> Lookup(const Table& table, size_t field, const Value& key);

// Call around every write this process makes through table: Before returns the stamp to pass
// to the matching After call, which brings the indexes of the file up to date (or drops them
// when the file had been changed by someone else meanwhile).
FileStamp BeforeWrite(const Table& table);
void AfterAppend(const Table& table, const FileStamp& before, uint32_t record);
void AfterOverwrite(const Table& table, const FileStamp& before, uint32_t record);
void AfterOverwrite(const Table& table, const FileStamp& before, const std::vector<uint32_t>& records);
void AfterMarkChange(const Table& table, const FileStamp& before);

// Forgets the indexes of table's file (before it is packed: the packed table is a new file).
void Forget(const Table& table);
// Forgets every index (tests and benchmarks measure first use with it).
void Clear();
// How many times an index was built from the file since the process started.
long BuildCount();
// Whether the process keeps indexes for the file (device, inode), as Table::FileIdentity gives.
bool Keeps(const std::pair<uint64_t, uint64_t>& file);

}  // namespace key_index
}  // namespace engine::api
