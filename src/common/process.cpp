#include "common/process.h"

#include <cerrno>
#include <filesystem>
#include <vector>

#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/command_args.h"

extern char** environ;

namespace common {
namespace fs = std::filesystem;

std::string ProgramPath() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string ProgramFolder() {
    const std::string exe = ProgramPath();
    if (exe.empty()) return {};
    const std::string folder = fs::path(exe).parent_path().string();
    return folder.empty() ? "/" : folder;
}

std::string GetLoginName() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    char name[200] = {};
    if (getlogin_r(name, sizeof name) == 0) return name;
    return {};
}

bool RunAndWait(const std::string& commandLine) {
    std::vector<std::string> args = SplitCommandArgs(commandLine, 1 << 20);
    args.erase(args.begin());
    return RunAndWait(args);
}

bool RunAndWait(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().empty()) return false;
    std::vector<std::string> args = arguments;

    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    int rc = 0;
    const std::string& program = args.front();
    std::error_code ec;
    const std::string beside = ProgramFolder().empty() ? std::string() : (fs::path(ProgramFolder()) / program).string();
    if (program.find('/') != std::string::npos) {
        rc = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    } else if (!beside.empty() && fs::is_regular_file(beside, ec) && access(beside.c_str(), X_OK) == 0) {
        rc = posix_spawn(&pid, beside.c_str(), nullptr, nullptr, argv.data(), environ);
    } else {
        rc = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    }
    if (rc != 0) return false;

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

}  // namespace common
