#include "support/requirements.h"

#include <cstdlib>
#include <map>

namespace testing_support {
namespace fs = std::filesystem;

namespace {

bool Succeeds(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Asks once per process: spawning an interpreter per test adds up.
bool Cached(const std::string& key, const std::string& command) {
    static std::map<std::string, bool> answers;
    const auto found = answers.find(key);
    if (found != answers.end()) return found->second;
    return answers[key] = Succeeds(command);
}

}  // namespace

fs::path SharedVfpData() {
    const char* set = std::getenv("ARCHIVE_VFP_TESTDATA");
    if (set && *set) return set;
    return (fs::path(ARCHIVE_SHARED_DIR) / "testdata" / "vfp").lexically_normal();
}

std::string MissingVfpData() {
    const fs::path folder = SharedVfpData();
    std::error_code error;
    if (fs::is_directory(folder, error)) return {};
    return "Visual FoxPro sample files not found at " + folder.string() + "; set ARCHIVE_VFP_TESTDATA";
}

std::string MissingPythonModule(const std::string& module) {
    if (Cached("python:" + module, "/usr/bin/python3 -c 'import " + module + "'")) return {};
    return "python3-" + module + " is not installed for /usr/bin/python3 (scripts/setup installs it)";
}

std::string MissingCommand(const std::string& command, const std::string& package) {
    if (Cached("command:" + command, "command -v " + command)) return {};
    return command + " is not installed (Debian package " + package + "; scripts/setup installs it)";
}

bool RequireAll() {
    const char* set = std::getenv("ARCHIVE_TESTS_REQUIRE_ALL");
    return set && std::string(set) == "1";
}

void NeedsVfpData::SetUp() { ARCHIVE_REQUIRE(MissingVfpData()); }

}  // namespace testing_support
