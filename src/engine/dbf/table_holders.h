// Which table files this process holds open (by device and inode), a way to ask the owners
// of tables kept open but not in use to let them go, and word when the last one went.
//
// A connection keeps the tables it used open between statements (api/dbf_table_provider.h).
// When another connection of the same process needs one of them in a conflicting mode (to
// pack it, or to use it exclusively), the opener asks the keepers to release the idle ones
// before it gives up. A conflict with a holder of this very process that stays after that is
// reported at once: waiting for it would mostly wait for the caller itself (one thread runs
// the program); only holders in other processes are waited for. Thread-safe.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

namespace engine::dbf {

using FileIdentity = std::pair<uint64_t, uint64_t>;  // device, inode

void AddHolder(const FileIdentity& file);
void RemoveHolder(const FileIdentity& file);
// How many open tables of this process hold the file.
long HolderCount(const FileIdentity& file);

// Installs the function that releases the idle kept tables of a file (the connection layer
// does, once). ReleaseIdle calls it; without one it does nothing.
void SetIdleReleaser(std::function<void(const FileIdentity&)> releaser);
void ReleaseIdle(const FileIdentity& file);

// Installs the function told that no open table of this process holds a file any longer, so
// that what the process keeps about the file can go (the key indexes do, once). RemoveHolder
// calls it, without the lock, when it removes the file's last holder; it must not throw.
void SetLetGoListener(std::function<void(const FileIdentity&)> listener);

}  // namespace engine::dbf
