// Where a byte offset stands in a text: its line and position, and that line's own text.
// Used to tell the user where a file failed to parse (the XML parser gives a byte offset).
#pragma once

#include <string>

namespace common {

// Line (from 1) and position in the line (from 1, in characters) of a byte offset in a text.
struct TextPosition {
    long line = 1;
    long position = 1;
};
TextPosition PositionOfOffset(const std::string& text, long long offset);

// The text of the line that holds the byte offset, without its line end.
std::string LineAtOffset(const std::string& text, long long offset);

}  // namespace common
