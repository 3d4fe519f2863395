// Runs a check in a child process as an unprivileged user, so that permissions (a read-only
// folder, a file that may not be written) act as they do for a practice's users even when the
// tests run as root. The child's answer comes back as text through a pipe.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace testing_support {

// The user the child becomes when the tests run as root ("nobody").
inline constexpr uid_t kOtherUser = 65534;

// Runs check in a child process (as kOtherUser when running as root) and returns what it
// returned; "child failed" when it ended otherwise.
inline std::string AsOtherUser(const std::function<std::string()>& check) {
    int out[2];
    if (pipe(out) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(out[0]);
        if (geteuid() == 0 && (setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0)) _exit(2);
        std::string answer;
        try {
            answer = check();
        } catch (...) {
            answer = "exception";
        }
        (void)!write(out[1], answer.data(), answer.size());
        _exit(0);
    }
    close(out[1]);
    std::string answer;
    char buffer[512];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<size_t>(got));
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? answer : "child failed";
}

// Lets every user enter folder and the folders above it up to the temporary root, and read
// what is in it (the temporary folders are made for their owner only).
inline void OpenToEveryone(const std::filesystem::path& folder) {
    const std::filesystem::path top = std::filesystem::temp_directory_path();
    for (std::filesystem::path p = folder; !p.empty() && p != p.root_path() && p != top; p = p.parent_path()) {
        struct stat info {};
        if (stat(p.c_str(), &info) == 0) chmod(p.c_str(), (info.st_mode & 07777) | 0755);
    }
}

}  // namespace testing_support
