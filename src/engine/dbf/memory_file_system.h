// A file system held in memory, for single-process tests and fuzzing: files are byte strings,
// folders hold names, and everything a table needs behaves as on a local disk — positioned
// reads and writes past the end (the gap reads as zeros), truncate, rename over an existing
// file, unlink of an open file (its handles keep reading it), several handles on one file,
// open-file byte-range locks kept as in-process bookkeeping (two handles conflict as two
// open files do), stat with a size and a modification time. The modification time is a
// counter that moves on every change, so a caller can tell a file was touched. fsync does
// nothing. Install it under the engine with ScopedFileSystem (file_system.h).
//
// Paths are taken as absolute; a relative one is taken from "/". The root folder is there
// from the start; other folders are made by MakeFolder or by WriteFile. Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "file_system.h"

namespace engine {
namespace dbf {

class MemoryFileSystem final : public FileSystem {
public:
    MemoryFileSystem();
    ~MemoryFileSystem() override;

    // Writes a whole file, making its folders as needed (for setting up a test or an input).
    void WriteFile(const std::filesystem::path& path, std::string_view bytes);
    // The bytes of a file ("" when there is none).
    std::string ReadFile(const std::filesystem::path& path) const;
    // Removes every file and folder; handles still open keep their files.
    void RemoveAll();

    int Open(const std::filesystem::path& path, int flags, mode_t mode) override;
    ssize_t Pread(int fd, void* data, size_t size, off_t offset) override;
    ssize_t Pwrite(int fd, const void* data, size_t size, off_t offset) override;
    int Ftruncate(int fd, off_t size) override;
    int Fsync(int fd) override;
    int Lock(int fd, int command, struct flock* lock) override;
    int Fstat(int fd, struct stat* st) override;
    int Stat(const std::filesystem::path& path, struct stat* st) override;
    int Close(int fd) override;
    int Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    int Link(const std::filesystem::path& existing, const std::filesystem::path& name) override;
    int Unlink(const std::filesystem::path& path) override;
    int MakeFolder(const std::filesystem::path& path, mode_t mode) override;
    int ListFolder(const std::filesystem::path& folder, std::vector<std::string>* names) override;

private:
    struct Node;
    struct Handle;
    struct RangeLock {
        int fd;
        uint64_t start;
        uint64_t end;  // past the last byte; UINT64_MAX to the end of the file
        bool exclusive;
    };

    static std::string Key(const std::filesystem::path& path);
    std::shared_ptr<Node> Find(const std::string& key) const;
    bool ParentIsFolder(const std::string& key) const;
    Handle* HandleOf(int fd);
    void Touch(Node& node);
    void FillStat(const Node& node, struct stat* st) const;
    void DropLocks(Node& node, int fd, uint64_t start, uint64_t end);

    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<Node>> m_nodes;  // normalised absolute path -> node
    std::unordered_map<int, Handle> m_handles;
    int m_nextFd;
    uint64_t m_nextInode = 1;
    int64_t m_clock = 1;  // the modification "time": moves on every change
};

}  // namespace dbf
}  // namespace engine
