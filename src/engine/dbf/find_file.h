// Case-insensitive file lookup inside a data folder: the practice data keeps Windows habits,
// so a table `Case` may be CASE.DBF or case.dbf on disk.
#pragma once

#include <filesystem>
#include <string_view>

namespace engine {

// The entry of folder whose name equals name without regard to ASCII case (an exact match
// wins). Returns an empty path when there is none or the folder cannot be read.
std::filesystem::path FindFileNoCase(const std::filesystem::path& folder, std::string_view name);

}  // namespace engine
