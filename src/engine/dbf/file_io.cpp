#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "engine/error.h"
#include "file_system.h"

namespace engine {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::atomic<long> g_syncs{0};

[[noreturn]] void ThrowOs(const std::string& what, const std::filesystem::path& path) {
    const int code = errno;
    throw Error(code == ENOENT ? err::kFileNotFound : err::kFileAccess,
                "Cannot " + what + " file '" + dbf::DisplayName(path) + "': " + std::strerror(code) + ".");
}

// The names of the folders looked in, read once and read again only when a name is not
// found in them or a name found no longer exists: looking up the companion files of a table
// costs a stat or two instead of reading the whole folder every time.
struct FolderListings {
    std::mutex mutex;
    std::unordered_map<std::string, std::vector<std::string>> names;
};

FolderListings& Listings() {
    static FolderListings listings;
    return listings;
}

std::vector<std::string> ReadFolder(const std::filesystem::path& folder) { return dbf::FolderNames(folder); }

}  // namespace

std::filesystem::path FindFileNoCase(const std::filesystem::path& folder, std::string_view name) {
    const auto exact = folder / std::string(name);
    if (dbf::PathExists(exact)) return exact;
    auto match = [&](const std::vector<std::string>& names) -> std::filesystem::path {
        for (const std::string& n : names) {
            if (EqualNoCase(n, name)) return folder / n;
        }
        return {};
    };
    FolderListings& listings = Listings();
    std::lock_guard lock(listings.mutex);
    const std::string key = folder.string();
    if (auto it = listings.names.find(key); it != listings.names.end()) {
        auto found = match(it->second);
        if (!found.empty() && dbf::PathExists(found)) return found;
    }
    auto& names = listings.names[key];
    names = ReadFolder(folder);
    return match(names);
}

namespace dbf {

std::string DisplayName(const std::filesystem::path& path) { return path.string(); }

File::File(const std::filesystem::path& path, Access access) : m_path(path) {
    int flags = O_CLOEXEC;
    switch (access) {
        case Access::Read: flags |= O_RDONLY; break;
        case Access::ReadWrite: flags |= O_RDWR; break;
        case Access::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    m_fs = &CurrentFileSystem();
    m_fd = m_fs->Open(path, flags, 0644);
    if (m_fd < 0) ThrowOs("open", path);
}

File::~File() { Close(); }

File::File(File&& other) noexcept : m_fd(other.m_fd), m_fs(other.m_fs), m_path(std::move(other.m_path)) {
    other.m_fd = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_fs = other.m_fs;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

void File::Close() {
    if (m_fd >= 0) m_fs->Close(m_fd);
    m_fd = -1;
}

uint64_t File::Size() const {
    struct stat st {};
    if (m_fs->Fstat(m_fd, &st) != 0) ThrowOs("examine", m_path);
    return static_cast<uint64_t>(st.st_size);
}

size_t File::ReadSome(uint64_t offset, void* data, size_t size) const {
    FileSystem& fs = *m_fs;
    size_t done = 0;
    auto* out = static_cast<char*>(data);
    while (done < size) {
        const ssize_t n = fs.Pread(m_fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOs("read", m_path);
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void File::ReadAt(uint64_t offset, void* data, size_t size, long errorNumber) const {
    if (ReadSome(offset, data, size) != size)
        throw Error(errorNumber, "File '" + DisplayName(m_path) + "' is truncated: " + std::to_string(size) +
                                     " bytes expected at offset " + std::to_string(offset) + ".");
}

void File::WriteAt(uint64_t offset, const void* data, size_t size) {
    FileSystem& fs = *m_fs;
    size_t done = 0;
    const auto* in = static_cast<const char*>(data);
    while (done < size) {
        // A short write is continued; the call for the rest reports why the disk refuses.
        const ssize_t n = fs.Pwrite(m_fd, in + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowOs("write", m_path);
        }
        if (n == 0) {  // nothing written and no reason given: retrying would never end
            errno = EIO;
            ThrowOs("write", m_path);
        }
        done += static_cast<size_t>(n);
    }
}

void File::Truncate(uint64_t size) {
    if (m_fs->Ftruncate(m_fd, static_cast<off_t>(size)) != 0) ThrowOs("resize", m_path);
}

void File::StartSync() {
    if (m_fd >= 0) m_fs->StartSync(m_fd);
}

void File::Sync() {
    ++g_syncs;
    if (m_fs->Fsync(m_fd) != 0) ThrowOs("flush", m_path);
}

namespace {
struct flock MakeLock(short type, uint64_t offset, uint64_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    return fl;
}
}  // namespace

bool File::TryLock(uint64_t offset, uint64_t length, bool exclusive) {
    struct flock fl = MakeLock(exclusive ? F_WRLCK : F_RDLCK, offset, length);
    if (m_fs->Lock(m_fd, F_OFD_SETLK, &fl) == 0) return true;
    if (errno == EACCES || errno == EAGAIN) return false;
    ThrowOs("lock", m_path);
}

bool File::LockWithin(uint64_t offset, uint64_t length, bool exclusive, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    while (!TryLock(offset, length, exclusive)) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    return true;
}

void File::Unlock(uint64_t offset, uint64_t length) {
    struct flock fl = MakeLock(F_UNLCK, offset, length);
    m_fs->Lock(m_fd, F_OFD_SETLK, &fl);
}

std::pair<uint64_t, uint64_t> File::Identity() const {
    struct stat st {};
    if (m_fs->Fstat(m_fd, &st) != 0) ThrowOs("examine", m_path);
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

bool File::StillAtPath() const {
    struct stat a {
    }, b{};
    if (m_fs->Fstat(m_fd, &a) != 0 || m_fs->Stat(m_path, &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void SyncFolder(const std::filesystem::path& folder) {
    FileSystem& fs = CurrentFileSystem();
    const int fd = fs.Open(folder.empty() ? std::filesystem::path(".") : folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    ++g_syncs;
    fs.Fsync(fd);
    fs.Close(fd);
}

long SyncCount() { return g_syncs.load(); }

void RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (CurrentFileSystem().Rename(from, to) != 0) {
        const int code = errno;
        throw Error(err::kFileAccess, "Cannot rename '" + DisplayName(from) + "' to '" + DisplayName(to) +
                                          "': " + std::strerror(code) + ".");
    }
}

}  // namespace dbf
}  // namespace engine
