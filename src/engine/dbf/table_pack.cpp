// Packing a table, and finishing or undoing a pack that a crash interrupted.
//
// Order of a pack (T = the table's file name):
//   1. write the new memo to "T.pack-fpt" and the new table to "T.pack-dbf"; fsync both;
//   2. rename "T.pack-dbf" to "T.pack-ok" and fsync the folder: the pack is now committed;
//   3. rename "T.pack-fpt" over the memo file;
//   4. rename "T.pack-ok" over T and fsync the folder.
// At open, under exclusive use: if "T.pack-ok" exists, steps 3 and 4 are done again
// (roll forward); otherwise any "T.pack-*" files are incomplete and removed (roll back). So a
// reader only ever pairs an old table with its old memo file or a new one with its new one.
// A structural index is then rebuilt from the new table (written beside and renamed over the
// old index); the table's index marker is set before the pack starts, so a crash anywhere in
// between leaves the index to be rebuilt at the next open.
//
// A pack with nothing to do writes nothing: when no record is marked deleted and the memo
// values of the records fill the memo file without a gap up to its next free block, the
// files are only read (the deletion marks, and the memo blocks' headers) and left as they are.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>

#include "engine/error.h"
#include "file_system.h"
#include "format.h"
#include "foxpro_locks.h"
#include "table_state.h"

namespace engine::dbf {

namespace {

std::filesystem::path WithSuffix(const std::filesystem::path& p, const char* suffix) {
    return std::filesystem::path(p.string() + suffix);
}

bool Exists(const std::filesystem::path& p) { return PathExists(p); }

void RemoveQuietly(const std::filesystem::path& p) { RemovePath(p); }

std::filesystem::path FolderOf(const std::filesystem::path& p) {
    return p.parent_path().empty() ? std::filesystem::path(".") : p.parent_path();
}

// Whether packing would change the table: a record is marked deleted, or the memo file holds
// space no record uses (replaced or dropped values, blocks past the last value, values shared
// by two records, which a pack copies apart).
bool PackHasWork(TableState& st, bool withMemo) {
    const TableHeader& h = st.header;
    std::vector<uint32_t> blocks;       // memo values the records point to
    std::vector<uint32_t> memoOffsets;  // where the records hold memo block numbers
    if (withMemo) {
        for (const auto& f : h.fields)
            if (f.IsMemo() && f.length == 4) memoOffsets.push_back(f.offset);
    }
    const uint32_t perChunk = std::max<uint32_t>(1, (1u << 20) / h.recordLength);
    std::vector<uint8_t> chunk;
    for (uint32_t first = 0; first < h.recordCount; first += perChunk) {
        const uint32_t n = std::min(perChunk, h.recordCount - first);
        chunk.resize(size_t(n) * h.recordLength);
        st.file.ReadAt(h.RecordOffset(first), chunk.data(), chunk.size(), err::kCorruptTable);
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t* rec = chunk.data() + size_t(i) * h.recordLength;
            if (rec[0] == fmt::kDeleted) return true;
            for (uint32_t offset : memoOffsets) {
                const uint32_t block = fmt::Le32(rec + offset);
                if (block != 0) blocks.push_back(block);
            }
        }
    }
    if (!withMemo) return false;
    // The values must lie one after the other from the end of the header to the next free block.
    std::sort(blocks.begin(), blocks.end());
    const uint64_t size = uint64_t(st.memo.BlockSize());
    File& memo = st.memo.Raw();
    const uint64_t fileSize = memo.Size();
    uint64_t expected = (fmt::kMemoHeaderSize + size - 1) / size;
    std::vector<uint8_t> window;
    uint64_t windowStart = 0;
    for (uint32_t block : blocks) {
        if (block != expected) return true;
        const uint64_t at = uint64_t(block) * size;
        if (at + fmt::kMemoBlockHeader > fileSize) return true;  // a broken pointer: let the pack report it
        if (at < windowStart || at + fmt::kMemoBlockHeader > windowStart + window.size()) {
            windowStart = at;
            window.resize(static_cast<size_t>(std::min<uint64_t>(1u << 20, fileSize - at)));
            memo.ReadAt(at, window.data(), window.size(), err::kCorruptMemo);
        }
        const uint32_t length = fmt::Be32(&window[static_cast<size_t>(at - windowStart) + 4]);
        expected = block + (fmt::kMemoBlockHeader + uint64_t(length) + size - 1) / size;
    }
    return expected != st.memo.NextFreeBlock() || fileSize > expected * size;
}

}  // namespace

bool HasPackLeftovers(const std::filesystem::path& path) {
    // One name, its suffix changed in place: every open of a table asks.
    std::string name = path.native();
    const size_t base = name.size();
    for (const char* suffix : {kPackReadySuffix, kPackTableSuffix, kPackMemoSuffix}) {
        name.resize(base);
        name += suffix;
        if (Exists(name)) return true;
    }
    return false;
}

bool RecoverInterruptedPack(const std::filesystem::path& path, const std::filesystem::path& memoPath) {
    const auto ready = WithSuffix(path, kPackReadySuffix);
    const auto newMemo = WithSuffix(path, kPackMemoSuffix);
    bool changed = false;
    if (Exists(ready)) {
        if (Exists(newMemo)) RenameFile(newMemo, memoPath);
        RenameFile(ready, path);
        changed = true;
    }
    RemoveQuietly(WithSuffix(path, kPackTableSuffix));
    RemoveQuietly(newMemo);
    SyncFolder(FolderOf(path));
    return changed;
}

