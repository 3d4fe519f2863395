#include "archive/run_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/dbf/file_io.h"
#include "engine/dbf/file_system.h"
#include "engine/error.h"

namespace archive {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

bool LinkOrCopy(const std::string& source, const std::string& target) {
    if (engine::dbf::CurrentFileSystem().Link(source, target) == 0) return false;
    if (errno == EEXIST && engine::dbf::SameFile(source, target)) return false;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    return true;
}

bool RemoveLink(const std::string& source, const std::string& target) {
    return engine::dbf::SameFile(source, target) && engine::dbf::RemovePath(target);
}

void CheckDeletable(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw engine::Error(engine::err::kFileAccess, "Permission denied: " + file);
}

void DeleteUnforced(const std::string& file) {
    CheckDeletable(file);
    std::filesystem::remove(file);
}

void SyncPath(const std::string& path, bool folder) {
    engine::dbf::FileSystem& fs = engine::dbf::CurrentFileSystem();
    const auto fail = [&](const char* what, int error) {
        throw engine::Error(engine::err::kFileAccess, std::string("Cannot ") + what + " file '" +
                                                          engine::dbf::DisplayName(path) +
                                                          "': " + std::strerror(error) + ".");
    };
    const int fd = fs.Open(path, (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC, 0);
    if (fd < 0) fail("open", errno);
    const int rc = fs.Fsync(fd);
    const int error = errno;
    fs.Close(fd);
    if (rc != 0) fail("flush", error);
}

}  // namespace archive
