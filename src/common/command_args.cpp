#include "common/command_args.h"

#include <optional>

namespace common {
namespace {

std::string& StoredCommandLine() {
    static std::string line;
    return line;
}

// The arguments as the system gave them; empty when the command line was given as text.
std::optional<std::vector<std::string>>& StoredArguments() {
    static std::optional<std::vector<std::string>> arguments;
    return arguments;
}

}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
    std::string line;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
        arguments.emplace_back(argv[i]);
    }
    StoredCommandLine() = std::move(line);
    StoredArguments() = std::move(arguments);
}

void SetCommandLine(const std::string& commandLine) {
    StoredCommandLine() = commandLine;
    StoredArguments().reset();
}

const std::string& CommandLine() { return StoredCommandLine(); }

std::vector<std::string> SplitCommandArgs(const std::string& commandLine, int maxArgs) {
    std::vector<std::string> args(1);
    bool previousWasSeparator = true;
    for (const char c : commandLine) {
        if (c == ' ' || c == '\t') {
            previousWasSeparator = true;
            continue;
        }
        if (previousWasSeparator) {
            if (static_cast<int>(args.size()) - 1 >= maxArgs) break;
            args.emplace_back();
            previousWasSeparator = false;
        }
        args.back() += c;
    }
    return args;
}

std::vector<std::string> GetCommandArgs(int maxArgs) {
    if (!StoredArguments()) return SplitCommandArgs(CommandLine(), maxArgs);
    std::vector<std::string> args(1);
    for (const std::string& given : *StoredArguments()) {
        const size_t first = given.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        if (static_cast<int>(args.size()) - 1 >= maxArgs) break;
        args.push_back(given.substr(first, given.find_last_not_of(" \t") - first + 1));
    }
    return args;
}

}  // namespace common
