#include "memory_file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace engine {
namespace dbf {

namespace {
constexpr uint64_t kToEnd = std::numeric_limits<uint64_t>::max();
constexpr dev_t kDevice = 0x6d656d;       // one device for every file of this file system
constexpr int kFirstFd = 1 << 20;         // far above the process's own descriptors
constexpr time_t kEpoch = 1'000'000'000;  // the modification counter is added to this

int Fail(int error) {
    errno = error;
    return -1;
}
}  // namespace

struct MemoryFileSystem::Node {
    bool folder = false;
    std::string bytes;
    uint64_t inode = 0;
    int64_t modified = 0;
    std::vector<RangeLock> locks;
};

struct MemoryFileSystem::Handle {
    std::shared_ptr<Node> node;
    bool read = false;
    bool write = false;
};

MemoryFileSystem::MemoryFileSystem() : m_nextFd(kFirstFd) { RemoveAll(); }

MemoryFileSystem::~MemoryFileSystem() = default;

std::string MemoryFileSystem::Key(const std::filesystem::path& path) {
    // Most paths arrive absolute and normal already: taken as they are, without the path
    // arithmetic (every file call asks, and fuzzing makes many calls per input).
    const std::string& text = path.native();
    const bool normal = text.starts_with('/') && text.find("//") == std::string::npos &&
                        text.find("/./") == std::string::npos && text.find("/../") == std::string::npos &&
                        !text.ends_with("/.") && !text.ends_with("/..");
    std::string key = normal ? text : (std::filesystem::path("/") / path).lexically_normal().string();
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    return key;
}

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::Find(const std::string& key) const {
    const auto it = m_nodes.find(key);
    return it == m_nodes.end() ? nullptr : it->second;
}

bool MemoryFileSystem::ParentIsFolder(const std::string& key) const {
    const auto parent = Find(std::filesystem::path(key).parent_path().string());
    return parent && parent->folder;
}

MemoryFileSystem::Handle* MemoryFileSystem::HandleOf(int fd) {
    const auto it = m_handles.find(fd);
    return it == m_handles.end() ? nullptr : &it->second;
}

void MemoryFileSystem::Touch(Node& node) { node.modified = ++m_clock; }

void MemoryFileSystem::FillStat(const Node& node, struct stat* st) const {
    *st = {};
    st->st_dev = kDevice;
    st->st_ino = node.inode;
    st->st_mode = node.folder ? (S_IFDIR | 0755) : (S_IFREG | 0644);
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(node.bytes.size());
    st->st_mtim.tv_sec = kEpoch + node.modified;
    st->st_ctim = st->st_mtim;
    st->st_atim = st->st_mtim;
}

void MemoryFileSystem::WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::lock_guard lock(m_mutex);
    const std::string key = Key(path);
    // The folders above it: the key up to each of its slashes but the root's.
    for (size_t slash = key.find('/', 1); slash != std::string::npos; slash = key.find('/', slash + 1)) {
        auto& node = m_nodes[key.substr(0, slash)];
        if (!node) {
            node = std::make_shared<Node>();
            node->folder = true;
            node->inode = m_nextInode++;
            Touch(*node);
        }
    }
    auto node = std::make_shared<Node>();
    node->bytes.assign(bytes);
    node->inode = m_nextInode++;
    Touch(*node);
    m_nodes[key] = std::move(node);
}

std::string MemoryFileSystem::ReadFile(const std::filesystem::path& path) const {
    std::lock_guard lock(m_mutex);
    const auto node = Find(Key(path));
    return node && !node->folder ? node->bytes : std::string();
}

void MemoryFileSystem::RemoveAll() {
    std::lock_guard lock(m_mutex);
    m_nodes.clear();
    auto root = std::make_shared<Node>();
    root->folder = true;
    root->inode = m_nextInode++;
    m_nodes["/"] = std::move(root);
}

int MemoryFileSystem::Open(const std::filesystem::path& path, int flags, mode_t) {
    std::lock_guard lock(m_mutex);
    const std::string key = Key(path);
    const int access = flags & O_ACCMODE;
    std::shared_ptr<Node> node = Find(key);
    if (node && (flags & O_CREAT) && (flags & O_EXCL)) return Fail(EEXIST);
    if (!node) {
        if (!(flags & O_CREAT)) return Fail(ENOENT);
        if (!ParentIsFolder(key)) return Fail(ENOENT);
        node = std::make_shared<Node>();
        node->inode = m_nextInode++;
        Touch(*node);
        m_nodes[key] = node;
    }
    if ((flags & O_DIRECTORY) && !node->folder) return Fail(ENOTDIR);
    if (node->folder && access != O_RDONLY) return Fail(EISDIR);
    if ((flags & O_TRUNC) && access != O_RDONLY && !node->bytes.empty()) {
        node->bytes.clear();
        Touch(*node);
    }
    const int fd = m_nextFd++;
    m_handles[fd] = Handle{node, access != O_WRONLY, access != O_RDONLY};
    return fd;
}

