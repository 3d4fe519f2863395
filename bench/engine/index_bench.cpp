// index_bench [MAX_ROWS]: cost of index maintenance as tables grow. For tables of 1,000 rows up
// to MAX_ROWS (default 1,000,000) with three tags (an integer candidate key, an upper-cased
// name, a date) it prints the time of one append with random keys, one overwrite that moves
// every key, one lookup through a tag, and a REINDEX of the whole table. Per-key cost should
// grow with the depth of the trees (logarithmically), not with the table.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>

#include "engine/dbf/table.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<engine::Value> Row(std::mt19937& rng, int64_t key) {
    std::string last(12, ' '), first(8, ' ');
    for (char& c : last) c = static_cast<char>('a' + rng() % 26);
    for (char& c : first) c = static_cast<char>('a' + rng() % 26);
    return {engine::Value(key), engine::Value(last), engine::Value(first),
            engine::Value(engine::Date{2440000 + static_cast<int32_t>(rng() % 30000)})};
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const long maxRows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const fs::path folder = fs::temp_directory_path() / ("index-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::printf("%10s %14s %14s %14s %12s\n", "rows", "append us", "overwrite us", "lookup us", "reindex s");
    for (long rows = 1000; rows <= maxRows; rows *= 10) {
        const fs::path path = folder / ("t" + std::to_string(rows) + ".dbf");
        std::mt19937 rng(1);
        {
            auto table = engine::Table::Create(path, {{.name = "PTNUM", .type = 'I'},
                                                      {.name = "LASTNAME", .type = 'C', .length = 25},
                                                      {.name = "FIRSTNAME", .type = 'C', .length = 20},
                                                      {.name = "BIRTH", .type = 'D'}});
            for (long i = 0; i < rows; ++i) table->Append(Row(rng, static_cast<int64_t>(rng() % 1000000000)));
            table->CreateIndex({{"PTNUM", "ptnum"}, {"NAME", "UPPER(lastname+firstname)"}, {"BIRTH", "birth"}});
        }
        auto table = engine::Table::Open(path, engine::OpenMode::Exclusive);
        const int n = 2000;
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i) table->Append(Row(rng, static_cast<int64_t>(rng() % 1000000000)));
        const double append = Seconds(start) / n * 1e6;
        start = std::chrono::steady_clock::now();
        for (int i = 0; i < n; ++i)
            table->Overwrite(rng() % table->RecordCount(), Row(rng, static_cast<int64_t>(rng() % 1000000000)));
        const double overwrite = Seconds(start) / n * 1e6;
        start = std::chrono::steady_clock::now();
        size_t found = 0;
        for (int i = 0; i < n; ++i)
            found += table->SeekEqual(0, table->ReadValue(rng() % table->RecordCount(), 0))->size();
        const double lookup = Seconds(start) / n * 1e6;
        start = std::chrono::steady_clock::now();
        table->Reindex();
        const double reindex = Seconds(start);
        std::printf("%10ld %14.1f %14.1f %14.1f %12.2f\n", rows, append, overwrite, lookup, reindex);
        if (found < static_cast<size_t>(n)) std::printf("  (lookups missed rows)\n");
        table.reset();
        fs::remove(path);
        fs::remove(folder / ("t" + std::to_string(rows) + ".cdx"));
    }
    fs::remove_all(folder);
    return 0;
}
