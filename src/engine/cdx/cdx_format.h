// Byte layout of a Visual FoxPro compound index (.cdx, and a container's .dcx): 512-byte pages,
// 1024-byte headers for the tag directory and for each tag, interior nodes with full keys and
// leaf nodes with compressed keys. Also the error numbers the index code raises (from error.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/error.h"

namespace engine::cdx {

inline constexpr size_t kPageSize = 512;
inline constexpr size_t kHeaderSize = 1024;

// Header offsets (the same for the directory and for each tag).
inline constexpr size_t kHdrRoot = 0;
inline constexpr size_t kHdrFreeList = 4;
inline constexpr size_t kHdrKeyLength = 12;
inline constexpr size_t kHdrOptions = 14;
inline constexpr size_t kHdrSignature = 15;
inline constexpr size_t kHdrDescending = 502;
inline constexpr size_t kHdrForOffset = 504;
inline constexpr size_t kHdrForLength = 506;
inline constexpr size_t kHdrKeyOffset = 508;
inline constexpr size_t kHdrKeyExprLength = 510;
inline constexpr size_t kHdrPool = 512;
inline constexpr size_t kPoolSize = 512;

// Options byte.
inline constexpr uint8_t kOptUnique = 0x01;
inline constexpr uint8_t kOptNullable = 0x02;  // keys carry a null-marker prefix byte
inline constexpr uint8_t kOptCandidate = 0x04;
inline constexpr uint8_t kOptHasFor = 0x08;
inline constexpr uint8_t kOptCompact = 0x20;
inline constexpr uint8_t kOptCompound = 0x40;
inline constexpr uint8_t kOptStructural = 0x80;
inline constexpr uint8_t kDirectoryOptions = kOptStructural | kOptCompound | kOptCompact;

// Node header.
inline constexpr uint16_t kAttrRoot = 1;
inline constexpr uint16_t kAttrLeaf = 2;
inline constexpr size_t kNodeAttr = 0;
inline constexpr size_t kNodeCount = 2;
inline constexpr size_t kNodeLeft = 4;
inline constexpr size_t kNodeRight = 8;
inline constexpr size_t kInteriorData = 12;
inline constexpr size_t kInteriorSpace = 500;
// Leaf header continuation.
inline constexpr size_t kLeafFree = 12;
inline constexpr size_t kLeafRecMask = 14;
inline constexpr size_t kLeafDupMask = 18;
inline constexpr size_t kLeafTrailMask = 19;
inline constexpr size_t kLeafRecBits = 20;
inline constexpr size_t kLeafDupBits = 21;
inline constexpr size_t kLeafTrailBits = 22;
inline constexpr size_t kLeafInfoBytes = 23;
inline constexpr size_t kLeafData = 24;
inline constexpr size_t kLeafSpace = kPageSize - kLeafData;  // 488

inline constexpr uint32_t kNone = 0xFFFFFFFFu;  // sibling pointer "none" (-1)
inline constexpr size_t kMaxKeyLength = 240;
inline constexpr size_t kTagNameLength = 10;

// Key prefix of a tag with kOptNullable: a value that is not null.
inline constexpr uint8_t kNotNullPrefix = 0x80;

// The error numbers the index code raises, under the names it uses.
inline constexpr long kCorruptIndex = engine::err::kCorruptIndex;
inline constexpr long kUniqueViolated = engine::err::kUniqueViolated;

}  // namespace engine::cdx