ssize_t MemoryFileSystem::Pread(int fd, void* data, size_t size, off_t offset) {
    std::lock_guard lock(m_mutex);
    const Handle* handle = HandleOf(fd);
    if (!handle || !handle->read) return Fail(EBADF);
    if (handle->node->folder) return Fail(EISDIR);
    if (offset < 0) return Fail(EINVAL);
    const std::string& bytes = handle->node->bytes;
    if (static_cast<uint64_t>(offset) >= bytes.size()) return 0;
    const size_t n = std::min(size, bytes.size() - static_cast<size_t>(offset));
    std::memcpy(data, bytes.data() + offset, n);
    return static_cast<ssize_t>(n);
}

ssize_t MemoryFileSystem::Pwrite(int fd, const void* data, size_t size, off_t offset) {
    std::lock_guard lock(m_mutex);
    const Handle* handle = HandleOf(fd);
    if (!handle || !handle->write) return Fail(EBADF);
    if (offset < 0) return Fail(EINVAL);
    std::string& bytes = handle->node->bytes;
    const size_t end = static_cast<size_t>(offset) + size;
    if (end > bytes.size()) bytes.resize(end, '\0');
    std::memcpy(bytes.data() + offset, data, size);
    Touch(*handle->node);
    return static_cast<ssize_t>(size);
}

int MemoryFileSystem::Ftruncate(int fd, off_t size) {
    std::lock_guard lock(m_mutex);
    const Handle* handle = HandleOf(fd);
    if (!handle || !handle->write) return Fail(handle ? EINVAL : EBADF);
    if (size < 0) return Fail(EINVAL);
    handle->node->bytes.resize(static_cast<size_t>(size), '\0');
    Touch(*handle->node);
    return 0;
}

int MemoryFileSystem::Fsync(int fd) {
    std::lock_guard lock(m_mutex);
    return HandleOf(fd) ? 0 : Fail(EBADF);
}

void MemoryFileSystem::DropLocks(Node& node, int fd, uint64_t start, uint64_t end) {
    std::vector<RangeLock> kept;
    for (const RangeLock& held : node.locks) {
        if (held.fd != fd || held.end <= start || held.start >= end) {
            kept.push_back(held);
            continue;
        }
        // The parts of the held range outside [start, end) stay locked.
        if (held.start < start) kept.push_back({fd, held.start, start, held.exclusive});
        if (held.end > end) kept.push_back({fd, end, held.end, held.exclusive});
    }
    node.locks = std::move(kept);
}

int MemoryFileSystem::Lock(int fd, int command, struct flock* request) {
    std::lock_guard lock(m_mutex);
    Handle* handle = HandleOf(fd);
    if (!handle) return Fail(EBADF);
    if (request->l_whence != SEEK_SET || request->l_start < 0 || request->l_len < 0) return Fail(EINVAL);
    const uint64_t start = static_cast<uint64_t>(request->l_start);
    const uint64_t end = request->l_len == 0 ? kToEnd : start + static_cast<uint64_t>(request->l_len);
    Node& node = *handle->node;
    const bool exclusive = request->l_type == F_WRLCK;
    const auto conflict = std::find_if(node.locks.begin(), node.locks.end(), [&](const RangeLock& held) {
        return held.fd != fd && held.start < end && start < held.end && (exclusive || held.exclusive);
    });
    if (command == F_OFD_GETLK) {
        if (conflict == node.locks.end()) {
            request->l_type = F_UNLCK;
        } else {
            request->l_type = conflict->exclusive ? F_WRLCK : F_RDLCK;
            request->l_start = static_cast<off_t>(conflict->start);
            request->l_len = conflict->end == kToEnd ? 0 : static_cast<off_t>(conflict->end - conflict->start);
            request->l_pid = -1;
        }
        return 0;
    }
    if (command != F_OFD_SETLK) return Fail(EINVAL);
    if (request->l_type == F_UNLCK) {
        DropLocks(node, fd, start, end);
        return 0;
    }
    if ((exclusive && !handle->write) || (!exclusive && !handle->read)) return Fail(EBADF);
    if (conflict != node.locks.end()) return Fail(EAGAIN);
    DropLocks(node, fd, start, end);
    node.locks.push_back({fd, start, end, exclusive});
    return 0;
}

