// pack_bench [--patients N] [--rounds R]: generates a practice database (10,000 patients by
// default), packs it once so nothing is left to drop, then times, R rounds each (5 by
// default, warm cache), db::PackDatabase of the folder (what "Archive -pack<folder>" runs)
// against reading every .dbf, .fpt and .cdx file of the folder: with `cat` to /dev/null (a
// process, as a user would time it) and within this process, and prints the best time of
// each and the ratios.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "db/pack_database.h"
#include "engine/error.h"
#include "sample_writer.h"

namespace fs = std::filesystem;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool IsDataFile(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".dbf" || ext == ".fpt" || ext == ".cdx";
}

// Reads every table, memo and index file of folder to the end; returns the bytes read.
uint64_t ReadAll(const fs::path& folder) {
    static std::vector<char> buffer(128 * 1024);
    uint64_t total = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || !IsDataFile(entry.path())) continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ssize_t n;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) total += static_cast<uint64_t>(n);
        ::close(fd);
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    int patients = 10000;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--patients") patients = std::atoi(argv[i + 1]);
        else if (arg == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
    }
    const fs::path folder = fs::temp_directory_path() / ("pack_bench." + std::to_string(getpid()));
    try {
        sample::Options options;
        options.patients = patients;
        const auto summary = sample::WriteSampleDatabase(folder, options);
        std::string failed;
        db::PackDatabase(folder.string(), failed);  // drops the generator's marked rows
        if (!failed.empty()) std::fprintf(stderr, "pack_bench: could not pack %s\n", failed.c_str());

        const uint64_t bytes = ReadAll(folder);  // warms the cache
        const std::string cat =
            "cd '" + folder.string() + "' && cat *.dbf *.DBF *.fpt *.FPT *.cdx *.CDX 2>/dev/null >/dev/null";
        double bestPack = 1e9, bestRead = 1e9, bestCat = 1e9;
        for (int round = 0; round < rounds; ++round) {
            auto start = std::chrono::steady_clock::now();
            db::PackDatabase(folder.string(), failed);
            bestPack = std::min(bestPack, Since(start));
            start = std::chrono::steady_clock::now();
            ReadAll(folder);
            bestRead = std::min(bestRead, Since(start));
            start = std::chrono::steady_clock::now();
            (void)!std::system(cat.c_str());
            bestCat = std::min(bestCat, Since(start));
        }
        std::printf(
            "database of %d patients (%llu rows, %.1f MB of .dbf/.fpt/.cdx), best of %d rounds:\n"
            "  pack with nothing to drop %.4f s\n  cat of the files %.4f s (ratio %.2f)\n"
            "  reading the files in this process %.4f s (ratio %.2f)\n",
            patients, static_cast<unsigned long long>(summary.rows), bytes / 1e6, rounds, bestPack, bestCat,
            bestPack / bestCat, bestRead, bestPack / bestRead);
    } catch (const engine::Error& e) {
        std::fprintf(stderr, "pack_bench: error %ld: %s\n", e.Number(), e.Description().c_str());
        fs::remove_all(folder);
        return 1;
    }
    fs::remove_all(folder);
    return 0;
}
