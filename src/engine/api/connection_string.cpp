#include "engine/api/connection_string.h"
#include "engine/ascii_case.h"

#include <algorithm>
#include <cctype>

namespace engine::api {
namespace {

std::string Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

ConnectionProperties::ConnectionProperties(std::string_view text) { Read(text); }

void ConnectionProperties::Read(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t eq = text.find('=', i);
        const size_t semi = text.find(';', i);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            if (semi == std::string_view::npos) break;
            i = semi + 1;  // a piece without "=" is ignored
            continue;
        }
        const std::string key = AsciiUpper(Trim(text.substr(i, eq - i)));
        size_t j = eq + 1;
        while (j < text.size() && std::isspace(static_cast<unsigned char>(text[j]))) ++j;
        std::string value;
        if (j < text.size() && (text[j] == '"' || text[j] == '\'')) {
            const char quote = text[j];
            const size_t close = text.find(quote, j + 1);
            value = std::string(
                text.substr(j + 1, close == std::string_view::npos ? std::string_view::npos : close - j - 1));
            j = close == std::string_view::npos ? text.size() : close + 1;
            const size_t next = text.find(';', j);
            i = next == std::string_view::npos ? text.size() : next + 1;
        } else {
            const size_t next = text.find(';', j);
            value = Trim(text.substr(j, next == std::string_view::npos ? std::string_view::npos : next - j));
            i = next == std::string_view::npos ? text.size() : next + 1;
        }
        if (key == "EXTENDED PROPERTIES") Read(value);
        m_values[key] = value;
    }
}

std::optional<std::string> ConnectionProperties::Get(std::string_view key) const {
    const auto it = m_values.find(AsciiUpper(key));
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

bool ConnectionProperties::Flag(std::string_view key, bool fallback) const {
    const auto value = Get(key);
    if (!value) return fallback;
    const std::string v = AsciiUpper(*value);
    if (v == "YES" || v == "TRUE" || v == "ON" || v == "1") return true;
    if (v == "NO" || v == "FALSE" || v == "OFF" || v == "0") return false;
    return fallback;
}

}  // namespace engine::api
