// Byte-level constants of the Visual FoxPro table, memo and container files: header offsets,
// version bytes, flags, field flags and sizes. The full byte tables, with what was observed on
// real files, are in docs/storage.md and the shared format reference it points to.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine::dbf::fmt {

// Table header (32 bytes), then 32-byte field descriptors, a 0x0D terminator and, in Visual
// FoxPro tables, the 263-byte container back-link.
inline constexpr size_t kHeaderSize = 32;
inline constexpr size_t kDescriptorSize = 32;
inline constexpr size_t kBackLinkSize = 263;
inline constexpr uint8_t kTerminator = 0x0D;
inline constexpr uint8_t kEndOfFile = 0x1A;

inline constexpr size_t kOffVersion = 0;
inline constexpr size_t kOffUpdateDate = 1;
inline constexpr size_t kOffRecordCount = 4;
inline constexpr size_t kOffHeaderLength = 8;
inline constexpr size_t kOffRecordLength = 10;
inline constexpr size_t kOffTableFlags = 28;
inline constexpr size_t kOffCodePage = 29;

// Version bytes.
inline constexpr uint8_t kVfp = 0x30;
inline constexpr uint8_t kVfpAutoInc = 0x31;
inline constexpr uint8_t kVfpVarchar = 0x32;
inline constexpr uint8_t kDbase3 = 0x03;
inline constexpr uint8_t kDbase3Memo = 0x83;
inline constexpr uint8_t kFoxPro2Memo = 0xF5;
inline constexpr uint8_t kFoxBase = 0xFB;

// Table flags (header byte 28).
inline constexpr uint8_t kFlagStructuralIndex = 0x01;
inline constexpr uint8_t kFlagMemo = 0x02;
inline constexpr uint8_t kFlagContainer = 0x04;

// Field descriptor offsets and flags.
inline constexpr size_t kDescName = 0;
inline constexpr size_t kDescType = 11;
inline constexpr size_t kDescDisplacement = 12;
inline constexpr size_t kDescLength = 16;
inline constexpr size_t kDescDecimals = 17;
inline constexpr size_t kDescFlags = 18;
inline constexpr size_t kDescAutoIncNext = 19;
inline constexpr size_t kDescAutoIncStep = 23;
inline constexpr uint8_t kFieldSystem = 0x01;
inline constexpr uint8_t kFieldNullable = 0x02;
inline constexpr uint8_t kFieldBinary = 0x04;
inline constexpr uint8_t kFieldAutoInc = 0x08;

inline constexpr uint8_t kLive = 0x20;
inline constexpr uint8_t kDeleted = 0x2A;

// Memo file (.fpt): 512-byte header, next free block (BE) at 0, block size (BE) at 6.
inline constexpr size_t kMemoHeaderSize = 512;
inline constexpr size_t kMemoBlockHeader = 8;
inline constexpr uint16_t kDefaultBlockSize = 64;
inline constexpr uint32_t kMemoTypePicture = 0;
inline constexpr uint32_t kMemoTypeText = 1;
inline constexpr uint32_t kMemoTypeObject = 2;
// dBase III memo files (.dbt): 512-byte blocks, text ends at 0x1A.
inline constexpr size_t kDbtBlockSize = 512;

inline constexpr const char* kNullFlagsName = "_NullFlags";

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t Le64(const uint8_t* p) { return uint64_t(Le32(p)) | (uint64_t(Le32(p + 4)) << 32); }
inline uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = v & 0xFF;
    p[1] = v >> 8;
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xFF;
}
inline void PutLe64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = (v >> (8 * i)) & 0xFF;
}
inline void PutBe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * (3 - i))) & 0xFF;
}
inline void PutBe16(uint8_t* p, uint16_t v) {
    p[0] = v >> 8;
    p[1] = v & 0xFF;
}

}  // namespace engine::dbf::fmt
