#include "engine/api/key_index.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "engine/dbf/file_system.h"
#include "engine/dbf/table_holders.h"
#include "engine/sql/value_ops.h"

namespace engine::api {
namespace {

uint64_t Mix(uint64_t x) {  // splitmix64 finaliser
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

enum Tag : uint64_t { kLogical = 0x4C, kNumber = 0x4E, kText = 0x43, kMoment = 0x44, kBytes = 0x42 };

uint64_t Tagged(Tag tag, uint64_t x) { return Mix(x ^ (uint64_t{tag} << 56)); }

uint64_t NumberKey(double d) {
    if (d == std::trunc(d) && std::fabs(d) < 9.2e18)
        return Tagged(kNumber, static_cast<uint64_t>(static_cast<int64_t>(d)));
    return Tagged(kNumber, std::bit_cast<uint64_t>(d) ^ 0x5555555555555555ull);
}

bool Indexable(const Field& f) { return !f.IsMemo() && f.type != 'Q'; }

// The index of one field: a sorted array built from the file, plus the keys of records this
// process wrote since, folded into the array when they grow many.
struct FieldIndex {
    std::vector<uint64_t> keys;
    std::vector<uint32_t> records;
    std::unordered_multimap<uint64_t, uint32_t> recent;

    void Add(uint64_t key, uint32_t record) {
        recent.emplace(key, record);
        if (recent.size() > std::max<size_t>(4096, keys.size() / 16)) Fold();
    }

    void Fold() {
        std::vector<std::pair<uint64_t, uint32_t>> all;
        all.reserve(keys.size() + recent.size());
        for (size_t i = 0; i < keys.size(); ++i) all.emplace_back(keys[i], records[i]);
        for (const auto& [k, r] : recent) all.emplace_back(k, r);
        std::sort(all.begin(), all.end());
        Assign(all);
        recent.clear();
    }

    void Assign(const std::vector<std::pair<uint64_t, uint32_t>>& sorted) {
        keys.resize(sorted.size());
        records.resize(sorted.size());
        for (size_t i = 0; i < sorted.size(); ++i) keys[i] = sorted[i].first, records[i] = sorted[i].second;
    }

    std::vector<uint32_t> Find(uint64_t key) const {
        std::vector<uint32_t> out;
        auto [lo, hi] = std::equal_range(keys.begin(), keys.end(), key);
        for (auto it = lo; it != hi; ++it) out.push_back(records[it - keys.begin()]);
        auto [rlo, rhi] = recent.equal_range(key);
        for (auto it = rlo; it != rhi; ++it) out.push_back(it->second);
        return out;
    }
};

struct FileIndexes {
    FileStamp stamp;
    std::map<size_t, FieldIndex> fields;
};

struct Registry {
    std::mutex mutex;
    std::map<std::pair<uint64_t, uint64_t>, FileIndexes> files;
    long builds = 0;
};

// Never destroyed, like the holders whose last going drops a file's indexes here: tables of
// connections kept in static storage close at exit.
Registry& TheRegistry() {
    static Registry* registry = [] {
        auto* r = new Registry;
        dbf::SetLetGoListener([r](const dbf::FileIdentity& file) {
            std::lock_guard lock(r->mutex);
            r->files.erase(file);
        });
        return r;
    }();
    return *registry;
}

FieldIndex Build(const Table& table, size_t field, uint32_t count) {
    std::vector<std::pair<uint64_t, uint32_t>> pairs;
    pairs.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (auto key = EqualityKey(table.ReadValue(i, field))) pairs.emplace_back(*key, i);
    }
    std::sort(pairs.begin(), pairs.end());
    FieldIndex index;
    index.Assign(pairs);
    return index;
}

// Runs update on the indexes of table's file when they described the file as it was before
// this process's write; drops them when someone else had changed the file meanwhile.
template <class Fn>
void AfterWrite(const Table& table, const FileStamp& before, Fn update) {
    if (!before.valid) return;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.files.find({before.device, before.inode});
    if (it == r.files.end()) return;
    if (!(it->second.stamp == before)) {
        r.files.erase(it);
        return;
    }
    for (auto& [field, index] : it->second.fields) update(field, index);
    it->second.stamp = StampOf(table);
}

}  // namespace

FileStamp StampOf(const Table& table) {
    FileStamp s;
    struct stat st {};
    if (dbf::CurrentFileSystem().Stat(table.Path(), &st) != 0) return s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<uint64_t>(st.st_size);
    s.modifiedSeconds = st.st_mtim.tv_sec;
    s.modifiedNanoseconds = st.st_mtim.tv_nsec;
    s.recordCount = table.RecordCount();
    s.valid = true;
    return s;
}

std::optional<uint64_t> EqualityKey(const Value& value) {
    return std::visit(
        [](const auto& v) -> std::optional<uint64_t> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Null>) return std::nullopt;
            else if constexpr (std::is_same_v<T, bool>) return Tagged(kLogical, v ? 1 : 0);
            else if constexpr (std::is_same_v<T, int64_t>) return Tagged(kNumber, static_cast<uint64_t>(v));
            else if constexpr (std::is_same_v<T, double>) {
                if (std::isnan(v)) return std::nullopt;
                return NumberKey(v);
            } else if constexpr (std::is_same_v<T, Currency>) {
                if (v.tenThousandths % 10000 == 0)
                    return Tagged(kNumber, static_cast<uint64_t>(v.tenThousandths / 10000));
                return NumberKey(static_cast<double>(v.tenThousandths) / 10000.0);
            } else if constexpr (std::is_same_v<T, Decimal>) {
                return NumberKey(sql::ToDouble(Value(v)));
            } else if constexpr (std::is_same_v<T, std::string>) {
                return Tagged(kText, std::hash<std::string_view>{}(sql::TrimRight(v)));
            } else if constexpr (std::is_same_v<T, Date>) {
                return Tagged(kMoment, static_cast<uint64_t>(int64_t{v.julianDay} * 86400000));
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return Tagged(kMoment, static_cast<uint64_t>(int64_t{v.julianDay} * 86400000 + v.milliseconds));
            } else {
                const std::string_view bytes(reinterpret_cast<const char*>(v.data()), v.size());
                return Tagged(kBytes, std::hash<std::string_view>{}(bytes));
            }
        },
        value.Raw());
}

