// make-sample-data [--patients N] [--seed S] [--delete-password X] DATA_FOLDER
// make-sample-data --blank FOLDER
// Writes a demo practice database (Corvane.dbc, its tables and Notes/) or the blank template.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/error.h"
#include "sample_writer.h"

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: make-sample-data [--patients N] [--seed S] [--delete-password X] DATA_FOLDER\n"
                 "       make-sample-data --blank FOLDER\n");
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    sample::Options options;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--patients" && hasValue) options.patients = std::atoi(argv[++i]);
        else if (arg == "--seed" && hasValue) options.seed = std::strtoull(argv[++i], nullptr, 10);
        else if (arg == "--delete-password" && hasValue) options.deletePassword = argv[++i];
        else if (arg == "--blank" && hasValue) options.blank = true, folder = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && folder.empty()) folder = arg;
        else return Usage();
    }
    if (folder.empty() || options.patients < 0) return Usage();
    try {
        const auto start = std::chrono::steady_clock::now();
        const auto summary = sample::WriteSampleDatabase(folder, options);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s: %llu rows, %d notes files in %.2f s\n", folder.c_str(),
                    static_cast<unsigned long long>(summary.rows), summary.notes, seconds);
        return 0;
    } catch (const engine::Error& e) {
        std::fprintf(stderr, "make-sample-data: error %ld: %s\n", e.Number(), e.Description().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-sample-data: %s\n", e.what());
        return 1;
    }
}
