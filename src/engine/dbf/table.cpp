#include "table.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "engine/error.h"
#include "engine/warning.h"
#include "file_system.h"
#include "foxpro_locks.h"
#include "format.h"
#include "index_batch.h"
#include "record_codec.h"
#include "table_state.h"

namespace engine {

using dbf::File;
using dbf::TableState;
using dbf::WriteLock;

namespace {

constexpr size_t kCacheBytes = 256 * 1024;
constexpr size_t kJumpBytes = 8 * 1024;

[[noreturn]] void ThrowInUse(const std::filesystem::path& path) {
    throw Error(err::kFileInUse, "Table '" + dbf::DisplayName(path) + "' is in use by another connection.");
}

std::string LowerExt(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// A companion file name for table: stem + ext, in the case of the table's own extension.
std::string Companion(const std::filesystem::path& table, std::string ext) {
    const std::string own = table.extension().string();
    const bool upper = own.size() > 1 && std::isupper(static_cast<unsigned char>(own[1]));
    if (upper) std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
    return table.stem().string() + ext;
}

bool IsContainerFile(const std::filesystem::path& table, const dbf::TableHeader& h) {
    return LowerExt(table) == ".dbc" || (h.flags & dbf::fmt::kFlagContainer);
}

}  // namespace

namespace dbf {

std::filesystem::path MemoPathFor(const std::filesystem::path& table, const TableHeader& header) {
    const auto folder = table.parent_path();
    const bool container = IsContainerFile(table, header);
    for (const char* ext : container ? std::vector<const char*>{".dct"} : std::vector<const char*>{".fpt", ".dbt"}) {
        auto found = FindFileNoCase(folder.empty() ? "." : folder, table.stem().string() + ext);
        if (!found.empty()) return folder.empty() ? found.filename() : found;
    }
    return folder / Companion(table, container ? ".dct" : ".fpt");
}

const uint8_t* TableState::RecordBytes(uint32_t index) const {
    CheckIndexRange(index);
    if (cacheCount == 0 || index < cacheFirst || index >= cacheFirst + cacheCount) {
        // Reading on from the block before reads a large block; a jump (a record found
        // through an index) reads a small one, as the records around it are seldom wanted.
        const bool onward = cacheCount != 0 && index == cacheFirst + cacheCount;
        const size_t bytes = onward ? kCacheBytes : kJumpBytes;
        const uint32_t per = std::max<uint32_t>(1, static_cast<uint32_t>(bytes / header.recordLength));
        const uint32_t count = std::min(per, header.recordCount - index);
        cache.resize(size_t(count) * header.recordLength);
        const size_t got = file.ReadSome(header.RecordOffset(index), cache.data(), cache.size());
        if (got < header.recordLength)
            throw Error(err::kCorruptTable, "Table '" + DisplayName(path) + "' is corrupt: record " +
                                                std::to_string(index + 1) + " lies beyond the end of the file.");
        cacheFirst = index;
        cacheCount = static_cast<uint32_t>(got / header.recordLength);
    }
    return cache.data() + size_t(index - cacheFirst) * header.recordLength;
}

void TableState::LoadHeader() {
    uint8_t first[fmt::kHeaderSize];
    if (file.ReadSome(0, first, sizeof first) != sizeof first)
        throw Error(err::kCorruptTable, "Table '" + DisplayName(path) + "' is corrupt: the header is truncated.");
    const uint16_t length = std::max<uint16_t>(TableHeader::HeaderLengthOf(first), fmt::kHeaderSize);
    rawHeader.assign(length, 0);
    rawHeader.resize(file.ReadSome(0, rawHeader.data(), length));
    // The size after the header: an append grows the file before it counts the record, so a
    // count read first never goes beyond the size read after it.
    const uint64_t size = file.Size();
    header = TableHeader::Parse(rawHeader, size, path);
    codePage = CodePage(header.codePageMark);
    if (codePage.Substituted()) {
        char mark[8];
        std::snprintf(mark, sizeof mark, "0x%02X", header.codePageMark);
        WarnOnce("Table '" + DisplayName(path) + "' has the unknown code page mark " + mark +
                 "; its text is read as code page 1252.");
    }
    DropCache();
}

void TableState::ReloadCounters() {
    file.ReadAt(0, rawHeader.data(), rawHeader.size(), err::kCorruptTable);
    const uint32_t count = fmt::Le32(&rawHeader[fmt::kOffRecordCount]);
    // In shared use the file only grows, so a count seen before needs no new look at its size.
    if (count != header.recordCount && header.RecordOffset(count) > file.Size())
        throw Error(err::kCorruptTable,
                    "Table '" + DisplayName(path) + "' is corrupt: the record count goes beyond the end of the file.");
    if (count != header.recordCount) DropCache();
    header.recordCount = count;
    for (auto& f : header.fields) {
        if (!f.autoIncrement) continue;
        const uint8_t* d = &rawHeader[fmt::kHeaderSize + fmt::kDescriptorSize * f.descriptorIndex];
        f.autoIncNext = static_cast<int32_t>(fmt::Le32(d + fmt::kDescAutoIncNext));
    }
}

void TableState::Hold() {
    Unhold();
    identity = file.Identity();
    AddHolder(identity);
    held = true;
}

void TableState::Unhold() noexcept {
    if (!held) return;
    held = false;
    RemoveHolder(identity);
}

bool TableState::UpgradeToExclusive() {
    bool upgraded = file.TryLock(kUseLockOffset, 1, true);
    if (!upgraded) {
        ReleaseIdle(identity);
        upgraded = file.TryLock(kUseLockOffset, 1, true);
    }
    if (!upgraded && (HolderCount(identity) > 1 || lockWait.count() <= 0)) return false;
    if (!upgraded && !file.LockWithin(kUseLockOffset, 1, true, lockWait)) return false;
    // FoxPro workstations know nothing of the use lock: their locks are waited for as well.
    if (LockWholeTable(*this, lockWait)) return true;
    file.TryLock(kUseLockOffset, 1, false);
    return false;
}

void TableState::DowngradeToShared() noexcept {
    UnlockWholeTable(*this);
    file.TryLock(kUseLockOffset, 1, false);
}

void TableState::LockForWriting() {
    if (file.LockWithin(kWriteLockOffset, 1, true, lockWait.count() > 0 ? lockWait : kDefaultWriteWait)) {
        if (index) index->Recheck();
        return;
    }
    throw Error(err::kFileInUse, "Table '" + DisplayName(path) +
                                     "' is in use by another connection: it is being "
                                     "written and stayed so longer than the wait allows.");
}

void TableState::StartSyncDirty() {
    if (dirtyMemo && memo.IsOpen()) memo.StartSync();
    if (dirtyIndex && index) index->StartSync();
    if (dirtyTable) file.StartSync();
}

void TableState::SyncDirty() {
    if (dirtyMemo && memo.IsOpen()) memo.Sync();
    dirtyMemo = false;
    if (dirtyIndex && index) index->Sync();
    dirtyIndex = false;
    if (dirtyTable) file.Sync();
    dirtyTable = false;
}

void TableState::CheckWritable() const {
    if (!writable || !header.IsVisualFoxPro())
        throw Error(err::kFileAccess, "Table '" + DisplayName(path) + "' is read-only.");
}

void TableState::CheckIndexRange(uint32_t index) const {
    if (index >= header.recordCount)
        throw Error(err::kBadArgument,
                    "Record " + std::to_string(index + 1) + " is out of range in table '" + DisplayName(path) + "'.");
}

}  // namespace dbf

Table::Table(std::unique_ptr<TableState> state) : m_state(std::move(state)) {}
Table::~Table() { m_state->FinishWriting(); }

namespace {

// Takes the table's use lock: at once, or after idle tables of other connections of this
// process let the file go, or after other processes did within the table's lock wait.
bool TakeUse(TableState& st, bool exclusive) {
    if (st.file.TryLock(dbf::kUseLockOffset, 1, exclusive)) return true;
    const dbf::FileIdentity id = st.file.Identity();
    dbf::ReleaseIdle(id);
    if (st.file.TryLock(dbf::kUseLockOffset, 1, exclusive)) return true;
    if (dbf::HolderCount(id) > 0 || st.lockWait.count() <= 0) return false;
    return st.file.LockWithin(dbf::kUseLockOffset, 1, exclusive, st.lockWait);
}

}  // namespace

std::unique_ptr<Table> Table::Open(const std::filesystem::path& given, OpenMode mode,
                                   std::chrono::milliseconds lockWait) {
    std::filesystem::path path = given;
    if (!dbf::PathExists(path)) {
        const auto folder = path.parent_path();
        const auto found = FindFileNoCase(folder.empty() ? "." : folder, path.filename().string());
        if (!found.empty()) path = folder.empty() ? found.filename() : found;
    }
    for (int attempt = 0; attempt < 500; ++attempt) {
        auto st = std::make_unique<TableState>();
        st->path = path;
        st->mode = mode;
        st->lockWait = lockWait;
        try {
            st->file = File(path, File::Access::ReadWrite);
            st->writable = true;
        } catch (const Error& e) {
            if (e.Number() != err::kFileAccess) throw;
            st->file = File(path, File::Access::Read);
            if (mode == OpenMode::Exclusive)
                throw Error(err::kFileAccess,
                            "Table '" + dbf::DisplayName(path) + "' is read-only; it cannot be used exclusively.");
        }
        if (!TakeUse(*st, mode == OpenMode::Exclusive)) ThrowInUse(path);
        if (!st->file.StillAtPath()) continue;  // replaced by a pack meanwhile: open the new file
        st->Hold();
        if (dbf::HasPackLeftovers(path)) {
            if (!st->writable || !st->file.TryLock(dbf::kUseLockOffset, 1, true)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            st->LoadHeader();
            dbf::RecoverInterruptedPack(path, dbf::MemoPathFor(path, st->header));
            continue;
        }
        st->LoadHeader();
        if (mode == OpenMode::Exclusive && !dbf::LockWholeTable(*st, lockWait))
            throw Error(err::kFileInUse, "Table '" + dbf::DisplayName(path) +
                                             "' is in use by another user: records or the whole of it are locked.");
        // A table without memo fields never reads its memo file: no need to look for one.
        if (st->header.HasMemoFields()) {
            st->memoPath = dbf::MemoPathFor(path, st->header);
            if (dbf::PathExists(st->memoPath)) st->memo = dbf::MemoFile(st->memoPath, st->writable);
        } else {
            st->memoPath = path.parent_path() / Companion(path, IsContainerFile(path, st->header) ? ".dct" : ".fpt");
        }
        if (st->header.flags & dbf::fmt::kFlagStructuralIndex) {
            const bool container = IsContainerFile(path, st->header);
            const auto folder = path.parent_path();
            st->indexPath =
                FindFileNoCase(folder.empty() ? "." : folder, path.stem().string() + (container ? ".dcx" : ".cdx"));
            if (st->indexPath.empty())  // reads go on; writes are refused until the file is back
                st->missingIndex = Companion(path, container ? ".dcx" : ".cdx");
            st->OpenIndex();
            st->RepairIndexIfStale();
        }
        return std::unique_ptr<Table>(new Table(std::move(st)));
    }
    ThrowInUse(path);
}

std::unique_ptr<Table> Table::Create(const std::filesystem::path& path, const std::vector<FieldSpec>& fields,
                                     const TableOptions& options) {
    const auto folder = path.parent_path();
    if (!FindFileNoCase(folder.empty() ? "." : folder, path.filename().string()).empty())
        throw Error(err::kFileAccess, "Cannot create table '" + dbf::DisplayName(path) + "': the file exists.");
    dbf::TableHeader header = dbf::TableHeader::Build(fields, options.codePageMark, options.containerLink);
    if (LowerExt(path) == ".dbc") header.flags |= dbf::fmt::kFlagContainer | dbf::fmt::kFlagMemo;
    {
        File file(path, File::Access::Create);
        std::vector<uint8_t> bytes = header.Serialize();
        bytes.push_back(dbf::fmt::kEndOfFile);
        file.WriteAt(0, bytes.data(), bytes.size());
        if (header.HasMemoFields()) dbf::MemoFile::Create(dbf::MemoPathFor(path, header), options.memoBlockSize);
    }
    return Open(path, OpenMode::Exclusive);
}

const std::filesystem::path& Table::Path() const { return m_state->path; }
const std::vector<Field>& Table::Fields() const { return m_state->header.fields; }
uint32_t Table::RecordCount() const { return m_state->header.recordCount; }
uint8_t Table::Version() const { return m_state->header.version; }
uint8_t Table::CodePageMark() const { return m_state->header.codePageMark; }
std::string Table::ContainerLink() const { return m_state->header.backLink; }
OpenMode Table::Mode() const { return m_state->mode; }
std::filesystem::path Table::StructuralIndex() const { return m_state->indexPath; }

int Table::FieldIndex(std::string_view name) const {
    const auto& fields = m_state->header.fields;
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string& n = fields[i].name;
        if (n.size() == name.size() && std::equal(n.begin(), n.end(), name.begin(),
                                                  [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

// The value of field f in a record's bytes, put into out (see DecodeFieldInto). A marked
// record's memo blocks may have been reused; its memo pointers are never followed.
void DecodeStored(const TableState& st, const Field& f, const uint8_t* bytes, Value& out) {
    if (f.IsMemo() && bytes[0] == dbf::fmt::kDeleted) {
        const bool isNull =
            f.nullBit >= 0 && (bytes[st.header.nullFlagsOffset + f.nullBit / 8] & (1u << (f.nullBit % 8)));
        if (isNull) out = Value();
        else out = (f.type == 'M' && !f.binary) ? Value(std::string()) : Value(Bytes());
        return;
    }
    dbf::DecodeFieldInto(st.header, f, bytes, st.codePage, st.memo.IsOpen() ? &st.memo : nullptr, st.path, out);
}

}  // namespace

Value Table::ReadValue(uint32_t index, size_t field) const {
    const auto& st = *m_state;
    if (field >= st.header.fields.size())
        throw Error(err::kItemNotFound, "Field " + std::to_string(field + 1) + " does not exist in table '" +
                                            dbf::DisplayName(st.path) + "'.");
    Value out;
    DecodeStored(st, st.header.fields[field], st.RecordBytes(index), out);
    return out;
}

bool Table::ReadInto(uint32_t index, std::vector<Value>& values) const {
    const auto& st = *m_state;
    const uint8_t* bytes = st.RecordBytes(index);
    const auto& fields = st.header.fields;
    values.resize(fields.size());
    for (size_t i = 0; i < fields.size(); ++i) DecodeStored(st, fields[i], bytes, values[i]);
    return bytes[0] == dbf::fmt::kDeleted;
}

Record Table::ReadRecord(uint32_t index) const {
    Record r;
    r.deleted = ReadInto(index, r.values);
    return r;
}

bool Table::IsDeleted(uint32_t index) const { return m_state->RecordBytes(index)[0] == dbf::fmt::kDeleted; }

void Table::Overwrite(uint32_t index, const std::vector<Value>& values) {
    auto& st = *m_state;
    st.CheckWritable();
    st.CheckIndex("change");
    st.CheckIndexRange(index);
    const auto& fields = st.header.fields;
    if (values.size() != fields.size())
        throw Error(err::kBadArgument, "Overwrite of table '" + dbf::DisplayName(st.path) + "' needs " +
                                           std::to_string(fields.size()) + " values.");
    WriteLock lock(st);
    const uint32_t records[] = {index};
    dbf::FoxWriteLocks fox(st, "change", false, records, st.index != nullptr);
    st.DropCache();
    const auto& h = st.header;
    std::vector<uint8_t> record(h.recordLength);
    st.file.ReadAt(h.RecordOffset(index), record.data(), record.size(), err::kCorruptTable);
    const std::vector<uint8_t> old = record;
    auto appendMemo = [&](uint32_t type, std::string_view data) {
        if (!st.memo.IsOpen())
            throw Error(err::kCorruptMemo, "Memo file '" + dbf::DisplayName(st.memoPath) + "' is missing.");
        st.dirtyMemo = true;
        return st.memo.Append(type, data, st.mode == OpenMode::Shared);
    };
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        if (f.autoIncrement && values[i].IsNull()) continue;
        if (f.IsMemo() && old[0] != dbf::fmt::kDeleted) {
            const bool wasNull = f.nullBit >= 0 && (old[h.nullFlagsOffset + f.nullBit / 8] & (1u << (f.nullBit % 8)));
            if (!wasNull && !values[i].IsNull() &&
                dbf::DecodeField(h, f, old.data(), st.codePage, st.memo.IsOpen() ? &st.memo : nullptr, st.path) ==
                    values[i])
                continue;  // unchanged memo keeps its block
        }
        dbf::EncodeField(h, f, values[i], record.data(), st.codePage, appendMemo);
    }
    if (st.index) {
        const cdx::RowKeys before = st.KeysOf(old.data(), index);
        const cdx::RowKeys after = st.KeysOf(record.data(), index);
        st.index->CheckCandidates(after, index + 1);
        st.BeginIndexWrite();
        dbf::IndexBatch batch(st);
        st.ChangeIndex([&] { st.index->Update(index + 1, before, after); });
        batch.Finish();
    }
    st.dirtyTable = true;
    st.file.WriteAt(h.RecordOffset(index), record.data(), record.size());
}

namespace {

// Marks or unmarks one record (and its entries in tags that read DELETED() when indexed).
// Call under the table's write locks.
void MarkRecord(TableState& st, uint32_t index, bool deleted, bool indexed) {
    const uint8_t flag = deleted ? dbf::fmt::kDeleted : dbf::fmt::kLive;
    if (indexed) {
        st.DropCache();
        std::vector<uint8_t> record(st.header.recordLength);
        st.file.ReadAt(st.header.RecordOffset(index), record.data(), record.size(), err::kCorruptTable);
        const cdx::RowKeys before = st.KeysOf(record.data(), index);
        record[0] = flag;
        const cdx::RowKeys after = st.KeysOf(record.data(), index);
        st.index->CheckCandidates(after, index + 1);
        st.BeginIndexWrite();
        dbf::IndexBatch batch(st);
        st.ChangeIndex([&] { st.index->Update(index + 1, before, after); });
        batch.Finish();
    }
    st.dirtyTable = true;
    st.file.WriteAt(st.header.RecordOffset(index), &flag, 1);
    if (st.cacheCount && index >= st.cacheFirst && index < st.cacheFirst + st.cacheCount)
        st.cache[size_t(index - st.cacheFirst) * st.header.recordLength] = flag;
}

}  // namespace

void Table::SetDeleted(uint32_t index, bool deleted) {
    auto& st = *m_state;
    if (!st.writable) throw Error(err::kFileAccess, "Table '" + dbf::DisplayName(st.path) + "' is read-only.");
    st.CheckIndexRange(index);
    const bool indexed = st.index && st.index->AnyForUsesDeleted();
    if (indexed || !st.missingIndex.empty() || (!st.indexPath.empty() && !st.index)) st.CheckIndex("mark records in");
    WriteLock lock(st);
    const uint32_t records[] = {index};
    dbf::FoxWriteLocks fox(st, "mark records in", false, records, indexed);
    MarkRecord(st, index, deleted, indexed);
}

void Table::DeleteAll() {
    auto& st = *m_state;
    st.CheckWritable();
    const bool indexed = st.index && st.index->AnyForUsesDeleted();
    if (indexed || !st.missingIndex.empty() || (!st.indexPath.empty() && !st.index)) st.CheckIndex("mark records in");
    WriteLock lock(st);
    const bool taken = !st.foxTable;  // under exclusive use it is held already
    if (taken && !dbf::LockWholeTable(st, st.lockWait.count() > 0 ? st.lockWait : dbf::kDefaultWriteWait))
        throw Error(err::kFileInUse, "Cannot mark all records of table '" + dbf::DisplayName(st.path) +
                                         "' deleted: records of it are locked by another user and stayed so longer "
                                         "than the wait allows. Nothing was changed.");
    struct Unlock {
        TableState& st;
        bool taken;
        ~Unlock() {
            if (taken) dbf::UnlockWholeTable(st);
        }
    } unlock{st, taken};
    if (st.mode == OpenMode::Shared) st.ReloadCounters();  // rows other connections appended count too
    st.DropCache();
    for (uint32_t i = 0; i < st.header.recordCount; ++i)
        if (st.RecordBytes(i)[0] != dbf::fmt::kDeleted) MarkRecord(st, i, true, indexed);
}

void Table::Change(const std::vector<sql::RecordChange>& changes) {
    auto& st = *m_state;
    st.CheckWritable();
    st.CheckIndex("change");
    for (const sql::RecordChange& c : changes) st.CheckIndexRange(c.record);
    if (changes.empty()) return;
    WriteLock lock(st);
    std::vector<uint32_t> records;
    records.reserve(changes.size());
    for (const sql::RecordChange& c : changes) records.push_back(c.record);
    dbf::FoxWriteLocks fox(st, "change", false, records, st.index != nullptr);
    std::vector<TableState::RecordImage> images;
    images.reserve(changes.size());
    for (const sql::RecordChange& c : changes) {
        std::vector<uint8_t> old(st.header.recordLength);
        st.file.ReadAt(st.header.RecordOffset(c.record), old.data(), old.size(), err::kCorruptTable);
        std::vector<uint8_t> changed = st.ChangedRecord(old, c.fields);
        images.push_back(TableState::RecordImage{c.record, std::move(old), std::move(changed)});
    }
    st.WriteImages(images, true);
}

void Table::SetDeleted(const std::vector<uint32_t>& records, bool deleted) {
    auto& st = *m_state;
    st.CheckWritable();
    for (uint32_t r : records) st.CheckIndexRange(r);
    const bool indexed = st.index && st.index->AnyForUsesDeleted();
    if (indexed || !st.missingIndex.empty() || (!st.indexPath.empty() && !st.index)) st.CheckIndex("mark records in");
    if (records.empty()) return;
    WriteLock lock(st);
    dbf::FoxWriteLocks fox(st, "mark records in", false, records, indexed);
    const uint8_t flag = deleted ? dbf::fmt::kDeleted : dbf::fmt::kLive;
    if (!indexed) return st.WriteMarks(records, flag);
    std::vector<uint32_t> sorted = records;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    st.WriteImages(st.MarkedImages(sorted, flag), true);
}

void Table::Pack() { dbf::PackTable(*m_state); }

void Table::SetContainerLink(const std::string& link) {
    auto& st = *m_state;
    st.CheckWritable();
    if (link.size() >= dbf::fmt::kBackLinkSize)
        throw Error(err::kBadArgument, "Container path '" + link + "' is too long.");
    WriteLock lock(st);
    dbf::FoxWriteLocks fox(st, "change the header of", true, {}, false);
    st.LoadHeader();
    const size_t descriptors = st.header.fields.size() + (st.header.nullFlagsOffset >= 0 ? 1 : 0);
    const size_t at = dbf::fmt::kHeaderSize + dbf::fmt::kDescriptorSize * descriptors + 1;
    if (at + dbf::fmt::kBackLinkSize > st.header.headerLength)
        throw Error(err::kCorruptTable, "Table '" + dbf::DisplayName(st.path) + "' has no room for a container path.");
    std::vector<uint8_t> bytes(dbf::fmt::kBackLinkSize, 0);
    std::copy(link.begin(), link.end(), bytes.begin());
    st.dirtyTable = true;
    st.file.WriteAt(at, bytes.data(), bytes.size());
    st.LoadHeader();
}

void Table::Refresh() {
    m_state->ReloadCounters();
    m_state->DropCache();
    if (m_state->index) m_state->index->Recheck();
}

void Table::CheckOncePerStatement() { m_state->statementChecks = true; }

void Table::RecheckIndex() {
    if (m_state->index) m_state->index->Recheck();
}

void Table::Flush() { m_state->SyncDirty(); }

void Table::StartFlush() { m_state->StartSyncDirty(); }

bool Table::Unflushed() const { return m_state->dirtyTable || m_state->dirtyMemo || m_state->dirtyIndex; }

std::pair<uint64_t, uint64_t> Table::FileIdentity() const { return m_state->identity; }

void Table::Close() {
    m_state->FinishWriting();
    m_state->index.reset();
    m_state->memo = dbf::MemoFile();
    dbf::UnlockWholeTable(*m_state);
    m_state->file.Close();
    m_state->Unhold();
}

}  // namespace engine
