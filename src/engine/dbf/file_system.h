// The operating-system calls beneath the table files (dbf::File, SyncFolder, RenameFile):
// open, positioned read and write, truncate, fsync, stat, close and rename, behind one small
// interface so that a test can put another file system under the engine. The default is the
// POSIX one; ScopedFileSystem installs another for the life of the guard (process-wide; the
// caller keeps the replacement alive and installs it while no other thread uses the engine).
// Byte-range locks stay direct POSIX calls on the descriptor.
//
// The calls keep the POSIX conventions: a descriptor is an int, failure is -1 (or a negative
// count) with errno set, so a replacement may pass calls through to the real system.
// FaultyFileSystem (fault_file_system.h) is the replacement tests use to make calls fail.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>

namespace engine {
namespace dbf {

class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual int Open(const std::filesystem::path& path, int flags, mode_t mode) = 0;
    virtual ssize_t Pread(int fd, void* data, size_t size, off_t offset) = 0;
    virtual ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset) = 0;
    virtual int Ftruncate(int fd, off_t size) = 0;
    virtual int Fsync(int fd) = 0;
    virtual int Fstat(int fd, struct stat* st) = 0;
    virtual int Stat(const std::filesystem::path& path, struct stat* st) = 0;
    virtual int Close(int fd) = 0;
    virtual int Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
};

// The operating system's own calls.
class PosixFileSystem final : public FileSystem {
public:
    int Open(const std::filesystem::path& path, int flags, mode_t mode) override;
    ssize_t Pread(int fd, void* data, size_t size, off_t offset) override;
    ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset) override;
    int Ftruncate(int fd, off_t size) override;
    int Fsync(int fd) override;
    int Fstat(int fd, struct stat* st) override;
    int Stat(const std::filesystem::path& path, struct stat* st) override;
    int Close(int fd) override;
    int Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;

    static PosixFileSystem& Instance();
};

// The file system the engine's file calls go to now.
FileSystem& CurrentFileSystem();

// Puts fileSystem under the engine until the guard ends, then restores the one before.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& fileSystem);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* m_previous;
};

}  // namespace dbf
}  // namespace engine
