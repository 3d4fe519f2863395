#include "archive/run_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "engine/error.h"

namespace archive {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
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
    const int fd = ::open(path.c_str(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) throw engine::Error(engine::err::kFileAccess, "Cannot open " + path + ": " + std::strerror(errno));
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0) throw engine::Error(engine::err::kFileAccess, "Cannot sync " + path + ": " + std::strerror(error));
}

}  // namespace archive
