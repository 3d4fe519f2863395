// The process's resident memory, for benchmarks that print how memory grows.
#pragma once

#include <fstream>
#include <string>

namespace bench_support {

namespace detail {
inline long StatusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    }
    return 0;
}
}  // namespace detail

// Resident set size in kilobytes (VmRSS of /proc/self/status); 0 when it cannot be read.
inline long ResidentKilobytes() { return detail::StatusKilobytes("VmRSS:"); }

// The highest resident set size since the start or the last ResetPeakResident (VmHWM).
inline long PeakResidentKilobytes() { return detail::StatusKilobytes("VmHWM:"); }

// Starts the peak over from the current resident size, so that a figure covers one phase.
inline void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace bench_support
