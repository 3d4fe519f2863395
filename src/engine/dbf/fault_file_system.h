// A file system for tests that passes every call to another one (the POSIX one unless told
// otherwise) and fails the calls it is told to, the way a disk that says no would: "fail the 3rd fsync of IdentFil.dbf with EIO",
// "the disk is full after N more bytes written to files matching X", "a short write once".
// Install it under the engine with ScopedFileSystem (file_system.h).
//
// Files are chosen by a pattern matched, ignoring case, against the file name: the name
// contains the pattern ("IdentFil.dbf", ".fpt"); a pattern with a '/' in it is looked for in
// the whole path ("Archive/PatIns.dbf"); an empty pattern matches every file. Only files
// opened through it are faulted (a File keeps the file system it was opened through), so
// install it before the files to fail are opened. A rename or a link matches when either name does. Each rule counts its own matching calls. Thread-safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "file_system.h"

namespace engine {
namespace dbf {

class FaultyFileSystem final : public FileSystem {
public:
    enum class Op { Open, Read, Write, Truncate, Sync, Rename, Link };
    static constexpr long kEveryCall = -1;

    explicit FaultyFileSystem(FileSystem& base = PosixFileSystem::Instance()) : m_base(base) {}

    // The nth matching call of op (from 1) fails with error, and so do the (times - 1) matching
    // calls after it; kEveryCall fails every one from the nth on.
    void FailCall(Op op, const std::string& pattern, long nth, int error, long times = 1);
    // The disk fills up: once bytes more bytes have been written to files matching pattern,
    // the write that crosses the limit writes only what still fits and every later write to
    // those files fails with error.
    void FailWritesAfter(const std::string& pattern, uint64_t bytes, int error = ENOSPC);
    // The nth matching write writes only half of what it was given (a write of one byte is
    // left whole) and reports that count, as a write interrupted part way does.
    void ShortWrite(const std::string& pattern, long nth = 1);
    // Removes every rule; the counts of faults made stay.
    void Clear();
    // Syncs not made to fail report success without reaching the disk: for matrices of many
    // short runs that test what a refusal leaves, not what survives a power cut, on disks
    // where every sync takes long.
    void SkipSyncs(bool skip) { m_skipSyncs = skip; }

    // How many calls were made to fail or cut short so far.
    long FaultsInjected() const;
    // How many calls of op were made to files matching pattern (counted since construction).
    long Calls(Op op, const std::string& pattern = {}) const;

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
    struct Rule {
        enum class Kind { Fail, DiskFull, Short } kind;
        Op op;
        std::string pattern;  // lower case
        long nth = 1;
        long times = 1;
        int error = 0;
        uint64_t bytesLeft = 0;
        long seen = 0;
    };
    // The error to fail this call with (0: pass it on); for a write, how many bytes it may
    // write (size when unlimited).
    int Decide(Op op, const std::vector<std::string>& names, size_t* writable);
    // Decide for a call that moves no bytes: true when it is to fail (counted, errno set).
    bool Refused(Op op, const std::vector<std::string>& names);
    std::string NameOf(int fd) const;
    static bool Matches(const std::string& lowerPattern, const std::string& path);

    FileSystem& m_base;
    mutable std::mutex m_mutex;
    std::vector<Rule> m_rules;
    std::unordered_map<int, std::string> m_names;                  // open descriptor -> path
    std::vector<std::pair<Op, std::vector<std::string>>> m_calls;  // each call and its paths
    long m_faults = 0;
    std::atomic<bool> m_skipSyncs = false;
};

}  // namespace dbf
}  // namespace engine
