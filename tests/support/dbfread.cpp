#include "support/dbfread.h"

#include <cstdio>

namespace testing_support {

std::string CommandOutput(const std::string& command) {
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return "cannot run: " + command;
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string DbfreadCounts(const std::filesystem::path& file) {
    return CommandOutput(
        "/usr/bin/python3 -c \"import sys, dbfread; "
        "t = dbfread.DBF(sys.argv[1], ignore_missing_memofile=True); "
        "print(t.header.numrecords, len(list(t)), len(list(t.deleted)))\" '" +
        file.string() + "'");
}

std::string DbfreadRows(const std::filesystem::path& file) {
    return CommandOutput(
        "/usr/bin/python3 -c \"import sys, dbfread; "
        "t = dbfread.DBF(sys.argv[1], ignore_missing_memofile=True); "
        "[print('|'.join(str(v) for k, v in r.items() if k != '_NullFlags')) for r in t]\" '" +
        file.string() + "'");
}

}  // namespace testing_support
