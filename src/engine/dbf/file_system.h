// The operating-system calls beneath the table files (dbf::File, SyncFolder, RenameFile and
// the engine's look-ups of files and folders): open, positioned read and write, truncate,
// fsync, byte-range locks, stat, close, rename, link, unlink, make and list a folder, behind one
// small interface so that a test can put another file system under the engine. The default
// is the POSIX one; ScopedFileSystem installs another for the life of the guard
// (process-wide; the caller keeps the replacement alive and installs it while no other thread
// uses the engine). A File keeps the file system it was opened through until it is closed,
// so a file opened before a replacement was installed goes on using the one it came from.
//
// The calls keep the POSIX conventions: a descriptor is an int, failure is -1 (or a negative
// count) with errno set, so a replacement may pass calls through to the real system.
// FaultyFileSystem (fault_file_system.h) makes calls fail; MemoryFileSystem
// (memory_file_system.h) keeps every file in memory for single-process tests and fuzzing.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

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
    // Starts writing the file's changed pages to the disk without waiting for them: a later
    // Fsync then waits for less, and several files' writes reach the disk together. Only a
    // hint: nothing is promised until Fsync returns, which reports any error.
    virtual void StartSync(int) {}
    // fcntl(fd, command, lock) for the open-file locks: command is F_OFD_SETLK or F_OFD_GETLK.
    virtual int Lock(int fd, int command, struct flock* lock) = 0;
    virtual int Fstat(int fd, struct stat* st) = 0;
    virtual int Stat(const std::filesystem::path& path, struct stat* st) = 0;
    virtual int Close(int fd) = 0;
    virtual int Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // A second name for the file existing (link(2)): fails when name is taken (EEXIST), the two
    // are on different file systems (EXDEV) or the file system has no such names (EPERM, ...).
    virtual int Link(const std::filesystem::path& existing, const std::filesystem::path& name) = 0;
    virtual int Unlink(const std::filesystem::path& path) = 0;
    virtual int MakeFolder(const std::filesystem::path& path, mode_t mode) = 0;
    // The names of the entries of folder, without "." and "..".
    virtual int ListFolder(const std::filesystem::path& folder, std::vector<std::string>* names) = 0;
};

// The operating system's own calls.
class PosixFileSystem final : public FileSystem {
public:
    int Open(const std::filesystem::path& path, int flags, mode_t mode) override;
    ssize_t Pread(int fd, void* data, size_t size, off_t offset) override;
    ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset) override;
    int Ftruncate(int fd, off_t size) override;
    int Fsync(int fd) override;
    void StartSync(int fd) override;
    int Lock(int fd, int command, struct flock* lock) override;
    int Fstat(int fd, struct stat* st) override;
    int Stat(const std::filesystem::path& path, struct stat* st) override;
    int Close(int fd) override;
    int Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    int Link(const std::filesystem::path& existing, const std::filesystem::path& name) override;
    int Unlink(const std::filesystem::path& path) override;
    int MakeFolder(const std::filesystem::path& path, mode_t mode) override;
    int ListFolder(const std::filesystem::path& folder, std::vector<std::string>* names) override;

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

// Questions about names, asked of the current file system (false when the answer cannot be
// had): whether something is there, a folder, a regular file.
bool PathExists(const std::filesystem::path& path);
bool PathIsFolder(const std::filesystem::path& path);
bool PathIsFile(const std::filesystem::path& path);
// Removes a file; false when it was not there or could not be removed.
bool RemovePath(const std::filesystem::path& path);
// Whether both paths name one file (false when either is missing).
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);
// The names in folder (empty when it cannot be read).
std::vector<std::string> FolderNames(const std::filesystem::path& folder);

}  // namespace dbf
}  // namespace engine
