// Internal state of an open engine::Table, shared by table.cpp (open, read, write),
// table_append.cpp (appends), table_change.cpp and table_pack.cpp (pack and crash recovery). Not part of the engine's API.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/cdx/structural_index.h"

#include "codepage.h"
#include "file_io.h"
#include "memo_file.h"
#include "table.h"
#include "table_header.h"
#include "table_holders.h"

namespace engine::dbf {

// Lock bytes far beyond any real data: one for the use lock (shared/exclusive), one for
// writers. OFD locks may lie past the end of a file.
inline constexpr uint64_t kUseLockOffset = 0x7FFFFFFF00ull;
inline constexpr uint64_t kWriteLockOffset = kUseLockOffset + 1;

// How long a write waits for another process's write lock when the opener gave no wait.
inline constexpr std::chrono::milliseconds kDefaultWriteWait{15000};

// Names of the files a pack writes beside the table (suffixes to the table's own file name).
inline constexpr const char* kPackTableSuffix = ".pack-dbf";  // new table being written
inline constexpr const char* kPackMemoSuffix = ".pack-fpt";   // new memo being written
inline constexpr const char* kPackReadySuffix = ".pack-ok";   // new table complete: roll forward

class TableState {
public:
    TableState() = default;
    TableState(const TableState&) = delete;
    TableState& operator=(const TableState&) = delete;
    ~TableState() { Unhold(); }

    std::filesystem::path path;
    OpenMode mode = OpenMode::Shared;
    bool writable = false;
    std::chrono::milliseconds lockWait{0};  // how long to wait for other processes' locks
    File file;
    FileIdentity identity{};  // of file, counted in the process's holders while held
    bool held = false;
    bool foxTable = false;  // holds FoxPro's whole-table range (foxpro_locks.h)
    // Files written since they were last synced.
    bool dirtyTable = false;
    bool dirtyMemo = false;
    bool dirtyIndex = false;
    MemoFile memo;
    std::filesystem::path memoPath;               // where the memo file is or would be
    std::filesystem::path indexPath;              // structural index beside the table, or empty
    std::unique_ptr<cdx::StructuralIndex> index;  // null when there is none or it cannot be read
    std::string indexError;                       // why the index could not be read, or empty
    std::string missingIndex;                     // the structural index the header names but that is not there
    bool indexStale = false;                      // the index does not match the table and was not rebuilt
    bool markedWriter = false;                    // this connection counts in the table's index marker
    bool indexDamaged = false;                    // an index change failed half-way: leave the marker set
    // The owner calls Refresh at the start of each statement: lookups may then answer from
    // the index nodes kept since, after one look at the index's change counter per statement.
    // Otherwise every lookup looks at the counter.
    bool statementChecks = false;
    TableHeader header;
    std::vector<uint8_t> rawHeader;  // header bytes as read, rewritten verbatim by Pack
    CodePage codePage;

    // Cache of consecutive records for fast sequential reading.
    mutable std::vector<uint8_t> cache;
    mutable uint32_t cacheFirst = 0;
    mutable uint32_t cacheCount = 0;

