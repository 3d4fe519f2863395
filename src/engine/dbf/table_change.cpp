// Changing several records of a table as one step: the new record images with only the
// assigned fields encoded, the candidate-key check of all of them before the first write,
// and the undo of the images already written when a write fails part way; deletion marks of
// many records set a run of neighbouring records at a time.
#include <algorithm>
#include <cstring>

#include "engine/error.h"
#include "format.h"
#include "index_batch.h"
#include "record_codec.h"
#include "table_state.h"

namespace engine::dbf {

namespace {

// A run of neighbouring records is read and written in one call up to this size.
constexpr size_t kMaxRunBytes = 256 * 1024;

// Runs [first, last] of neighbouring records in sorted, unique records.
std::vector<std::pair<uint32_t, uint32_t>> RunsOf(const std::vector<uint32_t>& records, size_t recordLength) {
    const uint32_t most = static_cast<uint32_t>(std::max<size_t>(1, kMaxRunBytes / recordLength));
    std::vector<std::pair<uint32_t, uint32_t>> runs;
    for (uint32_t r : records) {
        if (!runs.empty() && r == runs.back().second + 1 && r - runs.back().first < most) {
            runs.back().second = r;
        } else {
            runs.emplace_back(r, r);
        }
    }
    return runs;
}

std::vector<uint32_t> SortedUnique(std::vector<uint32_t> records) {
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    return records;
}

}  // namespace

std::vector<TableState::RecordImage> TableState::MarkedImages(const std::vector<uint32_t>& records, uint8_t flag) {
    std::vector<RecordImage> images;
    images.reserve(records.size());
    const size_t length = header.recordLength;
    std::vector<uint8_t> bytes;
    for (const auto& [first, last] : RunsOf(records, length)) {
        bytes.resize(size_t(last - first + 1) * length);
        file.ReadAt(header.RecordOffset(first), bytes.data(), bytes.size(), err::kCorruptTable);
        for (uint32_t r = first; r <= last; ++r) {
            const uint8_t* at = bytes.data() + size_t(r - first) * length;
            RecordImage image{r, std::vector<uint8_t>(at, at + length), {}};
            image.after = image.before;
            image.after[0] = flag;
            images.push_back(std::move(image));
        }
    }
    return images;
}

void TableState::WriteMarks(const std::vector<uint32_t>& given, uint8_t flag) {
    const std::vector<uint32_t> records = SortedUnique(given);
    const size_t length = header.recordLength;
    struct Run {
        uint32_t first, last;
        std::vector<uint8_t> bytes;  // from the first record's mark to the last record's mark
        std::vector<uint8_t> marks;  // the marks as they were, one per record
    };
    std::vector<Run> runs;
    for (const auto& [first, last] : RunsOf(records, length)) {
        Run run{first, last, std::vector<uint8_t>(size_t(last - first) * length + 1), {}};
        file.ReadAt(header.RecordOffset(first), run.bytes.data(), run.bytes.size(), err::kCorruptTable);
        for (uint32_t r = first; r <= last; ++r) {
            uint8_t& mark = run.bytes[size_t(r - first) * length];
            run.marks.push_back(mark);
            mark = flag;
        }
        runs.push_back(std::move(run));
    }
    dirtyTable = true;
    size_t done = 0;
    try {
        for (; done < runs.size(); ++done)
            file.WriteAt(header.RecordOffset(runs[done].first), runs[done].bytes.data(), runs[done].bytes.size());
    } catch (...) {
        // Put back the marks of the runs written (and of the one that failed, which may be
        // written in part), newest first; the first error is the one reported.
        for (size_t i = std::min(done + 1, runs.size()); i-- > 0;) {
            Run& run = runs[i];
            for (uint32_t r = run.first; r <= run.last; ++r)
                run.bytes[size_t(r - run.first) * length] = run.marks[r - run.first];
            try {
                file.WriteAt(header.RecordOffset(run.first), run.bytes.data(), run.bytes.size());
            } catch (...) {
            }
        }
        DropCache();
        throw;
    }
    // Records held in the read cache take their new marks there.
    for (uint32_t r : records) {
        if (cacheCount && r >= cacheFirst && r < cacheFirst + cacheCount) cache[size_t(r - cacheFirst) * length] = flag;
    }
}

std::vector<uint8_t> TableState::ChangedRecord(const std::vector<uint8_t>& old,
                                               const std::vector<std::pair<size_t, Value>>& fields) {
    std::vector<uint8_t> record = old;
    const TableHeader& h = header;
    auto appendMemo = [&](uint32_t type, std::string_view data) {
        if (!memo.IsOpen()) throw Error(err::kCorruptMemo, "Memo file '" + DisplayName(memoPath) + "' is missing.");
        dirtyMemo = true;
        return memo.Append(type, data, mode == OpenMode::Shared);
    };
    for (const auto& [index, value] : fields) {
        if (index >= h.fields.size())
            throw Error(err::kBadArgument,
                        "Field " + std::to_string(index + 1) + " does not exist in table '" + DisplayName(path) + "'.");
        const Field& f = h.fields[index];
        if (f.IsMemo() && old[0] != fmt::kDeleted) {
            const bool wasNull = f.nullBit >= 0 && (old[h.nullFlagsOffset + f.nullBit / 8] & (1u << (f.nullBit % 8)));
            if (!wasNull && !value.IsNull() &&
                DecodeField(h, f, old.data(), codePage, memo.IsOpen() ? &memo : nullptr, path) == value)
                continue;  // an unchanged memo keeps its block
        }
        EncodeField(h, f, value, record.data(), codePage, appendMemo);
    }
    return record;
}

void TableState::WriteImages(const std::vector<RecordImage>& images, bool keys) {
    const bool indexed = keys && index;
    std::vector<cdx::RowKeys> before, after;
    if (indexed) {
        std::vector<std::pair<uint32_t, cdx::RowKeys>> changed;
        for (const RecordImage& image : images) {
            before.push_back(KeysOf(image.before.data(), image.index));
            after.push_back(KeysOf(image.after.data(), image.index));
            changed.emplace_back(image.index + 1, after.back());
        }
        index->CheckCandidates(changed);
        BeginIndexWrite();
    }
    DropCache();
    dirtyTable = true;
    IndexBatch batch(*this);   // the records' index pages are read and written once
    size_t done = 0;           // images whose keys and bytes are written
    bool keysWritten = false;  // the keys of images[done] are written, its bytes not yet
    try {
        for (; done < images.size(); ++done) {
            const RecordImage& image = images[done];
            if (indexed) {
                ChangeIndex([&] { index->Update(image.index + 1, before[done], after[done]); });
                keysWritten = true;
            }
            file.WriteAt(header.RecordOffset(image.index), image.after.data(), image.after.size());
            keysWritten = false;
        }
        // The index pages go out last (new pages included): a failure there puts back every
        // record as well.
        if (indexed) batch.Finish();
    } catch (...) {
        // Put back what this call wrote, newest first, so the table is as before the call:
        // the records' bytes first, then their index entries. An index that cannot be put
        // back stays marked for rebuilding; the first error is the one reported.
        for (size_t i = done; i-- > 0;) {
            try {
                file.WriteAt(header.RecordOffset(images[i].index), images[i].before.data(), images[i].before.size());
            } catch (...) {
            }
        }
        if (indexed) {
            try {
                if (keysWritten) index->Update(images[done].index + 1, after[done], before[done]);
                for (size_t i = done; i-- > 0;) index->Update(images[i].index + 1, after[i], before[i]);
            } catch (...) {
                indexDamaged = true;
            }
        }
        DropCache();
        throw;
    }
    DropCache();
}

}  // namespace engine::dbf
