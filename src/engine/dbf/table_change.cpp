// Changing several records of a table as one step: the new record images with only the
// assigned fields encoded, the candidate-key check of all of them before the first write,
// and the undo of the images already written when a write fails part way.
#include <cstring>

#include "engine/error.h"
#include "format.h"
#include "index_batch.h"
#include "record_codec.h"
#include "table_state.h"

namespace engine::dbf {

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
