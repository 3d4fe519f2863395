// The process's resident memory, for benchmarks that print how memory grows.
#pragma once

#include <fstream>
#include <string>

namespace bench_support {

// Resident set size in kilobytes (VmRSS of /proc/self/status); 0 when it cannot be read.
inline long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

}  // namespace bench_support
