// The run lock: one archive run at a time per archive, across processes and workstations
// that share the data folder. A run holds an exclusive lock (an OFD record lock over the whole
// file) on the file ArchRun.lck in the archive folder for its whole length, and writes who
// holds it into that file: login, host, process id, start time and what for (a run, or a
// pack). The lock decides, not the file: the file stays when its holder ends, and a holder
// killed mid-run leaves it free again, because the system drops the lock with the process.
// The start-up pack takes the same lock for the length of its pack, so a pack and a run never
// meet on the archive's tables.
//
// Where it is called: the archive run (window and --batch) takes RunLock::TryAcquire(archive
// folder, LockPurpose::Run, kWaitForPack) after the password check and before anything else is
// touched, ahead of creating the archive; when it is not Held() it shows RefusalText() (the
// batch prints it on standard error and exits 1) and ends. It keeps the RunLock object alive
// until the run has ended (the destructor releases it). The start-up pack and -pack take
// TryAcquire(folder, LockPurpose::Pack) around their pack (frm_archive_load.cpp); a probe
// that changes nothing is CurrentHolder.
//
// Qt-free; POSIX. Not thread-safe: one RunLock per thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace archive {

inline constexpr const char* kRunLockFile = "ArchRun.lck";
// How long a run waits for a pack that holds the lock (a pack takes seconds at most).
inline constexpr std::chrono::milliseconds kWaitForPack{30000};

enum class LockPurpose { Run, Pack };

// Who holds a lock, as its file says. Fields are empty (pid 0) when the file does not say.
struct LockHolder {
    std::string login;
    std::string host;
    long pid = 0;
    std::string since;  // the US general date form, e.g. "12/4/2026 7:35:38 PM"
    LockPurpose purpose = LockPurpose::Run;
};

// "An archive run by <login> on <host> has been in progress since <time>. Try again when it
// has finished." (a pack says it is packing instead).
std::string RefusalText(const LockHolder& holder);

class RunLock {
public:
    RunLock() = default;
    ~RunLock();
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // Takes the lock of archiveFolder without waiting for a run (the folder is made when
    // missing, so a run can hold the lock before the archive is created). When a pack holds it, tries again for up to waitForPack. The result is
    // Held(), with this process written into the lock file, or not, with Holder() saying who
    // has it. Throws engine::Error (err::kFileAccess) naming the folder or the lock file and
    // the system's reason when the lock file cannot be made or opened (a read-only archive
    // folder, a missing data folder).
    static RunLock TryAcquire(const std::string& archiveFolder, LockPurpose purpose,
                              std::chrono::milliseconds waitForPack = std::chrono::milliseconds{0});

    // Who holds the lock of archiveFolder now; none when it is free or there is no lock file.
    // Creates and changes nothing. Never throws.
    static std::optional<LockHolder> CurrentHolder(const std::string& archiveFolder);

    bool Held() const { return m_fd >= 0; }
    // This process when Held(), else the holder that refused it.
    const LockHolder& Holder() const { return m_holder; }
    // RefusalText(Holder()).
    std::string RefusalText() const;
    // Empties the lock file and lets the lock go; nothing when not held.
    void Release();

private:
    int m_fd = -1;
    LockHolder m_holder;
};

// The run locks a pack of a database folder holds for its length: the folder's own when it is
// an archive (named Archive in any case, or holding a lock file), and its archive folder's
// when it has one (a practice folder: a run changes its tables too). Nothing is made.
struct PackLocks {
    std::vector<RunLock> held;
    std::optional<std::string> refusal;  // RefusalText of the first lock that was refused
    bool Refused() const { return refusal.has_value(); }
};

// Takes the pack locks of folder, without waiting. On a refusal the locks already taken are
// let go again. Throws engine::Error as TryAcquire does.
PackLocks TakePackLocks(const std::string& folder);

}  // namespace archive
