// Small file layer for the table files: positioned reads and writes that throw
// engine::Error naming the file, fsync, byte-range locks that belong to one open file (OFD
// locks, so two connections in one process exclude each other just as two processes do),
// case-insensitive lookup inside a folder, and a write-beside-then-rename helper. The calls go
// to the file system a File was opened through (file_system.h).
// Every fsync the process makes through this layer is counted (SyncCount), so tests and
// benchmarks can tell how often data is forced to disk.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "find_file.h"

namespace engine {
namespace dbf {

class FileSystem;

class File {
public:
    enum class Access { Read, ReadWrite, Create };  // Create truncates or makes a new file

    File() = default;
    File(const std::filesystem::path& path, Access access);
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    const std::filesystem::path& Path() const { return m_path; }
    void Close();

    uint64_t Size() const;
    // Reads exactly size bytes at offset; throws errorNumber naming the file when short.
    void ReadAt(uint64_t offset, void* data, size_t size, long errorNumber) const;
    // Reads up to size bytes; returns how many were read.
    size_t ReadSome(uint64_t offset, void* data, size_t size) const;
    void WriteAt(uint64_t offset, const void* data, size_t size);
    void Truncate(uint64_t size);
    void Sync();
    // Starts writing the file's changes to the disk (FileSystem::StartSync); Sync still needed.
    void StartSync();

    // Byte-range locks on this open file. Try* return false when another holder conflicts.
    bool TryLock(uint64_t offset, uint64_t length, bool exclusive);
    // Tries the lock until it is had or wait has passed, sleeping a little between tries;
    // false when it could not be had in time.
    bool LockWithin(uint64_t offset, uint64_t length, bool exclusive, std::chrono::milliseconds wait);
    void Unlock(uint64_t offset, uint64_t length);
    // True when the path still names the file this object has open (not replaced by a rename).
    bool StillAtPath() const;
    // Device and inode of the open file.
    std::pair<uint64_t, uint64_t> Identity() const;

private:
    int m_fd = -1;
    FileSystem* m_fs = nullptr;  // the one the file was opened through
    std::filesystem::path m_path;
};

// fsync on a folder so that renames and new names inside it survive a crash.
void SyncFolder(const std::filesystem::path& folder);
// How many fsync calls (files and folders) the process has made through this layer.
long SyncCount();
// rename(2) with an error naming both files.
void RenameFile(const std::filesystem::path& from, const std::filesystem::path& to);
// The file name for error texts.
std::string DisplayName(const std::filesystem::path& path);

}  // namespace dbf
}  // namespace engine
