// Writes the demo practice database: Corvane.dbc with its tables and the Notes folder. Rows
// are made up but realistic and depend only on the seed; about one in thirty rows of the busy
// patient tables is already marked deleted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace sample {

struct Options {
    int patients = 200;
    uint64_t seed = 1;
    bool blank = false;            // tables only, no rows, no notes
    std::string deletePassword{};  // empty: archiving needs no password
};

struct Summary {
    uint64_t rows = 0;
    int notes = 0;
};

// Throws engine::Error when the folder already holds a container or a file cannot be written.
Summary WriteSampleDatabase(const std::filesystem::path& folder, const Options& options);

}  // namespace sample
