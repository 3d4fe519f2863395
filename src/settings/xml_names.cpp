#include "settings/xml_names.h"

#include <string_view>

namespace settings {

namespace {

// Character sets of the two sanitizers: which leading characters need the "F" prefix,
// which characters turn into "-", and which are dropped.
constexpr std::string_view kFirstPlain = " ,\\/-()?:!'#";
constexpr std::string_view kDashPlain = " ,\\/";
constexpr std::string_view kFirstPath = " ,\\-()?:!'#";
constexpr std::string_view kDashPath = " ,\\";
constexpr std::string_view kRemoved = "()?:!'#";

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string SanitizeName(const std::string& name, bool keepSlash) {
    const std::string_view firstSet = keepSlash ? kFirstPath : kFirstPlain;
    const std::string_view dashSet = keepSlash ? kDashPath : kDashPlain;
    std::string out = name;
    if (!out.empty() && out[0] >= '0' && out[0] <= '9') out.insert(0, "n");
    else if (out.empty() || firstSet.find(out[0]) != std::string_view::npos) out.insert(0, "F");
    std::string result;
    result.reserve(out.size());
    for (const char c : out) {
        if (dashSet.find(c) != std::string_view::npos) result += '-';
        else if (kRemoved.find(c) == std::string_view::npos) result += c;
    }
    return result;
}

bool IsXmlName(const std::string& name) {
    if (name.empty()) return false;
    const auto first = static_cast<unsigned char>(name[0]);
    if (!IsAsciiLetter(first) && first != '_' && first != ':' && first < 0x80) return false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        const bool ok =
            IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == ':' || c >= 0x80;
        if (!ok) return false;
    }
    return true;
}

}  // namespace settings
