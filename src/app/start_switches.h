// The switches on the program's command line: "-D" (log file on) and "-T" (debug boxes on),
// recognised by an argument's last two characters in any case; "-create" followed directly
// by a database container path and "-pack" followed directly by a database folder, which
// run one unattended job and end the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

struct StartSwitches {
    enum class Mode { Window, Create, Pack };
    int32_t debugBits = 0;     // to add to DebugFlags: 1 for -D, 2 for -T
    Mode mode = Mode::Window;  // Create and Pack end the program after their job
    std::string value;         // the path glued to -create or -pack
};

// Reads args as GetCommandArgs gives them (element 0 empty), in order. The first "-create" or
// "-pack" argument (matched case-sensitively at its start) decides the mode, and no later
// argument is looked at; anything else that is not -D or -T is ignored.
StartSwitches ParseStartSwitches(const std::vector<std::string>& args);

}  // namespace app
