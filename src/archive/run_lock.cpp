#include "archive/run_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>
#include <utility>

#include "archive/archive_paths.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "engine/ascii_case.h"
#include "engine/error.h"

namespace archive {
namespace {

constexpr std::chrono::milliseconds kRetryPause{100};

std::string LockPath(const std::string& archiveFolder) { return common::AddBackslash(archiveFolder) + kRunLockFile; }

[[noreturn]] void Fail(const std::string& what, const std::string& path, int code) {
    throw engine::Error(engine::err::kFileAccess,
                        "Cannot " + what + " the lock file '" + path + "': " + std::strerror(code) + ".");
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

const char* PurposeName(LockPurpose purpose) { return purpose == LockPurpose::Pack ? "pack" : "run"; }

std::string Describe(const LockHolder& holder) {
    std::ostringstream text;
    text << "login=" << holder.login << "\nhost=" << holder.host << "\npid=" << holder.pid << "\nsince=" << holder.since
         << "\npurpose=" << PurposeName(holder.purpose) << "\n";
    return text.str();
}

LockHolder Parse(const std::string& text) {
    LockHolder holder;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "login") holder.login = value;
        else if (key == "host") holder.host = value;
        else if (key == "pid") holder.pid = std::strtol(value.c_str(), nullptr, 10);
        else if (key == "since") holder.since = value;
        else if (key == "purpose") holder.purpose = value == "pack" ? LockPurpose::Pack : LockPurpose::Run;
    }
    return holder;
}

// What the holder wrote. It writes right after taking the lock, so an empty file is read
// again a few times before it is taken as saying nothing.
LockHolder ReadHolder(int fd) {
    for (int attempt = 0;; ++attempt) {
        std::string text(4096, '\0');
        const ssize_t got = ::pread(fd, text.data(), text.size(), 0);
        text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        if (text.find("purpose=") != std::string::npos || attempt == 5) return Parse(text);
        std::this_thread::sleep_for(std::chrono::milliseconds{20});
    }
}

struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;  // to the end, however long the file grows
    return lock;
}

// The holder of the lock on an open lock file, or none when it is free.
std::optional<LockHolder> HolderOf(int fd) {
    struct flock probe = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type == F_UNLCK) return std::nullopt;
    return ReadHolder(fd);
}

}  // namespace

std::string RefusalText(const LockHolder& holder) {
    const std::string login = holder.login.empty() ? "an unknown user" : holder.login;
    const std::string host = holder.host.empty() ? "an unknown workstation" : holder.host;
    const std::string since = holder.since.empty() ? "an unknown time" : holder.since;
    if (holder.purpose == LockPurpose::Pack)
        return "The archive is being packed by " + login + " on " + host + " since " + since +
               ". Try again when it has finished.";
    return "An archive run by " + login + " on " + host + " has been in progress since " + since +
           ". Try again when it has finished.";
}

RunLock::~RunLock() { Release(); }

RunLock::RunLock(RunLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)), m_holder(std::move(other.m_holder)) {}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
        m_holder = std::move(other.m_holder);
    }
    return *this;
}

RunLock RunLock::TryAcquire(const std::string& archiveFolder, LockPurpose purpose,
                            std::chrono::milliseconds waitForPack) {
    MakeArchiveFolder(archiveFolder, false);
    const std::string path = LockPath(archiveFolder);
    const auto deadline = std::chrono::steady_clock::now() + waitForPack;
    for (;;) {
        RunLock lock;
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int code = errno;
            // A lock file made by another user that we may not write: it can still tell who
            // holds it; a free one we cannot take is an error.
            if (code == EACCES) {
                if (auto holder = CurrentHolder(archiveFolder)) {
                    lock.m_holder = *holder;
                    return lock;
                }
            }
            Fail("open", path, code);
        }
        ::fchmod(fd, 0666);  // every user of the shared folder takes the same file (owner only)
        struct flock take = WholeFile(F_WRLCK);
        if (::fcntl(fd, F_OFD_SETLK, &take) == 0) {
            lock.m_fd = fd;
            lock.m_holder = {common::GetLoginName(), HostName(), static_cast<long>(::getpid()),
                             product::GeneralDateNow(), purpose};
            const std::string text = Describe(lock.m_holder);
            if (::ftruncate(fd, 0) != 0 ||
                ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
                Fail("write", path, errno);
            return lock;
        }
        const int code = errno;
        if (code != EAGAIN && code != EACCES) {
            ::close(fd);
            Fail("lock", path, code);
        }
        lock.m_holder = ReadHolder(fd);
        ::close(fd);
        if (lock.m_holder.purpose != LockPurpose::Pack || std::chrono::steady_clock::now() >= deadline) return lock;
        std::this_thread::sleep_for(kRetryPause);
    }
}

std::optional<LockHolder> RunLock::CurrentHolder(const std::string& archiveFolder) {
    const int fd = ::open(LockPath(archiveFolder).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::optional<LockHolder> holder = HolderOf(fd);
    ::close(fd);
    return holder;
}

std::string RunLock::RefusalText() const { return archive::RefusalText(m_holder); }

void RunLock::Release() {
    if (m_fd < 0) return;
    // The file stays (removing it would let two processes lock two files); it only stops
    // naming a holder. Closing the descriptor lets the lock go.
    (void)!::ftruncate(m_fd, 0);
    ::close(m_fd);
    m_fd = -1;
}

PackLocks TakePackLocks(const std::string& folderGiven) {
    const std::string folder = common::RemoveBackslash(folderGiven);
    std::vector<std::string> folders;
    std::error_code ec;
    const std::string name = std::filesystem::path(folder).filename().string();
    if (engine::AsciiLower(name) == "archive" || std::filesystem::exists(LockPath(folder), ec))
        folders.push_back(folder);
    const std::string own = ArchiveFolderOf(folder);
    if (std::filesystem::is_directory(own, ec)) folders.push_back(own);

    PackLocks locks;
    for (const std::string& lockFolder : folders) {
        RunLock lock = RunLock::TryAcquire(lockFolder, LockPurpose::Pack);
        if (!lock.Held()) {
            locks.refusal = lock.RefusalText();
            locks.held.clear();
            break;
        }
        locks.held.push_back(std::move(lock));
    }
    return locks;
}

}  // namespace archive
