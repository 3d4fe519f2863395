// The append paths of engine::Table: Append (one record, header written with it) and
// AppendMany (many records under one hold of the write lock, written in one write with the
// header counting them after them and their index entries). A failure keeps what was
// appended before it and leaves the index marked for rebuilding when its entries may name
// records the disk did not take.
#include <ctime>

#include "engine/error.h"
#include "format.h"
#include "foxpro_locks.h"
#include "index_batch.h"
#include "record_codec.h"
#include "table.h"
#include "table_state.h"

namespace engine {

using dbf::TableState;
using dbf::WriteLock;

namespace {

void StampHeader(std::vector<uint8_t>& raw, uint32_t count) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    raw[dbf::fmt::kOffUpdateDate] = static_cast<uint8_t>(tm.tm_year % 100);
    raw[dbf::fmt::kOffUpdateDate + 1] = static_cast<uint8_t>(tm.tm_mon + 1);
    raw[dbf::fmt::kOffUpdateDate + 2] = static_cast<uint8_t>(tm.tm_mday);
    dbf::fmt::PutLe32(&raw[dbf::fmt::kOffRecordCount], count);
}

// Appends one record under the write lock. The header (record count, date, counters) is
// written only when writeHeader; AppendMany writes it once after its last record. With
// pending, the record's bytes are added to it instead of being written (AppendMany writes
// its records in one write); the counters then reach the header with the records. With
// added, the record's index keys are checked and kept there for the caller to insert.
uint32_t AppendLocked(dbf::TableState& st, const std::vector<Value>& values, bool deleted, bool writeHeader,
                      std::vector<uint8_t>* pending = nullptr, cdx::AddedKeys* added = nullptr) {
    auto& h = st.header;
    if (values.size() > h.fields.size())
        throw Error(err::kBadArgument, "Too many values for table '" + dbf::DisplayName(st.path) + "'.");
    const auto& fields = h.fields;
    std::vector<uint8_t> record(h.recordLength);
    dbf::BlankRecord(h, record.data());
    record[0] = deleted ? dbf::fmt::kDeleted : dbf::fmt::kLive;
    auto appendMemo = [&](uint32_t type, std::string_view data) {
        if (!st.memo.IsOpen())
            throw Error(err::kCorruptMemo, "Memo file '" + dbf::DisplayName(st.memoPath) + "' is missing.");
        st.dirtyMemo = true;
        return st.memo.Append(type, data, st.mode == OpenMode::Shared);
    };
    bool counters = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        const bool given = i < values.size() && !values[i].IsNull();
        if (f.autoIncrement) {
            const int64_t next = f.autoIncNext;
            int64_t used = next;
            if (given) {
                dbf::EncodeField(h, f, values[i], record.data(), st.codePage, appendMemo);
                used = static_cast<int32_t>(dbf::fmt::Le32(record.data() + f.offset));
                if (used < next) continue;  // an explicit lower value leaves the counter alone
            } else {
                dbf::EncodeField(h, f, Value(next), record.data(), st.codePage, appendMemo);
            }
            const int64_t after = used + f.autoIncStep;
            uint8_t* d = &st.rawHeader[dbf::fmt::kHeaderSize + dbf::fmt::kDescriptorSize * f.descriptorIndex];
            dbf::fmt::PutLe32(d + dbf::fmt::kDescAutoIncNext, static_cast<uint32_t>(static_cast<int32_t>(after)));
            h.fields[i].autoIncNext = static_cast<int32_t>(after);
            counters = true;
        } else if (i < values.size()) {
            dbf::EncodeField(h, f, values[i], record.data(), st.codePage, appendMemo);
        }
    }
    const uint32_t index = h.recordCount;
    if (st.index) {
        const cdx::RowKeys keys = st.KeysOf(record.data(), index);
        if (added) {
            st.index->Add(*added, keys, index + 1);
        } else {
            st.index->CheckCandidates(keys, index + 1);
            st.BeginIndexWrite();
            st.ChangeIndex([&] { st.index->Update(index + 1, {}, keys); });
        }
    }
    st.dirtyTable = true;
    if (pending) {
        pending->insert(pending->end(), record.begin(), record.end());
        h.recordCount = index + 1;
        return index;
    }
    record.push_back(dbf::fmt::kEndOfFile);
    try {
        st.file.WriteAt(h.RecordOffset(index), record.data(), record.size());
        StampHeader(st.rawHeader, index + 1);
        h.recordCount = index + 1;
        if (writeHeader || counters) {
            const size_t headerBytes = counters ? st.rawHeader.size() : dbf::fmt::kHeaderSize;
            st.file.WriteAt(0, st.rawHeader.data(), headerBytes);
        }
    } catch (...) {
        // The index holds the keys of a record the disk did not take: it stays marked for
        // rebuilding, which the next lone open does.
        if (st.index) st.indexDamaged = true;
        throw;
    }
    return index;
}

}  // namespace