    const uint8_t* RecordBytes(uint32_t index) const;
    void DropCache() const {
        cacheCount = 0;
        memo.DropCache();
    }
    void LoadHeader();
    // Re-reads the record count and autoincrement counters that other connections may change.
    void ReloadCounters();
    // Throws kIndexNotMaintained (or the index's own error) when a write could not keep the
    // index right; what is the action for the message ("append to", "change", "pack").
    // rebuilds: the write rebuilds the index (pack), so a broken tree does not stop it.
    void CheckIndex(const char* what, bool rebuilds = false) const;
    // Index support: opening, the keys of a record, counting as a writer, rebuilding.
    void OpenIndex();
    // Fields as index expressions name them: the container's long names when the table
    // belongs to one (looked up once, when the index is opened), else the file's names.
    std::vector<sql::FieldInfo> SqlFields(bool shortNames = false) const;
    std::vector<std::string> longNames;
    cdx::RowKeys KeysOf(const uint8_t* record, uint32_t index) const;
    mutable std::vector<Value> keyValues;  // KeysOf's row, kept to be filled again
    void BeginIndexWrite();
    // Runs change on the index; a failure leaves the index marked for rebuilding.
    template <class Fn>
    void ChangeIndex(Fn&& change) {
        dirtyIndex = true;
        try {
            change();
        } catch (...) {
            indexDamaged = true;
            throw;
        }
    }
    void RebuildIndex();
    // A record as it was and as it is to be written.
    struct RecordImage {
        uint32_t index = 0;
        std::vector<uint8_t> before, after;
    };
    // The record bytes old with the assignments encoded into them; memo values equal to the
    // stored ones keep their blocks. Call under the write lock.
    std::vector<uint8_t> ChangedRecord(const std::vector<uint8_t>& old,
                                       const std::vector<std::pair<size_t, Value>>& fields);
    // Writes the images (and, when keys, their index entries after checking candidate keys
    // of all of them); a failure part way writes back the images already written. Call under
    // the write lock.
    void WriteImages(const std::vector<RecordImage>& images, bool keys);
    // Sets the deletion mark of records (any order, repeats allowed) to flag, reading and
    // writing each run of neighbouring records in one call: the index is not touched (call it
    // only when no tag reads DELETED()). A failure part way writes back the runs already
    // written: all records change or none does. Call under the write lock.
    void WriteMarks(const std::vector<uint32_t>& records, uint8_t flag);
    // The images of records (ascending, no repeats) with their deletion marks set to flag,
    // read from the file a run of neighbouring records at a time.
    std::vector<RecordImage> MarkedImages(const std::vector<uint32_t>& records, uint8_t flag);
    // Rebuilds a stale index at open when no other connection has the table.
    void RepairIndexIfStale();
    void FinishWriting() noexcept;
    // Counts file in the process's holders (after its use lock was had), and takes it off.
    void Hold();
    void Unhold() noexcept;
    // Takes the use lock exclusively while holding it shared, then FoxPro's whole-table range
    // (foxpro_locks.h): idle tables of other connections of the process are released first,
    // other processes are waited for up to lockWait. False when the table stays in use elsewhere.
    bool UpgradeToExclusive();
    // Gives back what UpgradeToExclusive took: FoxPro's whole-table range, exclusive use.
    void DowngradeToShared() noexcept;
    // The write lock (shared use only): waits for other writers up to lockWait (or the
    // default), then throws kFileInUse naming the table. Once had, the index nodes kept in
    // memory are checked against the index's change counter at their next use.
    void LockForWriting();
    // Syncs the files written since the last sync; throws naming the file that failed.
    void SyncDirty();
    // Starts writing those files to the disk without waiting (File::StartSync).
    void StartSyncDirty();
    void CheckWritable() const;
    void CheckIndexRange(uint32_t index) const;
    std::string Name() const { return path.filename().string(); }
};

// Serialises writers of one table across connections for as long as it lives; not needed
// (and not taken) under exclusive use.
struct WriteLock {
    TableState& st;
    bool taken;
    explicit WriteLock(TableState& s) : st(s), taken(s.mode == OpenMode::Shared) {
        if (taken) st.LockForWriting();
    }
    ~WriteLock() {
        if (taken) st.file.Unlock(kWriteLockOffset, 1);
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
};

// Completes or undoes an interrupted pack of the table at path. Call only while holding the
// table's use lock exclusively. Returns true when it changed files.
bool RecoverInterruptedPack(const std::filesystem::path& path, const std::filesystem::path& memoPath);
bool HasPackLeftovers(const std::filesystem::path& path);
void PackTable(TableState& state);
std::filesystem::path MemoPathFor(const std::filesystem::path& table, const TableHeader& header);

}  // namespace engine::dbf
