// The table's side of its structural index: opening it, computing the keys of a record,
// counting this connection in the index marker while it writes, and rebuilding the index
// from the rows (at REINDEX, after PACK, and at open when a dead writer left it stale).
#include <algorithm>

#include "engine/cdx/index_marker.h"
#include "container.h"
#include "engine/error.h"
#include "file_system.h"
#include "format.h"
#include "foxpro_locks.h"
#include "record_codec.h"
#include "table_state.h"

namespace engine::dbf {

// Values as the index computes keys from them: date-times keep their milliseconds. Decoded
// into out (see DecodeFieldInto): keys are computed row after row into one kept vector.
static void KeyValueInto(const TableHeader& h, const Field& f, const uint8_t* record, const CodePage& cp,
                         const MemoFile* memo, const std::filesystem::path& path, Value& out) {
    DecodeFieldInto(h, f, record, cp, memo, path, out);
    if (f.type == 'T' && out.Is<DateTime>()) {
        const uint8_t* p = record + f.offset;
        out = DateTime{static_cast<int32_t>(fmt::Le32(p)), static_cast<int32_t>(fmt::Le32(p + 4))};
    }
}

std::vector<sql::FieldInfo> TableState::SqlFields(bool shortNames) const {
    std::vector<sql::FieldInfo> out;
    out.reserve(header.fields.size());
    for (size_t i = 0; i < header.fields.size(); ++i) {
        const Field& f = header.fields[i];
        const std::string& name = !shortNames && i < longNames.size() ? longNames[i] : f.name;
        out.push_back(sql::FieldInfo{name, f.type, f.length, f.decimals, f.nullBit >= 0});
    }
    return out;
}

namespace {

// The long field names the owning container gives the table, or none.
std::vector<std::string> LongNamesFromContainer(const std::filesystem::path& table, const std::string& backLink) {
    if (backLink.empty()) return {};
    try {
        std::string link = backLink;
        std::replace(link.begin(), link.end(), '\\', '/');
        const auto folder = table.parent_path().empty() ? std::filesystem::path(".") : table.parent_path();
        std::filesystem::path dbc = folder / link;
        if (!PathExists(dbc)) dbc = FindFileNoCase(dbc.parent_path(), dbc.filename().string());
        if (dbc.empty()) return {};
        const auto container = Container::Open(dbc, OpenMode::Shared);
        for (const ContainerTable& t : container->Tables()) {
            if (SameFile(t.file, table)) return t.fieldNames;
        }
    } catch (const Error&) {
    }
    return {};
}

}  // namespace

void TableState::OpenIndex() {
    index.reset();
    indexError.clear();
    if (indexPath.empty()) return;
    try {
        index = std::make_unique<cdx::StructuralIndex>(indexPath, writable, SqlFields(), codePage);
        // Expressions name fields by the long names a container gives them; look those up
        // only when the file's own names do not do.
        if (!index->WriteProblem().empty() && longNames.empty() && !header.backLink.empty()) {
            longNames = LongNamesFromContainer(path, header.backLink);
            if (!longNames.empty())
                index =
                    std::make_unique<cdx::StructuralIndex>(indexPath, writable, SqlFields(), codePage, SqlFields(true));
        }
    } catch (const Error& e) {
        index.reset();
        indexError = e.Description();
    }
}

cdx::RowKeys TableState::KeysOf(const uint8_t* record, uint32_t recordIndex) const {
    // The fields the tags do not read stay null: only the used ones are set, row after row.
    std::vector<Value>& values = keyValues;
    values.resize(header.fields.size());
    const MemoFile* m = memo.IsOpen() ? &memo : nullptr;
    for (size_t f : index->UsedFields()) KeyValueInto(header, header.fields[f], record, codePage, m, path, values[f]);
    sql::RowView row;
    row.values = &values;
    row.deleted = record[0] == fmt::kDeleted;
    row.record = recordIndex;
    return index->KeysOf(row);
}

void TableState::CheckIndex(const char* what, bool rebuilds) const {
    if (!missingIndex.empty() && !rebuilds)
        throw Error(err::kIndexNotMaintained, "Cannot " + std::string(what) + " table '" + DisplayName(path) +
                                                  "': its structural index '" + missingIndex +
                                                  "' is not found. Nothing was changed.");
    if (indexPath.empty()) return;
    // The start of the message, made only when there is one to give (every write asks).
    const auto head = [&] {
        return "Cannot " + std::string(what) + " table '" + DisplayName(path) + "': its structural index '" +
               DisplayName(indexPath) + "' ";
    };
    if (!index) throw Error(cdx::kCorruptIndex, head() + "cannot be read (" + indexError + "). Nothing was changed.");
    if (!index->TreeError().empty() && !rebuilds)
        throw Error(cdx::kCorruptIndex, index->TreeError() + " Nothing was changed.");
    if (!index->WriteProblem().empty())
        throw Error(err::kIndexNotMaintained,
                    head() + "cannot be kept up to date: " + index->WriteProblem() + ". Nothing was changed.");
    if (indexStale && !rebuilds)
        throw Error(err::kIndexNotMaintained,
                    head() + "does not match the table; rebuild it with REINDEX. Nothing was changed.");
}

void TableState::BeginIndexWrite() {
    if (!index || markedWriter) return;
    cdx::AddWriter(path);
    markedWriter = true;
}

void TableState::RebuildIndex() {
    if (!index) throw Error(cdx::kCorruptIndex, "Cannot rebuild index '" + DisplayName(indexPath) + "': " + indexError);
    BeginIndexWrite();
    const auto used = index->UsedFields();
    std::vector<Value> values(header.fields.size());
    uint32_t next = 0;
    const MemoFile* m = memo.IsOpen() ? &memo : nullptr;
    DropCache();
    index->Rebuild(SqlFields(), codePage, [&](sql::RowView& row) {
        if (next >= header.recordCount) return false;
        const uint8_t* bytes = RecordBytes(next);
        const bool deleted = bytes[0] == fmt::kDeleted;
        for (size_t f : used) {
            const Field& field = header.fields[f];
            // A marked record's memo pointers are never followed (its blocks may be reused).
            if (field.IsMemo() && deleted) values[f] = Value(std::string());
            else KeyValueInto(header, field, bytes, codePage, m, path, values[f]);
        }
        row.values = &values;
        row.deleted = deleted;
        row.record = next++;
        return true;
    });
    OpenIndex();
    indexStale = false;
    indexDamaged = false;
}

void TableState::RepairIndexIfStale() {
    if (!index) return;
    if (!writable) {
        indexStale = cdx::MarkerExists(path);  // cannot repair: do not trust it for lookups
        return;
    }
    // Look between other connections' writes (they hold the write lock while the index and
    // the records change), so a write under way never looks like a stale index.
    const bool shared = mode == OpenMode::Shared;
    if (shared) LockForWriting();
    struct Unlock {
        File& file;
        bool taken;
        ~Unlock() {
            if (taken) file.Unlock(kWriteLockOffset, 1);
        }
    } unlock{file, shared};
    const bool marked = cdx::MarkerExists(path);
    bool unindexed = false;
    if (header.recordCount > 0 && index->WriteProblem().empty() && index->TreeError().empty()) {
        // Cheap probe for writers that do not keep the index: the last record must be indexed.
        const uint32_t last = header.recordCount - 1;
        try {
            DropCache();
            unindexed = !index->HoldsKeys(KeysOf(RecordBytes(last), last), last + 1);
        } catch (const Error&) {
            // A broken tree is reported by the operation that meets it, unless a writer died
            // while writing it (the marker says so): then it is rebuilt below.
            if (!marked) return;
            unindexed = true;
        }
    }
    if (!marked && !unindexed) return;
    if (!file.TryLock(kUseLockOffset, 1, true)) {
        indexStale = unindexed;  // live writers hold the marker: trust them
        return;
    }
    if (!LockWholeTable(*this, std::chrono::milliseconds(0))) {  // a FoxPro workstation is writing
        if (shared) file.TryLock(kUseLockOffset, 1, false);
        indexStale = unindexed;
        return;
    }
    try {
        RebuildIndex();
        if (markedWriter) {
            index->Sync();
            file.Sync();
            cdx::ClearMarker(path);
            markedWriter = false;
        }
    } catch (const Error&) {
        indexStale = true;
    }
    if (shared) DowngradeToShared();
}

void TableState::FinishWriting() noexcept {
    if (!markedWriter) return;
    markedWriter = false;
    if (indexDamaged || !file.IsOpen()) return;  // the marker stays: the next lone open rebuilds
    try {
        SyncDirty();
        if (mode == OpenMode::Shared) LockForWriting();
        cdx::RemoveWriter(path);
        if (mode == OpenMode::Shared) file.Unlock(kWriteLockOffset, 1);
    } catch (...) {
    }
}

}  // namespace engine::dbf

