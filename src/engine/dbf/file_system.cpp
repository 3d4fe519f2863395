#include "file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace engine {
namespace dbf {

namespace {
std::atomic<FileSystem*> g_current{nullptr};
}  // namespace

int PosixFileSystem::Open(const std::filesystem::path& path, int flags, mode_t mode) {
    return ::open(path.c_str(), flags, mode);
}
ssize_t PosixFileSystem::Pread(int fd, void* data, size_t size, off_t offset) {
    return ::pread(fd, data, size, offset);
}
ssize_t PosixFileSystem::Pwrite(int fd, const void* data, size_t size, off_t offset) {
    return ::pwrite(fd, data, size, offset);
}
int PosixFileSystem::Ftruncate(int fd, off_t size) { return ::ftruncate(fd, size); }
int PosixFileSystem::Fsync(int fd) { return ::fsync(fd); }
void PosixFileSystem::StartSync(int fd) { ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }
int PosixFileSystem::Lock(int fd, int command, struct flock* lock) { return ::fcntl(fd, command, lock); }
int PosixFileSystem::Fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int PosixFileSystem::Stat(const std::filesystem::path& path, struct stat* st) { return ::stat(path.c_str(), st); }
int PosixFileSystem::Close(int fd) { return ::close(fd); }
int PosixFileSystem::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str());
}
int PosixFileSystem::Link(const std::filesystem::path& existing, const std::filesystem::path& name) {
    return ::link(existing.c_str(), name.c_str());
}
int PosixFileSystem::Unlink(const std::filesystem::path& path) { return ::unlink(path.c_str()); }
int PosixFileSystem::MakeFolder(const std::filesystem::path& path, mode_t mode) { return ::mkdir(path.c_str(), mode); }

int PosixFileSystem::ListFolder(const std::filesystem::path& folder, std::vector<std::string>* names) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return -1;
    names->clear();
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names->emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return 0;
}

PosixFileSystem& PosixFileSystem::Instance() {
    static PosixFileSystem posix;
    return posix;
}

FileSystem& CurrentFileSystem() {
    FileSystem* current = g_current.load(std::memory_order_acquire);
    return current ? *current : PosixFileSystem::Instance();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fileSystem) : m_previous(g_current.load()) {
    g_current.store(&fileSystem, std::memory_order_release);
}

ScopedFileSystem::~ScopedFileSystem() { g_current.store(m_previous, std::memory_order_release); }

namespace {
bool StatOf(const std::filesystem::path& path, struct stat* st) {
    return !path.empty() && CurrentFileSystem().Stat(path, st) == 0;
}
}  // namespace

bool PathExists(const std::filesystem::path& path) {
    struct stat st {};
    return StatOf(path, &st);
}

bool PathIsFolder(const std::filesystem::path& path) {
    struct stat st {};
    return StatOf(path, &st) && S_ISDIR(st.st_mode);
}

bool PathIsFile(const std::filesystem::path& path) {
    struct stat st {};
    return StatOf(path, &st) && S_ISREG(st.st_mode);
}

bool RemovePath(const std::filesystem::path& path) { return CurrentFileSystem().Unlink(path) == 0; }

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat sa {
    }, sb{};
    return StatOf(a, &sa) && StatOf(b, &sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    if (CurrentFileSystem().ListFolder(folder, &names) != 0) names.clear();
    return names;
}

}  // namespace dbf
}  // namespace engine
