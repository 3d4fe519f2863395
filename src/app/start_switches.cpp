#include "app/start_switches.h"

#include <string_view>

namespace app {
namespace {

constexpr std::string_view kCreate = "-create";
constexpr std::string_view kPack = "-pack";

std::string LastTwoUpper(const std::string& arg) {
    std::string tail = arg.size() > 2 ? arg.substr(arg.size() - 2) : arg;
    for (char& c : tail)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return tail;
}

}  // namespace

StartSwitches ParseStartSwitches(const std::vector<std::string>& args) {
    StartSwitches result;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // The job switches are tested first, so a path that happens to end in "-d" or "-t"
        // (for example -pack/srv/site-t) still names the folder to pack. Only the switch
        // itself is cut off: the path may contain the switch's text further on.
        if (arg.starts_with(kCreate)) {
            result.mode = StartSwitches::Mode::Create;
            result.value = arg.substr(kCreate.size());
            return result;
        }
        if (arg.starts_with(kPack)) {
            result.mode = StartSwitches::Mode::Pack;
            result.value = arg.substr(kPack.size());
            return result;
        }
        const std::string tail = LastTwoUpper(arg);
        if (tail == "-D") result.debugBits |= 1;
        else if (tail == "-T") result.debugBits |= 2;
    }
    return result;
}

}  // namespace app
