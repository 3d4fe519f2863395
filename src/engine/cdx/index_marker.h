// The "index may be stale" marker of a table: a small file beside the table ("T.index-dirty"
// for table file T) holding how many connections are writing the table. A writer adds itself
// (file and folder synced) before its first change of table or index and takes itself off
// after syncing both when it closes. A marker found when nobody else has the table open was
// left by a writer that died, so the index is rebuilt from the table. Call under the
// table's write lock or exclusive use.
#pragma once

#include <filesystem>

namespace engine::cdx {

std::filesystem::path MarkerPath(const std::filesystem::path& table);
bool MarkerExists(const std::filesystem::path& table);
void AddWriter(const std::filesystem::path& table);
void RemoveWriter(const std::filesystem::path& table);
void ClearMarker(const std::filesystem::path& table);

}  // namespace engine::cdx
