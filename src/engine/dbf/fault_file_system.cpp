#include "fault_file_system.h"

#include <algorithm>
#include <cerrno>

namespace engine {
namespace dbf {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

}  // namespace

bool FaultyFileSystem::Matches(const std::string& lowerPattern, const std::string& path) {
    if (lowerPattern.empty()) return true;
    // A pattern with a folder in it is looked for in the whole path, else in the name only.
    const bool withFolder = lowerPattern.find('/') != std::string::npos;
    const std::string name = withFolder ? path : std::filesystem::path(path).filename().string();
    return Lower(name).find(lowerPattern) != std::string::npos;
}

void FaultyFileSystem::FailCall(Op op, const std::string& pattern, long nth, int error, long times) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back({Rule::Kind::Fail, op, Lower(pattern), nth, times, error, 0, 0});
}

void FaultyFileSystem::FailWritesAfter(const std::string& pattern, uint64_t bytes, int error) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back({Rule::Kind::DiskFull, Op::Write, Lower(pattern), 1, kEveryCall, error, bytes, 0});
}

void FaultyFileSystem::ShortWrite(const std::string& pattern, long nth) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back({Rule::Kind::Short, Op::Write, Lower(pattern), nth, 1, 0, 0, 0});
}

void FaultyFileSystem::Clear() {
    std::lock_guard lock(m_mutex);
    m_rules.clear();
}

long FaultyFileSystem::FaultsInjected() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

long FaultyFileSystem::Calls(Op op, const std::string& pattern) const {
    std::lock_guard lock(m_mutex);
    const std::string lower = Lower(pattern);
    return std::count_if(m_calls.begin(), m_calls.end(), [&](const auto& call) {
        return call.first == op &&
               std::any_of(call.second.begin(), call.second.end(), [&](const auto& n) { return Matches(lower, n); });
    });
}

std::string FaultyFileSystem::NameOf(int fd) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_names.find(fd);
    return it == m_names.end() ? std::string() : it->second;
}

int FaultyFileSystem::Decide(Op op, const std::vector<std::string>& names, size_t* writable) {
    std::lock_guard lock(m_mutex);
    m_calls.emplace_back(op, names);
    int error = 0;
    for (Rule& rule : m_rules) {
        if (rule.op != op ||
            std::none_of(names.begin(), names.end(), [&](const std::string& n) { return Matches(rule.pattern, n); }))
            continue;
        switch (rule.kind) {
            case Rule::Kind::Fail: {
                const long n = ++rule.seen;
                if (!error && n >= rule.nth && (rule.times == kEveryCall || n < rule.nth + rule.times))
                    error = rule.error;
                break;
            }
            case Rule::Kind::DiskFull:
                if (rule.bytesLeft == 0) {
                    if (!error) error = rule.error;
                } else if (writable) {
                    *writable = static_cast<size_t>(std::min<uint64_t>(*writable, rule.bytesLeft));
                    rule.bytesLeft -= *writable;
                }
                break;
            case Rule::Kind::Short:
                if (++rule.seen == rule.nth && writable && *writable >= 2) *writable /= 2;
                break;
        }
    }
    return error;
}

bool FaultyFileSystem::Refused(Op op, const std::vector<std::string>& names) {
    const int error = Decide(op, names, nullptr);
    if (!error) return false;
    {
        std::lock_guard lock(m_mutex);
        ++m_faults;
    }
    errno = error;
    return true;
}

int FaultyFileSystem::Open(const std::filesystem::path& path, int flags, mode_t mode) {
    if (Refused(Op::Open, {path.string()})) return -1;
    const int fd = m_base.Open(path, flags, mode);
    if (fd >= 0) {
        std::lock_guard lock(m_mutex);
        m_names[fd] = path.string();
    }
    return fd;
}

ssize_t FaultyFileSystem::Pread(int fd, void* data, size_t size, off_t offset) {
    if (Refused(Op::Read, {NameOf(fd)})) return -1;
    return m_base.Pread(fd, data, size, offset);
}

ssize_t FaultyFileSystem::Pwrite(int fd, const void* data, size_t size, off_t offset) {
    size_t writable = size;
    const int error = Decide(Op::Write, {NameOf(fd)}, &writable);
    if (error || writable < size) {
        std::lock_guard lock(m_mutex);
        ++m_faults;
    }
    if (error) {
        errno = error;
        return -1;
    }
    if (writable == 0) return 0;
    return m_base.Pwrite(fd, data, writable, offset);
}

int FaultyFileSystem::Ftruncate(int fd, off_t size) {
    if (Refused(Op::Truncate, {NameOf(fd)})) return -1;
    return m_base.Ftruncate(fd, size);
}

int FaultyFileSystem::Fsync(int fd) {
    if (Refused(Op::Sync, {NameOf(fd)})) return -1;
    return m_skipSyncs ? 0 : m_base.Fsync(fd);
}

int FaultyFileSystem::Lock(int fd, int command, struct flock* lock) { return m_base.Lock(fd, command, lock); }
int FaultyFileSystem::Fstat(int fd, struct stat* st) { return m_base.Fstat(fd, st); }
int FaultyFileSystem::Stat(const std::filesystem::path& path, struct stat* st) { return m_base.Stat(path, st); }

int FaultyFileSystem::Close(int fd) {
    {
        std::lock_guard lock(m_mutex);
        m_names.erase(fd);
    }
    return m_base.Close(fd);
}

int FaultyFileSystem::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (Refused(Op::Rename, {from.string(), to.string()})) return -1;
    return m_base.Rename(from, to);
}

int FaultyFileSystem::Link(const std::filesystem::path& existing, const std::filesystem::path& name) {
    if (Refused(Op::Link, {existing.string(), name.string()})) return -1;
    return m_base.Link(existing, name);
}

int FaultyFileSystem::Unlink(const std::filesystem::path& path) { return m_base.Unlink(path); }
int FaultyFileSystem::MakeFolder(const std::filesystem::path& path, mode_t mode) {
    return m_base.MakeFolder(path, mode);
}
int FaultyFileSystem::ListFolder(const std::filesystem::path& folder, std::vector<std::string>* names) {
    return m_base.ListFolder(folder, names);
}

}  // namespace dbf
}  // namespace engine