namespace engine {

namespace {

// Serialises index readers with writers of other connections; not needed under exclusive use.
struct IndexLock {
    dbf::TableState& st;
    bool taken;
    explicit IndexLock(dbf::TableState& s) : st(s), taken(s.mode == OpenMode::Shared) {
        if (taken) st.LockForWriting();
    }
    ~IndexLock() {
        if (taken) st.file.Unlock(dbf::kWriteLockOffset, 1);
    }
};

cdx::StructuralIndex& ReadableIndex(dbf::TableState& st) {
    if (!st.index) {
        if (!st.missingIndex.empty())
            throw Error(err::kIndexNotMaintained, "The structural index '" + st.missingIndex + "' of table '" +
                                                      dbf::DisplayName(st.path) +
                                                      "' is not found; put the file back, then REINDEX rebuilds it.");
        if (st.indexPath.empty())
            throw Error(err::kBadArgument, "Table '" + dbf::DisplayName(st.path) + "' has no structural index.");
        throw Error(cdx::kCorruptIndex, st.indexError);
    }
    return *st.index;
}

// Takes the table for itself for the duration; gives shared use back afterwards.
struct ExclusiveUse {
    dbf::TableState& st;
    bool upgraded;
    ExclusiveUse(dbf::TableState& s, const char* what) : st(s), upgraded(s.mode == OpenMode::Shared) {
        if (upgraded && !st.UpgradeToExclusive())
            throw Error(err::kFileInUse, "Cannot " + std::string(what) + " table '" + dbf::DisplayName(st.path) +
                                             "': it is in use by another connection. Nothing was changed.");
    }
    ~ExclusiveUse() {
        if (upgraded) st.DowngradeToShared();
    }
};

}  // namespace

std::vector<cdx::TagSpec> Table::IndexTags() const {
    std::vector<cdx::TagSpec> out;
    if (m_state->indexPath.empty()) return out;
    for (const auto& t : ReadableIndex(*m_state).Tags()) {
        out.push_back(cdx::TagSpec{t.header.name, t.header.keyExpression, t.header.forExpression,
                                   (t.header.options & cdx::kOptCandidate) != 0, t.header.descending});
    }
    return out;
}

std::optional<std::vector<uint32_t>> Table::SeekEqual(size_t field, const Value& value) {
    auto& st = *m_state;
    if (!st.index || st.indexStale || field >= st.header.fields.size()) return std::nullopt;
    if (!st.statementChecks) st.index->Recheck();
    std::optional<std::vector<uint32_t>> found;
    bool answered = false;
    if (st.mode == OpenMode::Shared) {
        // The nodes kept since the last check answer without the lock; pages that must be
        // read are read under it, so that no other writer is half-way through them.
        st.index->CacheOnly(true);
        try {
            found = st.index->SeekEqual(field, value);
            answered = true;
        } catch (const cdx::IndexFile::CacheMiss&) {
        } catch (...) {
            st.index->CacheOnly(false);
            throw;
        }
        st.index->CacheOnly(false);
    }
    if (!answered) {
        IndexLock lock(st);
        found = st.index->SeekEqual(field, value);
    }
    if (!found) return found;
    std::vector<uint32_t> out;
    out.reserve(found->size());
    for (uint32_t r : *found) {
        if (r >= 1 && r <= st.header.recordCount) out.push_back(r - 1);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void Table::Reindex() {
    auto& st = *m_state;
    st.CheckWritable();
    ReadableIndex(st);
    ExclusiveUse use(st, "reindex");
    st.LoadHeader();
    st.RebuildIndex();
}

void Table::CreateIndex(const std::vector<cdx::TagSpec>& tags) {
    auto& st = *m_state;
    st.CheckWritable();
    ExclusiveUse use(st, "index");
    st.LoadHeader();
    if (st.indexPath.empty()) {
        const std::string ext = st.path.extension().string();
        const bool upper = ext.size() > 1 && std::isupper(static_cast<unsigned char>(ext[1]));
        const bool container = ext.size() == 4 && std::tolower(static_cast<unsigned char>(ext[3])) == 'c';
        const std::string own = container ? (upper ? ".DCX" : ".dcx") : (upper ? ".CDX" : ".cdx");
        st.indexPath = st.path.parent_path() / (st.path.stem().string() + own);
    }
    st.BeginIndexWrite();
    std::vector<Value> values(st.header.fields.size());
    uint32_t next = 0;
    st.DropCache();
    const dbf::MemoFile* m = st.memo.IsOpen() ? &st.memo : nullptr;
    cdx::StructuralIndex::WriteNew(st.indexPath, tags, st.SqlFields(), st.codePage, [&](sql::RowView& row) {
        if (next >= st.header.recordCount) return false;
        const uint8_t* bytes = st.RecordBytes(next);
        for (size_t f = 0; f < values.size(); ++f) {
            const Field& field = st.header.fields[f];
            if (field.IsMemo()) values[f] = Value();
            else dbf::KeyValueInto(st.header, field, bytes, st.codePage, m, st.path, values[f]);
        }
        row.values = &values;
        row.deleted = bytes[0] == dbf::fmt::kDeleted;
        row.record = next++;
        return true;
    });
    st.rawHeader[dbf::fmt::kOffTableFlags] |= dbf::fmt::kFlagStructuralIndex;
    st.dirtyTable = true;
    st.file.WriteAt(dbf::fmt::kOffTableFlags, &st.rawHeader[dbf::fmt::kOffTableFlags], 1);
    st.LoadHeader();
    st.OpenIndex();
    st.indexStale = false;
}

std::vector<IndexEntry> Table::IndexEntries(size_t tag) {
    auto& st = *m_state;
    IndexLock lock(st);
    std::vector<IndexEntry> out;
    for (const cdx::Entry& e : ReadableIndex(st).Walk(tag)) out.push_back(IndexEntry{e.key, e.record - 1});
    return out;
}

std::vector<uint32_t> Table::IndexRecords(size_t tag) {
    auto& st = *m_state;
    IndexLock lock(st);
    std::vector<uint32_t> records = ReadableIndex(st).WalkRecords(tag);
    for (uint32_t& r : records) --r;
    return records;
}

std::vector<IndexEntry> Table::ExpectedIndexEntries(size_t tag) {
    auto& st = *m_state;
    auto& index = ReadableIndex(st);
    const auto& t = index.Tags().at(tag);
    if (!t.key) throw Error(err::kIndexNotMaintained, t.problem);
    IndexLock lock(st);
    if (st.mode == OpenMode::Shared) st.ReloadCounters();
    std::vector<IndexEntry> out;
    for (uint32_t i = 0; i < st.header.recordCount; ++i) {
        const cdx::RowKeys keys = st.KeysOf(st.RecordBytes(i), i);
        if (keys[tag]) out.push_back(IndexEntry{*keys[tag], i});
    }
    std::sort(out.begin(), out.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return cdx::CompareEntry(a.key, a.record, b.key, b.record) < 0;
    });
    return out;
}

void Table::VerifyIndex() {
    auto& st = *m_state;
    IndexLock lock(st);
    ReadableIndex(st).Verify();
}

}  // namespace engine
