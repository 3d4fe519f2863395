#include "file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

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
int PosixFileSystem::Fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int PosixFileSystem::Stat(const std::filesystem::path& path, struct stat* st) { return ::stat(path.c_str(), st); }
int PosixFileSystem::Close(int fd) { return ::close(fd); }
int PosixFileSystem::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str());
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

}  // namespace dbf
}  // namespace engine
