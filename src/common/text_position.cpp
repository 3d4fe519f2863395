#include "common/text_position.h"

#include <algorithm>

namespace common {

namespace {
size_t ClampOffset(const std::string& text, long long offset) {
    return static_cast<size_t>(std::clamp<long long>(offset, 0, static_cast<long long>(text.size())));
}
}  // namespace

TextPosition PositionOfOffset(const std::string& text, long long offset) {
    const size_t end = ClampOffset(text, offset);
    TextPosition where;
    for (size_t i = 0; i < end; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++where.line;
            where.position = 1;
        } else if (c == '\r') {
            // A CR is part of the line end that follows it, not a character of the line.
        } else if ((c & 0xC0) != 0x80) {
            ++where.position;  // count characters, not the continuation bytes of UTF-8
        }
    }
    return where;
}

std::string LineAtOffset(const std::string& text, long long offset) {
    const size_t at = ClampOffset(text, offset);
    const size_t begin = at == 0 ? 0 : text.rfind('\n', at - 1) + 1;  // npos + 1 == 0
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace common