void PackTable(TableState& st) {
    st.CheckWritable();
    st.CheckIndex("pack", true);
    const bool upgraded = st.mode == OpenMode::Shared;
    if (upgraded && !st.UpgradeToExclusive())
        throw Error(err::kFileInUse, "Cannot pack table '" + DisplayName(st.path) +
                                         "': it is in use by another connection. Nothing was changed.");
    try {
        st.LoadHeader();
        if (st.memo.IsOpen()) st.memo.Reread();
        if (!PackHasWork(st, st.memo.IsOpen() && st.header.HasMemoFields())) {
            // Nothing to drop: a damaged or stale index is still rebuilt, as a pack would.
            if (st.index && (!st.index->TreeError().empty() || st.indexStale)) st.RebuildIndex();
            if (upgraded) st.DowngradeToShared();
            return;
        }
    } catch (...) {
        if (upgraded) st.DowngradeToShared();
        throw;
    }
    const auto tmpTable = WithSuffix(st.path, kPackTableSuffix);
    const auto tmpMemo = WithSuffix(st.path, kPackMemoSuffix);
    const auto ready = WithSuffix(st.path, kPackReadySuffix);
    bool committed = false;
    try {
        st.BeginIndexWrite();  // from here until the index is rebuilt it may not match the table
        st.LoadHeader();
        RemoveQuietly(tmpTable);
        RemoveQuietly(tmpMemo);
        const TableHeader& h = st.header;
        const bool withMemo = st.memo.IsOpen() && h.HasMemoFields();
        MemoFile memo;
        if (withMemo) memo = MemoFile::Create(tmpMemo, static_cast<uint16_t>(st.memo.BlockSize()));
        File out(tmpTable, File::Access::Create);

        std::vector<uint8_t> raw = st.rawHeader;
        std::vector<uint8_t> buffer;
        // Records are written in pieces of about 1 MB; a small table needs no more than itself.
        buffer.reserve(std::min<size_t>(1 << 20, size_t(h.recordCount) * h.recordLength + 1));
        uint64_t writeAt = raw.size();
        uint32_t kept = 0;
        const uint32_t perChunk = std::max<uint32_t>(1, (1u << 20) / h.recordLength);
        std::vector<uint8_t> chunk;
        for (uint32_t first = 0; first < h.recordCount; first += perChunk) {
            const uint32_t n = std::min(perChunk, h.recordCount - first);
            chunk.resize(size_t(n) * h.recordLength);
            st.file.ReadAt(h.RecordOffset(first), chunk.data(), chunk.size(), err::kCorruptTable);
            for (uint32_t i = 0; i < n; ++i) {
                uint8_t* rec = chunk.data() + size_t(i) * h.recordLength;
                if (rec[0] == fmt::kDeleted) continue;  // its memo pointers are never followed
                if (withMemo) {
                    for (const auto& f : h.fields) {
                        if (!f.IsMemo() || f.length != 4) continue;
                        const uint32_t block = fmt::Le32(rec + f.offset);
                        if (block == 0) continue;
                        const MemoValue value = st.memo.Read(block);
                        const uint32_t moved = memo.Append(
                            value.type, {reinterpret_cast<const char*>(value.data.data()), value.data.size()}, false);
                        fmt::PutLe32(rec + f.offset, moved);
                    }
                }
                buffer.insert(buffer.end(), rec, rec + h.recordLength);
                ++kept;
                if (buffer.size() >= (1u << 20)) {
                    out.WriteAt(writeAt, buffer.data(), buffer.size());
                    writeAt += buffer.size();
                    buffer.clear();
                }
            }
        }
        buffer.push_back(fmt::kEndOfFile);
        out.WriteAt(writeAt, buffer.data(), buffer.size());
        fmt::PutLe32(&raw[fmt::kOffRecordCount], kept);
        out.WriteAt(0, raw.data(), raw.size());
        out.Sync();
        if (withMemo) memo.Sync();
        memo = MemoFile();
        SyncFolder(FolderOf(st.path));
        // Hold the new file before anybody can see it under the table's name.
        if (!out.TryLock(kUseLockOffset, 1, true) || (st.foxTable && !LockWholeTableOf(out, h)))
            throw Error(err::kFileInUse, "Cannot pack table '" + DisplayName(st.path) + "'.");

        RenameFile(tmpTable, ready);
        SyncFolder(FolderOf(st.path));
        committed = true;
        if (withMemo) RenameFile(tmpMemo, st.memoPath);
        RenameFile(ready, st.path);
        SyncFolder(FolderOf(st.path));

        st.file = std::move(out);  // closing the old file releases its locks
        st.Hold();
        st.memo = MemoFile();
        if (withMemo) st.memo = MemoFile(st.memoPath, true);
        st.LoadHeader();
        if (st.index) st.RebuildIndex();
        if (upgraded) st.DowngradeToShared();
    } catch (...) {
        if (!committed) {
            RemoveQuietly(tmpTable);
            RemoveQuietly(tmpMemo);
            if (upgraded) st.DowngradeToShared();
        }
        throw;
    }
}

}  // namespace engine::dbf
