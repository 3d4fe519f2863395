// The disk faults the archive-side fault matrices inject at each call in turn: the disk full
// from one write on, and a sync the disk refuses once; with the words the reported error uses
// for the operation and for the system's reason.
#pragma once

#include <array>
#include <cerrno>

#include "engine/dbf/fault_file_system.h"

namespace fault_testing {

struct DiskFaultKind {
    engine::dbf::FaultyFileSystem::Op op;
    int error;
    long times;
    const char* what;
    const char* reason;
};

inline const std::array<DiskFaultKind, 2> kDiskFaultKinds{{
    {engine::dbf::FaultyFileSystem::Op::Write, ENOSPC, engine::dbf::FaultyFileSystem::kEveryCall, "write",
     "No space left on device"},
    {engine::dbf::FaultyFileSystem::Op::Sync, EIO, 1, "flush", "Input/output error"},
}};

}  // namespace fault_testing
