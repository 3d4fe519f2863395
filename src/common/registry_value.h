// One read of a registry value, as the suite's installer leaves the install folder there on
// Windows; on Linux the value comes from the registry files (registry_store.h). When it cannot
// be read, callers go on with their next rule. Never throws.
#pragma once

#include <cstdint>
#include <string>

namespace common {

inline constexpr uint32_t kHkeyClassesRoot = 0x80000000u;
inline constexpr uint32_t kHkeyCurrentUser = 0x80000001u;
inline constexpr uint32_t kHkeyLocalMachine = 0x80000002u;

// Reads the value valueName of key subKey below root into value: a string as its text, a
// 32-bit number in decimal digits; a value of another type leaves value as it was. False, with
// value emptied, when the key or the value cannot be read or the value exceeds 1024 bytes.
bool ReadRegValue(uint32_t root, const std::string& subKey, const std::string& valueName, std::string& value);

}  // namespace common
