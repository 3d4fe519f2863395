#include "engine/cdx/index_marker.h"

#include <string>

#include "engine/dbf/file_io.h"
#include "engine/dbf/file_system.h"

namespace engine::cdx {

namespace {

std::filesystem::path Folder(const std::filesystem::path& p) {
    return p.parent_path().empty() ? std::filesystem::path(".") : p.parent_path();
}

long ReadCount(const std::filesystem::path& marker) {
    if (!dbf::PathExists(marker)) return 0;
    dbf::File f(marker, dbf::File::Access::Read);
    char buffer[32] = {};
    const size_t n = f.ReadSome(0, buffer, sizeof buffer - 1);
    buffer[n] = 0;
    return std::strtol(buffer, nullptr, 10);
}

void WriteCount(const std::filesystem::path& marker, long count) {
    const bool existed = dbf::PathExists(marker);
    dbf::File f(marker, existed ? dbf::File::Access::ReadWrite : dbf::File::Access::Create);
    const std::string text = std::to_string(count) + "\n";
    f.Truncate(0);
    f.WriteAt(0, text.data(), text.size());
    f.Sync();
    if (!existed) dbf::SyncFolder(Folder(marker));
}

}  // namespace

std::filesystem::path MarkerPath(const std::filesystem::path& table) {
    return std::filesystem::path(table.string() + ".index-dirty");
}

bool MarkerExists(const std::filesystem::path& table) { return dbf::PathExists(MarkerPath(table)); }

void AddWriter(const std::filesystem::path& table) {
    const auto marker = MarkerPath(table);
    WriteCount(marker, ReadCount(marker) + 1);
}

void RemoveWriter(const std::filesystem::path& table) {
    const auto marker = MarkerPath(table);
    const long count = ReadCount(marker) - 1;
    if (count > 0) {
        WriteCount(marker, count);
        return;
    }
    ClearMarker(table);
}

void ClearMarker(const std::filesystem::path& table) {
    // The removal is not synced: a marker that a power cut brings back costs a rebuild of the
    // index from the table, never a stale index.
    dbf::RemovePath(MarkerPath(table));
}

}  // namespace engine::cdx
