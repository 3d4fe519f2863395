#include "table_holders.h"

#include <pthread.h>

#include <map>
#include <mutex>

namespace engine::dbf {

namespace {

struct Holders {
    std::mutex mutex;
    std::map<FileIdentity, long> counts;
    std::function<void(const FileIdentity&)> releaser;
    std::function<void(const FileIdentity&)> letGo;
};

// Never destroyed: tables of connections kept in static storage close at exit, after the
// end of statics made after them, and still remove themselves as holders.
Holders& AllHolders() {
    static auto* holders = new Holders;
    return *holders;
}

// The holders of this process: a child made by fork starts with none of its own (the
// tables it inherited are its parent's). The child forgets them as fork returns in it, so
// that no call has to ask the system for the process id.
Holders& TheHolders() {
    static const bool forgetInChild = [] {
        pthread_atfork(nullptr, nullptr, [] { AllHolders().counts.clear(); });
        return true;
    }();
    (void)forgetInChild;
    return AllHolders();
}

}  // namespace

void AddHolder(const FileIdentity& file) {
    Holders& h = TheHolders();
    std::lock_guard lock(h.mutex);
    ++h.counts[file];
}

void RemoveHolder(const FileIdentity& file) {
    std::function<void(const FileIdentity&)> letGo;
    {
        Holders& h = TheHolders();
        std::lock_guard lock(h.mutex);
        auto it = h.counts.find(file);
        if (it == h.counts.end() || --it->second > 0) return;
        h.counts.erase(it);
        letGo = h.letGo;
    }
    // Told without the lock: the listener takes locks of its own.
    if (letGo) letGo(file);
}

long HolderCount(const FileIdentity& file) {
    Holders& h = TheHolders();
    std::lock_guard lock(h.mutex);
    auto it = h.counts.find(file);
    return it == h.counts.end() ? 0 : it->second;
}

void SetIdleReleaser(std::function<void(const FileIdentity&)> releaser) {
    Holders& h = TheHolders();
    std::lock_guard lock(h.mutex);
    h.releaser = std::move(releaser);
}

void SetLetGoListener(std::function<void(const FileIdentity&)> listener) {
    Holders& h = TheHolders();
    std::lock_guard lock(h.mutex);
    h.letGo = std::move(listener);
}

void ReleaseIdle(const FileIdentity& file) {
    std::function<void(const FileIdentity&)> releaser;
    {
        Holders& h = TheHolders();
        std::lock_guard lock(h.mutex);
        releaser = h.releaser;
    }
    // Called without the lock: releasing closes tables, which takes it again.
    if (releaser) releaser(file);
}

}  // namespace engine::dbf
