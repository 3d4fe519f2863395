// Raw code page data for table text: which code page a table's code-page byte names, and the
// Unicode code points of the upper half of each supported single-byte code page. Used only by
// codepage.cpp.
#pragma once

#include <cstdint>

namespace engine::dbf {

// The Windows/DOS code page number a header's code-page byte names; 0 when unknown or none.
int CodePageFromMark(uint8_t mark);

// 128 code points for bytes 0x80..0xFF, or nullptr when the code page is not supported.
const char16_t* UpperHalfForCodePage(int codePage);

}  // namespace engine::dbf
