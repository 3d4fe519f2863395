// The byte-range locks Visual FoxPro workstations take on a table and its structural index,
// taken by the engine too, so that a workstation of the practice and this program never write
// the same record, the header or the index at once (see docs/vfp-format.md, section 7b).
//
// Bytes locked (n = record number from 1; the header counts as record 0):
//   table with a structural index (header flag 0x01), FoxPro's own layout:
//     header            1 byte at 0x7FFFFFFE
//     record n          1 byte at 0x7FFFFFFE - n
//     whole table       from the lower of 0x78000000 (0x07FFFFFF bytes ending at 0x7FFFFFFE)
//                       and 2^31 - 1 - (2^31 - header length - 2) / (record length + 1), up to
//                       and including 0x7FFFFFFE. The low end is uncertain by a byte or two in
//                       the sources; the lower candidate covers both.
//     .cdx while it changes   1 byte at 0x7FFFFFFE of the index file
//   any other table (a free table or a container table without a structural index): where
//   FoxPro locks such a table is uncertain ("base 0x40000000, forward at the record offset"),
//   so the engine covers every candidate: the bytes above AND, from the base 0x40000000, the
//   header's bytes (0x40000000 up to the header length) and record n's bytes (0x40000000 +
//   its file offset, its record length long); the whole table is 0x40000000 to 0x7FFFFFFE.
// These lie past the data of any table FoxPro can hold (2 GB; 1 GB for the candidates from
// 0x40000000 of a table without a structural index, as with FoxPro's own), so a lock never
// stops anybody from reading; and all lie below the engine's own use and write locks
// (0x7FFFFFFF00).
//
// Kind of lock: open file description locks (F_OFD_SETLK), exclusive (F_WRLCK). They conflict
// with the classic POSIX record locks that Samba takes for Windows clients (posix locking =
// yes) and that a CIFS mount forwards to the server, just as classic locks do. Classic locks
// (F_SETLK) would not do here: they belong to the process, so every open of the same file
// inside this process (one per connection, an index opened twice) would share them, two
// connections would not exclude each other, and closing ANY descriptor of the file would drop
// all of them silently. OFD locks belong to the one open file, like a Windows handle's locks.
//
// Order, the same for every lock of every process of ours, so none deadlocks another:
//   1. the engine's use lock (held for as long as the table is open),
//   2. the engine's write lock (held across one write),
//   3. FoxPro's whole-table range, or else the header byte, then the records' bytes by
//      ascending record number,
//   4. the index file's byte.
// FoxPro's locks are released together at the end of the write. A workstation's locks are
// waited for only up to the table's lock wait, so a cycle with a workstation ends in an error,
// never a hang. Waiting is polling with short sleeps (File::LockWithin).
//
// Held: the header byte, the records' bytes and the index byte for one write (one append,
// one record change, or one batch of changes); the whole-table range for as long as the table
// is used exclusively (opened so, or while packed, reindexed, indexed or marked deleted whole).
// Under the whole-table range nothing else is taken: it covers every record and the header.
//
// Internal to engine::dbf; callers are table.cpp, table_change.cpp, table_index.cpp and
// table_pack.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "file_io.h"
#include "table_header.h"

namespace engine::dbf {

class TableState;

inline constexpr uint64_t kFoxHeaderLockOffset = 0x7FFFFFFE;  // also the .cdx's lock byte
inline constexpr uint64_t kFoxFreeTableBase = 0x40000000;

struct LockRange {
    uint64_t offset = 0;
    uint64_t length = 0;
    friend bool operator==(const LockRange&, const LockRange&) = default;
};

// The table file's ranges for the header, for the records first..first+count-1 (0-based), and
// for the whole table, as laid out above.
std::vector<LockRange> FoxHeaderRanges(const TableHeader& h);
std::vector<LockRange> FoxRecordRanges(const TableHeader& h, uint32_t first, uint32_t count);
LockRange FoxTableRange(const TableHeader& h);

// Takes FoxPro's whole-table range on st's table file (waiting up to wait) and notes it in st;
// false when a workstation holds a lock inside it. LockWholeTableOf takes it on another file
// of the table (a pack's new file), at once, without noting it.
bool LockWholeTable(TableState& st, std::chrono::milliseconds wait);
bool LockWholeTableOf(File& file, const TableHeader& h);
void UnlockWholeTable(TableState& st) noexcept;

// FoxPro's locks for one write of st, taken on construction in the order above, released on
// destruction: the header byte when header, the bytes of records (0-based, any order), and the
// index file's byte when index (and st has an index). Nothing is taken while st holds the
// whole-table range. Waits up to the table's lock wait (15 seconds when it has none), then
// throws, having taken nothing, err::kRecordInUse naming the table and the record (0 for the
// header) or err::kFileInUse naming the index file. what is the action for the message
// ("append to", "change", ...).
class FoxWriteLocks {
public:
    FoxWriteLocks(TableState& st, const char* what, bool header, std::span<const uint32_t> records, bool index);
    ~FoxWriteLocks();
    FoxWriteLocks(const FoxWriteLocks&) = delete;
    FoxWriteLocks& operator=(const FoxWriteLocks&) = delete;

private:
    void Release() noexcept;
    TableState& m_st;
    LockRange m_table{};  // span of everything taken on the table file (empty: nothing)
    File* m_index = nullptr;
};

// Test seam: called with "write" once a write's locks are held and with "table" once the
// whole-table range is, so a test can look at the locks from another process at that instant.
void SetFoxLockHook(std::function<void(const char* what)> hook);

}  // namespace engine::dbf
