#include "common/registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>

#include "common/registry_value.h"
#include "common/ui.h"

namespace fs = std::filesystem;

namespace common::reg {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

std::string SystemFolder() { return EnvOr("CORVANE_REGISTRY_DIR", "/etc/corvane"); }

std::string UserFolder() {
    const std::string config = EnvOr("XDG_CONFIG_HOME", EnvOr("HOME", ".") + "/.config");
    return config + "/corvane";
}

std::string FullPath(uint32_t root, const std::string& key) {
    size_t b = 0, e = key.size();
    while (b < e && key[b] == '\\') ++b;
    while (e > b && key[e - 1] == '\\') --e;
    const std::string trimmed = key.substr(b, e - b);
    return trimmed.empty() ? RootName(root) : RootName(root) + "\\" + trimmed;
}

bool ReadBytes(const std::string& file, std::string& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return true;
}

// Writes bytes to file through a temporary file in the same folder and a rename, so a reader
// sees the old file or the new one, never a part.
bool WriteAtomically(const std::string& file, const std::string& bytes) {
    const std::string temp = file + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

std::string FreeBackupName(const std::string& file) {
    std::string name = file + ".bak";
    for (int i = 1; fs::exists(name); ++i) name = file + ".bak" + std::to_string(i);
    return name;
}

std::string DamageText(const std::string& file, const ParseResult& parsed) {
    std::string where = parsed.badHeader ? "its first line is not a registry header"
                                         : "line " + std::to_string(parsed.badLines.front()) + " cannot be read";
    return "The registry file " + file + " is damaged (" + where + ").";
}

void Report(const std::string& text) { ui::MsgBox(text, ui::Icon::Exclamation, "Registry Error"); }

// Holds the exclusive lock of a registry file for its lifetime.
class FileLock {
public:
    explicit FileLock(const std::string& file) {
        m_fd = ::open((file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) return;
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    bool Held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Re-reads file under its lock, lets change alter the document and writes it back when change
// answers kOk and altered it (or when a damaged file had to be set aside).
long Update(const std::string& file, const std::function<long(Document&, bool& changed)>& change) {
    std::error_code ec;
    fs::create_directories(fs::path(file).parent_path(), ec);
    if (ec) return kAccessDenied;
    FileLock lock(file);
    if (!lock.Held()) return kAccessDenied;
    if (::access(file.c_str(), W_OK) != 0 && errno != ENOENT) return kAccessDenied;

    std::string bytes;
    ParseResult parsed;
    if (ReadBytes(file, bytes)) parsed = Parse(bytes);
    bool changed = false;
    if (parsed.Damaged()) {
        const std::string backup = FreeBackupName(file);
        if (::rename(file.c_str(), backup.c_str()) != 0) return kAccessDenied;
        Report(DamageText(file, parsed) + " It was set aside as " + backup + "; what could be read of it is kept.");
        changed = true;
    }
    const long rc = change(parsed.document, changed);
    if (changed && !WriteAtomically(file, Format(parsed.document))) return kAccessDenied;
    return rc;
}

// The document of file; a damaged file is set aside (or, when it cannot be, reported once).
Document Load(const std::string& file) {
    std::string bytes;
    if (!ReadBytes(file, bytes)) return {};
    ParseResult parsed = Parse(bytes);
    if (!parsed.Damaged()) return std::move(parsed.document);
    Document repaired;
    const long rc = Update(file, [&](Document& d, bool&) {
        repaired = d;
        return kOk;
    });
    if (rc == kOk) return repaired;
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard guard(mutex);
    if (reported.insert(file).second) Report(DamageText(file, parsed) + " It could not be set aside.");
    return std::move(parsed.document);
}

long Check(uint32_t root) { return RootName(root).empty() ? kInvalidHandle : kOk; }

}  // namespace

std::string RootName(uint32_t root) {
    switch (root) {
        case kHkeyClassesRoot: return "HKEY_CLASSES_ROOT";
        case kHkeyCurrentUser: return "HKEY_CURRENT_USER";
        case kHkeyLocalMachine: return "HKEY_LOCAL_MACHINE";
        default: return {};
    }
}

std::string FileOfRoot(uint32_t root) {
    switch (root) {
        case kHkeyClassesRoot: return SystemFolder() + "/classes.reg";
        case kHkeyCurrentUser: return UserFolder() + "/user.reg";
        case kHkeyLocalMachine: return SystemFolder() + "/system.reg";
        default: return {};
    }
}

long ReadKey(uint32_t root, const std::string& key, Key& out) {
    if (long rc = Check(root)) return rc;
    const Document doc = Load(FileOfRoot(root));
    const std::string path = FullPath(root, key);
    if (const Key* k = doc.Find(path)) {
        out = *k;
        return kOk;
    }
    if (path != RootName(root) && !doc.Exists(path)) return kFileNotFound;
    out = Key{path, {}};
    return kOk;
}

long ReadValue(uint32_t root, const std::string& key, const std::string& name, Value& out) {
    Key k;
    if (long rc = ReadKey(root, key, k)) return rc;
    const Value* v = k.Find(name);
    if (!v) return kFileNotFound;
    out = *v;
    return kOk;
}

long ReadSubKeys(uint32_t root, const std::string& key, std::vector<std::string>& out) {
    Key k;
    if (long rc = ReadKey(root, key, k)) return rc;
    out = Load(FileOfRoot(root)).SubKeys(FullPath(root, key));
    return kOk;
}

long KeyExists(uint32_t root, const std::string& key) {
    Key k;
    return ReadKey(root, key, k);
}

long CreateKey(uint32_t root, const std::string& key) {
    if (long rc = Check(root)) return rc;
    const std::string path = FullPath(root, key);
    return Update(FileOfRoot(root), [&](Document& d, bool& changed) {
        if (path != RootName(root) && !d.Exists(path)) {
            d.EnsureWithParents(path);
            changed = true;
        }
        return kOk;
    });
}

long SetValue(uint32_t root, const std::string& key, const std::string& name, const Value& value) {
    if (long rc = Check(root)) return rc;
    const std::string path = FullPath(root, key);
    return Update(FileOfRoot(root), [&](Document& d, bool& changed) {
        d.EnsureWithParents(path).Set(name, value);
        changed = true;
        return kOk;
    });
}

long DeleteValue(uint32_t root, const std::string& key, const std::string& name) {
    if (long rc = Check(root)) return rc;
    const std::string path = FullPath(root, key);
    return Update(FileOfRoot(root), [&](Document& d, bool& changed) {
        Key* k = d.Find(path);
        if (!k || !k->Remove(name)) return kFileNotFound;
        changed = true;
        return kOk;
    });
}

long DeleteKey(uint32_t root, const std::string& key, bool withSubtree) {
    if (long rc = Check(root)) return rc;
    const std::string path = FullPath(root, key);
    if (path == RootName(root)) return kAccessDenied;
    return Update(FileOfRoot(root), [&](Document& d, bool& changed) {
        if (!d.Exists(path)) return kFileNotFound;
        if (!withSubtree && !d.SubKeys(path).empty()) return kAccessDenied;
        changed = d.RemoveTree(path);
        return kOk;
    });
}

bool ImportRegFile(const std::string& regFile, std::string& error) {
    std::string bytes;
    if (!ReadBytes(regFile, bytes)) {
        error = "Cannot read " + regFile;
        return false;
    }
    const ParseResult parsed = Parse(bytes);
    if (parsed.Damaged()) {
        error = DamageText(regFile, parsed);
        return false;
    }
    for (uint32_t root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine}) {
        const std::string prefix = LowerName(RootName(root));
        std::vector<const Key*> mine;
        for (const Key& k : parsed.document.keys) {
            const std::string lower = LowerName(k.path);
            if (lower == prefix || lower.compare(0, prefix.size() + 1, prefix + "\\") == 0) mine.push_back(&k);
        }
        if (mine.empty()) continue;
        const long rc = Update(FileOfRoot(root), [&](Document& d, bool& changed) {
            for (const Key* k : mine) {
                Key& target = d.EnsureWithParents(RootName(root) + k->path.substr(prefix.size()));
                for (const auto& [name, value] : k->values) target.Set(name, value);
            }
            changed = true;
            return kOk;
        });
        if (rc != kOk) {
            error = "Cannot write " + FileOfRoot(root);
            return false;
        }
    }
    return true;
}

}  // namespace common::reg
