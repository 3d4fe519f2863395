#include "common/files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/paths.h"
#include "engine/dbf/find_file.h"

namespace common {
namespace fs = std::filesystem;

void AddSubFolder(const std::string& parent, const std::string& name) {
    std::error_code ec;
    fs::create_directory(fs::path(parent) / (name.empty() ? "New Folder" : name), ec);
}

bool MakePath(const std::string& path) {
    const std::string target = RemoveBackslash(path);
    if (target.empty()) return false;
    // Walk the pieces between "/" from the start, creating each level that is missing.
    std::string soFar;
    size_t pos = 0;
    if (target.front() == '/') {
        soFar = "/";
        pos = 1;
    }
    while (pos <= target.size()) {
        const size_t next = std::min(target.find('/', pos), target.size());
        const std::string piece = target.substr(pos, next - pos);
        if (!piece.empty()) {
            AddSubFolder(soFar.empty() ? "." : soFar, piece);
            soFar = soFar.empty() ? piece : AddBackslash(soFar) + piece;
        }
        pos = next + 1;
    }
    std::error_code ec;
    return fs::is_directory(target, ec);
}

bool SetFileAttributes(const std::string& file, int32_t attributes) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return false;
    // Only read-only maps onto Linux permissions; hidden, system and archive are dropped.
    if (attributes & kAttrReadOnly)
        fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, ec);
    else fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, ec);
    return !ec;
}

bool SetFolderFileAttributes(const std::string& folder, int32_t attributes) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return false;
    bool allDone = true;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return false;
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        if (!SetFileAttributes(it->path().string(), attributes)) allDone = false;
    }
    return allDone;
}

std::optional<std::string> FindInFolder(const std::string& folder, const std::string& name) {
    const fs::path found = engine::FindFileNoCase(folder.empty() ? "." : folder, name);
    if (found.empty()) return std::nullopt;
    return folder.empty() ? found.filename().string() : found.string();
}

}  // namespace common
