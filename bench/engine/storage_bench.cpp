// storage_bench [PATIENTS]: prints how fast the sample generator writes rows, and how fast the
// engine reads the largest table sequentially (MB/s and rows/s), next to `cat file >/dev/null`
// on the same file (both with the file in the page cache).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "engine/dbf/table.h"
#include "sample_writer.h"

namespace {
double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const int patients = argc > 1 ? std::atoi(argv[1]) : 20000;
    const fs::path folder = fs::temp_directory_path() / ("storage-bench-" + std::to_string(::getpid()));
    sample::Options options;
    options.patients = patients;
    auto start = std::chrono::steady_clock::now();
    const auto summary = sample::WriteSampleDatabase(folder, options);
    const double genSeconds = Seconds(start);
    std::printf("generator: %d patients, %llu rows in %.2f s = %.0f rows/s\n", patients,
                static_cast<unsigned long long>(summary.rows), genSeconds, summary.rows / genSeconds);

    for (const char* name : {"PostFile.dbf", "IdentFil.dbf"}) {
        const fs::path file = folder / name;
        const double mb = static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0);
        const std::string cat = "cat '" + file.string() + "' > /dev/null";
        if (std::system(cat.c_str()) != 0) return 1;  // warm the cache
        start = std::chrono::steady_clock::now();
        if (std::system(cat.c_str()) != 0) return 1;
        const double catSeconds = Seconds(start);

        auto table = engine::Table::Open(file);
        start = std::chrono::steady_clock::now();
        uint64_t values = 0;
        for (uint32_t i = 0; i < table->RecordCount(); ++i) values += table->ReadRecord(i).values.size();
        const double readSeconds = Seconds(start);
        std::printf("%s (%.1f MB, %u rows, memo included): engine %.1f MB/s, %.0f rows/s; cat %.1f MB/s\n", name, mb,
                    table->RecordCount(), mb / readSeconds, table->RecordCount() / readSeconds, mb / catSeconds);
        if (values == 0) std::printf("(no values)\n");
    }
    fs::remove_all(folder);
    return 0;
}
