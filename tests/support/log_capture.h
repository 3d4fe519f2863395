// LogCapture: points the program's log at a file of the test's own with file logging on (bit 0
// of DebugFlags), and puts both switches back when it goes. Lines() gives the text of each
// line after its date, time and TAB, checking the CR LF ending.
#pragma once

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/product.h"
#include "support/temp_dir.h"

namespace testing_support {

class LogCapture {
public:
    explicit LogCapture(std::filesystem::path file)
        : m_file(std::move(file)), m_savedFlags(product::DebugFlags), m_savedLog(product::LogFile) {
        product::DebugFlags = 1;
        product::LogFile = m_file.string();
    }
    ~LogCapture() {
        product::DebugFlags = m_savedFlags;
        product::LogFile = m_savedLog;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::filesystem::path& File() const { return m_file; }

    std::vector<std::string> Lines() const {
        std::istringstream in(ReadFile(m_file));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            EXPECT_TRUE(line.ends_with("\r")) << line;
            if (line.ends_with("\r")) line.pop_back();
            lines.push_back(line.substr(line.find('\t') + 1));
        }
        return lines;
    }

private:
    std::filesystem::path m_file;
    int32_t m_savedFlags;
    std::string m_savedLog;
};

}  // namespace testing_support
