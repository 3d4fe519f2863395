// Test helpers: dump a table's rows as JSON and let an independent Python reader
// (python3-dbfread or python3-dbf) compare them with what it reads from the same file.
#pragma once

#include <filesystem>
#include <string>

#include "engine/dbf/table.h"

namespace dbf_test {

std::string DumpJson(const engine::Table& table);

struct ReaderResult {
    int exitCode = -1;  // 0 equal, 1 differences, 2 reader missing
    std::string output;
};

// Runs compare_with_reader.py with reader "dbfread" or "dbf" on the table at path.
ReaderResult CompareWithReader(const std::string& reader, const std::filesystem::path& table);

// Runs a shell command and returns its exit code and standard output.
ReaderResult RunCommand(const std::string& command);

bool PythonModuleAvailable(const std::string& module);

}  // namespace dbf_test