uint32_t Table::Append(const std::vector<Value>& values, bool deleted) {
    auto& st = *m_state;
    st.CheckWritable();
    st.CheckIndex("append to");
    if (values.size() > st.header.fields.size())
        throw Error(err::kBadArgument, "Too many values for table '" + dbf::DisplayName(st.path) + "'.");
    WriteLock lock(st);
    dbf::FoxWriteLocks fox(st, "append to", true, {}, st.index != nullptr);
    if (st.mode == OpenMode::Shared) st.ReloadCounters();  // another connection may have appended
    dbf::IndexBatch batch(st);
    const uint32_t index = AppendLocked(st, values, deleted, true);
    batch.Finish();
    return index;
}

uint32_t Table::AppendMany(const std::vector<std::vector<Value>>& rows, size_t* appended) {
    std::vector<const std::vector<Value>*> each;
    each.reserve(rows.size());
    for (const auto& row : rows) each.push_back(&row);
    return AppendRows(each, appended);
}

uint32_t Table::AppendRows(const std::vector<const std::vector<Value>*>& rows, size_t* appended) {
    auto& st = *m_state;
    if (appended) *appended = 0;
    st.CheckWritable();
    st.CheckIndex("append to");
    if (rows.empty()) return st.header.recordCount;
    WriteLock lock(st);
    dbf::FoxWriteLocks fox(st, "append to", true, {}, st.index != nullptr);
    if (st.mode == OpenMode::Shared) st.ReloadCounters();  // another connection may have appended
    const uint32_t first = st.header.recordCount;
    dbf::IndexBatch batch(st);
    // The records go out in one write after the last is encoded (their memo values first, as
    // they are encoded), then the index pages, then the header that counts them. Their index
    // keys are gathered and put into the tags together before the records are written.
    cdx::AddedKeys added;
    if (st.index) added.Reserve(st.index->Tags().size(), rows.size());
    const auto insertKeys = [&] {
        if (added.Empty()) return;
        st.BeginIndexWrite();
        st.ChangeIndex([&] { st.index->Insert(added); });
    };
    // The memo values are gathered too and written, with the memo header, before the records
    // that point at them.
    struct Gathering {
        dbf::MemoFile& memo;
        explicit Gathering(dbf::MemoFile& m, bool reread) : memo(m) {
            if (memo.IsOpen()) memo.GatherAppends(reread);
        }
        ~Gathering() { memo.DropGathered(); }
    } gathering(st.memo, st.mode == OpenMode::Shared);
    std::vector<uint8_t> pending;
    pending.reserve(rows.size() * st.header.recordLength + 1);
    const auto writeRecords = [&] {
        if (pending.empty()) return;
        if (st.memo.IsOpen()) st.memo.WriteGathered();
        pending.push_back(dbf::fmt::kEndOfFile);
        st.file.WriteAt(st.header.RecordOffset(first), pending.data(), pending.size());
        StampHeader(st.rawHeader, st.header.recordCount);
    };
    // Autoincrement counters live in the field descriptors: the whole header is written then.
    bool counters = false;
    for (const Field& f : st.header.fields) counters = counters || f.autoIncrement;
    const size_t headerBytes = counters ? st.rawHeader.size() : dbf::fmt::kHeaderSize;
    size_t done = 0;
    try {
        for (const std::vector<Value>* values : rows) {
            AppendLocked(st, *values, false, false, &pending, &added);
            ++done;
        }
    } catch (...) {
        // What was appended before the failure stays, with its count in the header.
        if (appended) *appended = done;
        st.header.recordCount = first + static_cast<uint32_t>(done);
        pending.resize(size_t(done) * st.header.recordLength);
        if (done > 0) {
            try {
                insertKeys();
            } catch (...) {
                // The index is marked damaged: the rows are kept all the same.
            }
            try {
                writeRecords();
                st.file.WriteAt(0, st.rawHeader.data(), headerBytes);
            } catch (...) {
                st.indexDamaged = st.index != nullptr;  // it holds keys of records not written
            }
        }
        throw;
    }
    try {
        insertKeys();
    } catch (...) {
        st.header.recordCount = first;  // nothing was written; the index is marked damaged
        throw;
    }
    try {
        writeRecords();
    } catch (...) {
        // Their index entries are written with the batch: the index is left for rebuilding.
        st.header.recordCount = first;
        st.indexDamaged = st.index != nullptr;
        throw;
    }
    try {
        batch.Finish();
    } catch (...) {
        st.header.recordCount = first;  // the header never counted them
        throw;
    }
    st.file.WriteAt(0, st.rawHeader.data(), headerBytes);
    if (appended) *appended = done;
    return first;
}

}  // namespace engine
