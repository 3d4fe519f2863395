// A stand-in for a Visual FoxPro workstation reaching the data folder through Samba: a child
// process that takes classic POSIX record locks (F_SETLK, what Samba takes for a Windows
// client's byte-range locks) at FoxPro's bytes and holds them until it is killed or a time
// runs out; and a look from another process (F_GETLK) at whether a byte is locked.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "support/holding_child.h"

namespace testing_support {

struct ByteRange {
    uint64_t offset = 0;
    uint64_t length = 1;
};

// FoxPro's bytes for a table with a structural index (1-based record numbers).
inline constexpr uint64_t kFoxHeaderByte = 0x7FFFFFFE;
inline constexpr ByteRange FoxRecordByte(uint64_t record) { return {kFoxHeaderByte - record, 1}; }
inline constexpr ByteRange FoxHeaderByte() { return {kFoxHeaderByte, 1}; }

inline bool SetClassicLock(int fd, short type, ByteRange r, bool wait = false) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(r.offset);
    fl.l_len = static_cast<off_t>(r.length);
    return fcntl(fd, wait ? F_SETLKW : F_SETLK, &fl) == 0;
}

// Holds exclusive locks on ranges of file, in the given order, for holdFor (or until killed).
class FoxWorkstation : public HoldingChild {
public:
    FoxWorkstation(const std::filesystem::path& file, std::vector<ByteRange> ranges,
                   std::chrono::milliseconds holdFor = std::chrono::milliseconds{60000})
        : HoldingChild(
              [file, ranges] {
                  const int fd = ::open(file.c_str(), O_RDWR);  // stays open: closing would drop the locks
                  if (fd < 0) return false;
                  for (const ByteRange& r : ranges)
                      if (!SetClassicLock(fd, F_WRLCK, r)) return false;
                  return true;
              },
              holdFor) {}
};

// Whether another process than the caller sees a lock on any byte of r in file (F_GETLK).
inline bool LockedForOthers(const std::filesystem::path& file, ByteRange r) {
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(file.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = static_cast<off_t>(r.offset);
        fl.l_len = static_cast<off_t>(r.length);
        if (fd < 0 || fcntl(fd, F_GETLK, &fl) != 0) _exit(2);
        _exit(fl.l_type == F_UNLCK ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

}  // namespace testing_support
