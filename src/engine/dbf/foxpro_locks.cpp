#include "foxpro_locks.h"

#include <algorithm>
#include <string>

#include "engine/error.h"
#include "format.h"
#include "table_state.h"

namespace engine::dbf {

namespace {

constexpr uint64_t kIndexedTableLow = kFoxHeaderLockOffset - 0x07FFFFFF + 1;  // 0x78000000

std::function<void(const char*)>& Hook() {
    static std::function<void(const char*)> hook;
    return hook;
}

void CallHook(const char* what) {
    if (Hook()) Hook()(what);
}

bool Indexed(const TableHeader& h) { return (h.flags & fmt::kFlagStructuralIndex) != 0; }

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Left(Clock::time_point deadline) {
    const auto now = Clock::now();
    return now >= deadline ? std::chrono::milliseconds(0)
                           : std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
}

// Takes every range on file before deadline; on failure gives back what it took and returns
// the range that could not be had.
const LockRange* TakeAll(File& file, const std::vector<LockRange>& ranges, Clock::time_point deadline) {
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (file.LockWithin(ranges[i].offset, ranges[i].length, true, Left(deadline))) continue;
        for (size_t j = 0; j < i; ++j) file.Unlock(ranges[j].offset, ranges[j].length);
        return &ranges[i];
    }
    return nullptr;
}

LockRange Span(const std::vector<LockRange>& ranges) {
    if (ranges.empty()) return {};
    uint64_t low = ranges.front().offset, high = 0;
    for (const LockRange& r : ranges) {
        low = std::min(low, r.offset);
        high = std::max(high, r.offset + r.length);
    }
    return {low, high - low};
}

}  // namespace

std::vector<LockRange> FoxHeaderRanges(const TableHeader& h) {
    std::vector<LockRange> out{{kFoxHeaderLockOffset, 1}};
    if (!Indexed(h)) out.push_back({kFoxFreeTableBase, std::max<uint64_t>(1, h.headerLength)});
    return out;
}

std::vector<LockRange> FoxRecordRanges(const TableHeader& h, uint32_t first, uint32_t count) {
    std::vector<LockRange> out;
    if (count == 0) return out;
    // Record n's byte is 0x7FFFFFFE - n: a run of records is one run of bytes, downwards.
    const uint64_t lastNumber = uint64_t(first) + count;  // 1-based number of the run's last record
    const uint64_t top = std::min<uint64_t>(lastNumber, kFoxHeaderLockOffset - 1);
    if (uint64_t(first) + 1 <= top) out.push_back({kFoxHeaderLockOffset - top, top - first});
    if (!Indexed(h))
        out.push_back(
            {kFoxFreeTableBase + h.RecordOffset(first), uint64_t(count) * std::max<uint16_t>(1, h.recordLength)});
    return out;
}

LockRange FoxTableRange(const TableHeader& h) {
    uint64_t low = kIndexedTableLow;
    // The other source's first byte: 2^31 - 1 - Int((2^31 - HeaderLen - 2) / (RecSize + 1)).
    const uint64_t records =
        ((uint64_t(1) << 31) - std::min<uint64_t>(h.headerLength + 2u, 1u << 30)) / (uint64_t(h.recordLength) + 1);
    low = std::min(low, (uint64_t(1) << 31) - 1 - records);
    if (!Indexed(h)) low = std::min(low, kFoxFreeTableBase);
    return {low, kFoxHeaderLockOffset + 1 - low};
}

bool LockWholeTableOf(File& file, const TableHeader& h) {
    const LockRange r = FoxTableRange(h);
    return file.TryLock(r.offset, r.length, true);
}

bool LockWholeTable(TableState& st, std::chrono::milliseconds wait) {
    if (st.foxTable) return true;
    const LockRange r = FoxTableRange(st.header);
    if (!st.file.LockWithin(r.offset, r.length, true, wait)) return false;
    st.foxTable = true;
    CallHook("table");
    return true;
}

void UnlockWholeTable(TableState& st) noexcept {
    if (!st.foxTable) return;
    st.foxTable = false;
    if (!st.file.IsOpen()) return;
    const LockRange r = FoxTableRange(st.header);
    st.file.Unlock(r.offset, r.length);
}

FoxWriteLocks::FoxWriteLocks(TableState& st, const char* what, bool header, std::span<const uint32_t> records,
                             bool index)
    : m_st(st) {
    if (st.foxTable) return;
    const auto deadline = Clock::now() + (st.lockWait.count() > 0 ? st.lockWait : kDefaultWriteWait);
    const TableHeader& h = st.header;
    std::vector<LockRange> ranges;
    if (header) ranges = FoxHeaderRanges(h);
    // Records by ascending number, consecutive ones as one range.
    std::vector<uint32_t> sorted(records.begin(), records.end());
    if (!std::is_sorted(sorted.begin(), sorted.end())) std::sort(sorted.begin(), sorted.end());
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // first record, last record of each range
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] <= sorted[j] + 1) ++j;
        runs.emplace_back(sorted[i], sorted[j]);
        for (const LockRange& r : FoxRecordRanges(h, sorted[i], sorted[j] - sorted[i] + 1)) ranges.push_back(r);
        i = j + 1;
    }
    auto fail = [&](long number, const std::string& which) {
        throw Error(number, "Cannot " + std::string(what) + " table '" + DisplayName(st.path) + "': " + which +
                                " is in use by another user and stayed locked longer than the wait allows. "
                                "Nothing was changed.");
    };
    if (const LockRange* failed = TakeAll(st.file, ranges, deadline)) {
        // Name the record whose bytes could not be had (the header is record 0).
        uint32_t record = 0;
        const size_t at = static_cast<size_t>(failed - ranges.data());
        size_t seen = header ? FoxHeaderRanges(h).size() : 0;
        if (at >= seen) {
            const size_t per = Indexed(h) ? 1 : 2;
            const auto [first, last] = runs[std::min((at - seen) / per, runs.size() - 1)];
            record = first + 1;
            for (uint32_t r = first; r <= last && r != UINT32_MAX; ++r) {  // which one of the run
                const std::vector<LockRange> one = FoxRecordRanges(h, r, 1);
                if (TakeAll(st.file, one, Clock::now())) {
                    record = r + 1;
                    break;
                }
                st.file.Unlock(Span(one).offset, Span(one).length);
            }
        }
        fail(err::kRecordInUse,
             record == 0 ? std::string("its header (record 0)") : "record " + std::to_string(record));
    }
    m_table = Span(ranges);
    if (index && st.index) {
        File& file = st.index->File();
        if (!file.LockWithin(kFoxHeaderLockOffset, 1, true, Left(deadline))) {
            Release();
            fail(err::kFileInUse, "its index '" + DisplayName(st.indexPath) + "'");
        }
        m_index = &file;
    }
    if (m_table.length || m_index) CallHook("write");
}

FoxWriteLocks::~FoxWriteLocks() { Release(); }

void FoxWriteLocks::Release() noexcept {
    if (m_index) m_index->Unlock(kFoxHeaderLockOffset, 1);
    m_index = nullptr;
    // One unlock for all: nothing else of this open file lies between FoxPro's bytes.
    if (m_table.length && m_st.file.IsOpen()) m_st.file.Unlock(m_table.offset, m_table.length);
    m_table = {};
}

void SetFoxLockHook(std::function<void(const char* what)> hook) { Hook() = std::move(hook); }

}  // namespace engine::dbf
