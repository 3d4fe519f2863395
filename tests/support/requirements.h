// What a test needs from outside the repository, and what it does when that is missing.
//
// The Visual FoxPro sample files (tables, memos, containers and indexes written by Visual
// FoxPro itself) cannot ship with the repository; tests read them in place from the folder
// named by the environment variable ARCHIVE_VFP_TESTDATA, else ../shared/testdata/vfp beside
// the checkout. The independent readers and tools the tests compare with (python3-dbfread,
// python3-dbf, index_dump) are installed by scripts/setup.
//
// A test whose need is missing skips with the reason. With ARCHIVE_TESTS_REQUIRE_ALL=1 (our
// own CI, where everything is there) it fails instead, so a lost folder or package cannot
// quietly shrink the suite.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace testing_support {

// The Visual FoxPro sample folder (it may not exist).
std::filesystem::path SharedVfpData();

// Each answers an empty text when the need is met, else why the test cannot run.
std::string MissingVfpData();
std::string MissingPythonModule(const std::string& module);  // for /usr/bin/python3
std::string MissingCommand(const std::string& command, const std::string& package);

// True when missing needs fail tests instead of skipping them.
bool RequireAll();

// A fixture for tests that read the Visual FoxPro sample files.
class NeedsVfpData : public ::testing::Test {
protected:
    void SetUp() override;
};

}  // namespace testing_support

// Skips the test (or fails it under ARCHIVE_TESTS_REQUIRE_ALL) when why is not empty.
#define ARCHIVE_REQUIRE(missing)                                        \
    do {                                                                \
        const std::string archiveWhy_ = (missing);                      \
        if (!archiveWhy_.empty()) {                                     \
            if (::testing_support::RequireAll()) FAIL() << archiveWhy_; \
            GTEST_SKIP() << archiveWhy_;                                \
        }                                                               \
    } while (false)
