// The table header: parsing the 32-byte header, the field descriptors and the back-link into a
// description of the record layout, and building one for a new table. Knows nothing of rows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace engine {

// One field as a caller declares it when creating a table. Lengths of the fixed-size types
// (L 1, D/T/Y/B 8, I 4, M/G/W 4) are filled in when left 0; C, V, Q, N and F need a length.
struct FieldSpec {
    std::string name;  // at most 10 characters; stored upper-case
    char type = 'C';   // C V Q N F L D T I Y B M G W
    int length = 0;
    int decimals = 0;
    bool nullable = false;
    bool binary = false;         // no code-page translation (C, V, M)
    bool autoIncrement = false;  // I only
    int32_t autoIncNext = 1;
    int autoIncStep = 1;
};

// A field of an open table: its declaration plus where it sits in the record.
struct Field : FieldSpec {
    uint32_t offset = 0;    // from the start of the record (byte 0 is the deletion flag)
    int nullBit = -1;       // bit in _NullFlags that marks the value null, or -1
    int varLengthBit = -1;  // bit in _NullFlags set when a V/Q value is shorter than the field
    int descriptorIndex = 0;
    bool IsMemo() const {
        return type == 'M' || type == 'G' || type == 'W' || type == 'P' || (type == 'B' && length == 10);
    }
};

namespace dbf {

struct TableHeader {
    uint8_t version = 0x30;
    uint8_t flags = 0;
    uint8_t codePageMark = 0x03;
    uint32_t recordCount = 0;
    uint16_t headerLength = 0;
    uint16_t recordLength = 0;
    std::vector<Field> fields;  // user fields in descriptor order, without _NullFlags
    int nullFlagsOffset = -1;   // offset of _NullFlags inside the record, or -1
    int nullFlagsLength = 0;
    std::string backLink;            // relative path of the owning container; empty for a free table
    bool asciiMemoPointers = false;  // dBase/FoxPro 2 tables store memo block numbers as 10 digits

    bool IsVisualFoxPro() const { return version == 0x30 || version == 0x31 || version == 0x32; }
    bool HasMemoFields() const;
    uint64_t RecordOffset(uint32_t index) const { return headerLength + uint64_t(index) * recordLength; }

    // Parses the header at the start of a file of fileSize bytes; throws engine::Error naming
    // the file when the header, the descriptors or the record count are broken.
    static TableHeader Parse(const std::vector<uint8_t>& bytes, uint64_t fileSize, const std::filesystem::path& file);
    // The number of bytes to read to hold the whole header, from its first 32 bytes.
    static uint16_t HeaderLengthOf(const uint8_t* first32);

    // Lays out a new Visual FoxPro table: version byte, _NullFlags bits, offsets, lengths.
    // Throws engine::Error (kBadArgument) for an invalid declaration.
    static TableHeader Build(const std::vector<FieldSpec>& specs, uint8_t codePageMark, const std::string& backLink);
    // The header bytes (fixed part, descriptors, terminator and back-link) with today's date.
    std::vector<uint8_t> Serialize() const;
};

}  // namespace dbf
}  // namespace engine
