#include "common/paths.h"

#include <algorithm>

namespace common {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Length of the UTF-8 sequence that starts with lead (1 for a stray continuation byte).
size_t SequenceLength(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string AddBackslash(const std::string& path) {
    if (!path.empty() && IsSeparator(path.back())) return path;
    return path + "/";
}

std::string RemoveBackslash(const std::string& path) {
    if (!path.empty() && IsSeparator(path.back())) return path.substr(0, path.size() - 1);
    return path;
}

std::string FolderOf(const std::string& fullName) {
    const size_t last = fullName.find_last_of("/\\");
    if (last == std::string::npos) return {};
    return fullName.substr(0, last + 1);
}

std::string ReplaceChars(const std::string& text, const std::string& charSet, const std::string& replacement) {
    std::string out = text;
    for (size_t i = 0; i < charSet.size();) {
        const size_t len = std::min(SequenceLength(static_cast<unsigned char>(charSet[i])), charSet.size() - i);
        const std::string character = charSet.substr(i, len);
        i += len;
        std::string next;
        next.reserve(out.size());
        for (size_t pos = 0;;) {
            const size_t hit = out.find(character, pos);
            if (hit == std::string::npos) {
                next.append(out, pos, std::string::npos);
                break;
            }
            next.append(out, pos, hit - pos);
            next += replacement;
            pos = hit + character.size();
        }
        out = std::move(next);
    }
    return out;
}

}  // namespace common