int MemoryFileSystem::Fstat(int fd, struct stat* st) {
    std::lock_guard lock(m_mutex);
    const Handle* handle = HandleOf(fd);
    if (!handle) return Fail(EBADF);
    FillStat(*handle->node, st);
    return 0;
}

int MemoryFileSystem::Stat(const std::filesystem::path& path, struct stat* st) {
    std::lock_guard lock(m_mutex);
    if (path.empty()) return Fail(ENOENT);
    const auto node = Find(Key(path));
    if (!node) return Fail(ENOENT);
    FillStat(*node, st);
    return 0;
}

int MemoryFileSystem::Close(int fd) {
    std::lock_guard lock(m_mutex);
    Handle* handle = HandleOf(fd);
    if (!handle) return Fail(EBADF);
    DropLocks(*handle->node, fd, 0, kToEnd);
    m_handles.erase(fd);
    return 0;
}

int MemoryFileSystem::Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::lock_guard lock(m_mutex);
    const std::string source = Key(from);
    const std::string target = Key(to);
    const auto node = Find(source);
    if (!node || !ParentIsFolder(target)) return Fail(ENOENT);
    if (source == target) return 0;
    if (const auto existing = Find(target)) {
        if (existing->folder && !node->folder) return Fail(EISDIR);
        if (!existing->folder && node->folder) return Fail(ENOTDIR);
        if (existing->folder) {
            const auto child = m_nodes.lower_bound(target + "/");
            if (child != m_nodes.end() && child->first.starts_with(target + "/")) return Fail(ENOTEMPTY);
        }
    }
    if (node->folder && target.starts_with(source + "/")) return Fail(EINVAL);
    m_nodes.erase(source);
    m_nodes[target] = node;
    Touch(*node);
    if (node->folder) {  // everything below the folder moves with it
        std::vector<std::pair<std::string, std::shared_ptr<Node>>> moved;
        for (auto it = m_nodes.lower_bound(source + "/"); it != m_nodes.end() && it->first.starts_with(source + "/");) {
            moved.emplace_back(target + it->first.substr(source.size()), it->second);
            it = m_nodes.erase(it);
        }
        for (auto& [key, child] : moved) m_nodes[key] = std::move(child);
    }
    return 0;
}

int MemoryFileSystem::Link(const std::filesystem::path& existing, const std::filesystem::path& name) {
    std::lock_guard lock(m_mutex);
    const std::string target = Key(name);
    const auto node = Find(Key(existing));
    if (!node || !ParentIsFolder(target)) return Fail(ENOENT);
    if (node->folder) return Fail(EPERM);
    if (Find(target)) return Fail(EEXIST);
    m_nodes[target] = node;
    return 0;
}

int MemoryFileSystem::Unlink(const std::filesystem::path& path) {
    std::lock_guard lock(m_mutex);
    const auto it = m_nodes.find(Key(path));
    if (it == m_nodes.end()) return Fail(ENOENT);
    if (it->second->folder) return Fail(EISDIR);
    m_nodes.erase(it);
    return 0;
}

int MemoryFileSystem::MakeFolder(const std::filesystem::path& path, mode_t) {
    std::lock_guard lock(m_mutex);
    const std::string key = Key(path);
    if (Find(key)) return Fail(EEXIST);
    if (!ParentIsFolder(key)) return Fail(ENOENT);
    auto node = std::make_shared<Node>();
    node->folder = true;
    node->inode = m_nextInode++;
    Touch(*node);
    m_nodes[key] = std::move(node);
    return 0;
}

int MemoryFileSystem::ListFolder(const std::filesystem::path& folder, std::vector<std::string>* names) {
    std::lock_guard lock(m_mutex);
    const std::string key = Key(folder.empty() ? std::filesystem::path(".") : folder);
    const auto node = Find(key);
    if (!node) return Fail(ENOENT);
    if (!node->folder) return Fail(ENOTDIR);
    names->clear();
    const std::string prefix = key == "/" ? key : key + "/";
    for (auto it = m_nodes.lower_bound(prefix); it != m_nodes.end() && it->first.starts_with(prefix); ++it) {
        const std::string rest = it->first.substr(prefix.size());
        if (!rest.empty() && rest.find('/') == std::string::npos) names->push_back(rest);
    }
    return 0;
}

}  // namespace dbf
}  // namespace engine
