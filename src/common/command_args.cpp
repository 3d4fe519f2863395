#include "common/command_args.h"

namespace common {
namespace {

std::string& StoredCommandLine() {
    static std::string line;
    return line;
}

}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    StoredCommandLine() = std::move(line);
}

void SetCommandLine(const std::string& commandLine) { StoredCommandLine() = commandLine; }

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

std::vector<std::string> GetCommandArgs(int maxArgs) { return SplitCommandArgs(CommandLine(), maxArgs); }

}  // namespace common
