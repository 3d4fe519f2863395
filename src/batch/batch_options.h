// The command line of batch archiving:
//   Archive --batch DATABASE.dbc (--patients LIST | --where CONDITION) [--password-file FILE]
// LIST is patient numbers separated by commas; CONDITION a FoxPro condition on IdentFil.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace batch {

struct BatchOptions {
    bool help = false;
    std::string database;              // the practice container, as given
    std::vector<int32_t> patients;     // --patients, ascending, without repeats
    std::optional<std::string> where;  // --where
    std::optional<std::string> passwordFile;
};

// The usage text printed by --help and after a usage error.
std::string UsageText();

// True when the arguments (without the program name) ask for batch archiving or its help.
bool WantsBatch(const std::vector<std::string>& args);

// Reads the arguments (without the program name). On a usage error returns nullopt and
// sets error to what is wrong.
std::optional<BatchOptions> ParseBatchOptions(const std::vector<std::string>& args, std::string& error);

}  // namespace batch
