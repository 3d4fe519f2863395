// What the independent reader python3-dbfread (Debian's /usr/bin/python3) makes of a table
// file, for tests that check the engine's files against a reader that is not ours.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// Standard output and error of a shell command, without trailing line ends.
std::string CommandOutput(const std::string& command);

// "<records in the header> <live rows> <marked rows>" as python3-dbfread counts them. The
// reader asks for a memo file whenever a table has a B field, so that demand is switched off.
std::string DbfreadCounts(const std::filesystem::path& file);

// The live rows as python3-dbfread reads them, one line per row, the values in field order
// joined by "|" in Python's text form (text without trailing blanks, dates yyyy-mm-dd,
// logicals True/False, null None). The hidden null-flags field is left out.
std::string DbfreadRows(const std::filesystem::path& file);

}  // namespace testing_support