namespace key_index {

std::optional<std::vector<uint32_t>> Lookup(const Table& table, size_t field, const Value& key) {
    if (field >= table.Fields().size() || !Indexable(table.Fields()[field])) return std::nullopt;
    const auto k = EqualityKey(key);
    if (!k) return std::vector<uint32_t>{};
    const FileStamp stamp = StampOf(table);
    // Indexes are kept for the file the table holds open, which goes away with its last
    // holder; a name that leads elsewhere now (the file was replaced) gets none.
    if (!stamp.valid || std::pair{stamp.device, stamp.inode} != table.FileIdentity()) return std::nullopt;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    FileIndexes& file = r.files[{stamp.device, stamp.inode}];
    if (!(file.stamp == stamp)) {
        file.fields.clear();
        file.stamp = stamp;
    }
    auto it = file.fields.find(field);
    if (it == file.fields.end()) {
        ++r.builds;
        it = file.fields.emplace(field, Build(table, field, stamp.recordCount)).first;
    }
    return it->second.Find(*k);
}

FileStamp BeforeWrite(const Table& table) {
    // Most tables never get a key index (a tag answers their lookups): their writes need no
    // look at the file.
    {
        const auto [device, inode] = table.FileIdentity();
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        if (!r.files.count({device, inode})) return {};
    }
    return StampOf(table);
}

void AfterAppend(const Table& table, const FileStamp& before, uint32_t record) {
    AfterWrite(table, before, [&](size_t field, FieldIndex& index) {
        if (auto key = EqualityKey(table.ReadValue(record, field))) index.Add(*key, record);
    });
}

void AfterOverwrite(const Table& table, const FileStamp& before, uint32_t record) {
    // The record's old key stays in the index: a stale candidate is checked again and dropped.
    AfterAppend(table, before, record);
}

void AfterOverwrite(const Table& table, const FileStamp& before, const std::vector<uint32_t>& records) {
    AfterWrite(table, before, [&](size_t field, FieldIndex& index) {
        for (uint32_t record : records) {
            if (auto key = EqualityKey(table.ReadValue(record, field))) index.Add(*key, record);
        }
    });
}

void AfterMarkChange(const Table& table, const FileStamp& before) {
    AfterWrite(table, before, [](size_t, FieldIndex&) {});
}

void Forget(const Table& table) {
    const FileStamp stamp = StampOf(table);
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.files.erase({stamp.device, stamp.inode});
}

void Clear() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.files.clear();
}

bool Keeps(const std::pair<uint64_t, uint64_t>& file) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    return r.files.count(file) > 0;
}

long BuildCount() {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    return r.builds;
}

}  // namespace key_index
}  // namespace engine::api
