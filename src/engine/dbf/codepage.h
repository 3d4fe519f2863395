// Text conversion between a table's code page and UTF-8.
//
// Every byte value decodes to exactly one Unicode character and every such character encodes
// back to the same byte, so text copied between two tables of the same code page stays
// byte-exact (bytes a code page leaves undefined, such as 0x81 in 1252, become U+0081 etc.).
// Tables whose mark is 0 (no translation) and binary (no-translation) fields use the identity
// mapping byte n <-> U+00nn; a mark this engine does not know reads as the default, 1252.
// Characters a code page cannot hold are written as '?'.
// The conversion tables of each code page are built once per process and shared, so a
// CodePage is cheap to make and to copy.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace engine::dbf {

class CodePage {
public:
    // mark: the code-page byte of a table header (0x03 = 1252, 0 = no translation).
    explicit CodePage(uint8_t mark = 0);

    int Number() const;  // 0 when text is taken byte for byte
    // True when the mark names no code page this engine knows: text is read and written as
    // the default code page (1252) instead.
    bool Substituted() const { return m_substituted; }
    // Appends the UTF-8 form of bytes to out.
    void Decode(const uint8_t* bytes, size_t size, std::string& out) const;
    std::string Decode(std::string_view bytes) const;
    // The code page form of UTF-8 text; invalid UTF-8 bytes are taken as single bytes.
    std::string Encode(std::string_view utf8) const;

    struct Tables {
        int number = 0;
        std::array<char16_t, 128> upper{};
        std::unordered_map<char32_t, uint8_t> encode;  // upper-half characters only
    };

private:
    const Tables* m_tables;
    bool m_substituted = false;
};

// The identity mapping used for binary fields.
const CodePage& BinaryCodePage();

}  // namespace engine::dbf
