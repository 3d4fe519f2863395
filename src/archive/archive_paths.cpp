#include "archive/archive_paths.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/files.h"
#include "common/paths.h"
#include "engine/error.h"

namespace archive {
namespace fs = std::filesystem;

namespace {

std::string DataFolderText(const std::string& dataFolder) {
    const std::string folder = common::RemoveBackslash(dataFolder);
    return folder.empty() && !dataFolder.empty() ? "/" : folder;  // "/" stays the root
}

}  // namespace

std::string ArchiveFolderOf(const std::string& dataFolder) {
    const std::string folder = DataFolderText(dataFolder);
    if (const auto found = common::FindInFolder(folder, kArchiveFolderName)) {
        std::error_code ec;
        if (fs::is_directory(*found, ec)) return *found;
    }
    if (folder.empty()) return kArchiveFolderName;
    return common::AddBackslash(folder) + kArchiveFolderName;
}

std::string ArchiveFolderOfDatabase(const std::string& databasePath) {
    return ArchiveFolderOf(common::FolderOf(databasePath));
}

bool ArchiveNeedsCreating(const std::string& archiveFolder) {
    return !common::FindInFolder(archiveFolder, kArchiveContainer).has_value();
}

void MakeArchiveFolder(const std::string& archiveFolder, bool withNotes) {
    std::vector<std::string> folders = {archiveFolder};
    if (withNotes) folders.push_back(common::AddBackslash(archiveFolder) + "Notes");
    for (const std::string& folder : folders) {
        // One level at a time: a missing data folder is an error, never made here.
        std::error_code ec;
        if (fs::is_directory(folder, ec)) continue;
        fs::create_directory(folder, ec);
        if (ec)
            throw engine::Error(engine::err::kFileAccess,
                                "Cannot create the archive folder '" + folder + "': " + ec.message() + ".");
    }
}

std::optional<std::string> FolderProblem(const std::string& folder, bool write) {
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) return "'" + folder + "': " + ec.message();
    if (!fs::exists(status)) return "'" + folder + "': " + std::strerror(ENOENT);
    if (!fs::is_directory(status)) return "'" + folder + "': " + std::strerror(ENOTDIR);
    if (::access(folder.c_str(), R_OK | X_OK | (write ? W_OK : 0)) != 0)
        return "'" + folder + "': " + std::strerror(errno);
    return std::nullopt;
}

std::optional<std::string> DatabaseWriteProblem(const std::string& folder) {
    if (auto problem = FolderProblem(folder, false)) return problem;
    static const std::vector<std::string> kDatabaseFiles = {".dbc", ".dct", ".dcx", ".dbf", ".fpt", ".cdx"};
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code fileEc;
        if (!entry.is_regular_file(fileEc)) continue;
        std::string extension = entry.path().extension().string();
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (std::find(kDatabaseFiles.begin(), kDatabaseFiles.end(), extension) != kDatabaseFiles.end())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());  // the same file named every time
    for (const fs::path& file : files)
        if (::access(file.c_str(), R_OK | W_OK) != 0) return "'" + file.string() + "': " + std::strerror(errno);
    return std::nullopt;
}

std::string ArchiveNotCreatedText(const std::string& dataFolder, const std::string& archiveFolder) {
    // A missing archive folder is made inside the data folder, which must then be writable;
    // an existing one must be writable itself.
    std::error_code ec;
    const bool archiveExists = fs::exists(archiveFolder, ec);
    std::optional<std::string> problem = FolderProblem(DataFolderText(dataFolder), !archiveExists);
    if (!problem && archiveExists) problem = FolderProblem(archiveFolder, true);
    return "The archive database could not be created in '" + archiveFolder + "'" +
           (problem ? ": " + *problem + "." : ": the copy of the practice database did not complete.");
}

}  // namespace archive
