// ASCII letter case for names: tables, fields, tags, commands, files. The data keeps Windows
// habits, where such names match without regard to case; text values are never folded here.
#pragma once

#include <string>
#include <string_view>

namespace engine {

inline std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

inline std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace engine
