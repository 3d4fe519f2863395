// The registry on Linux: each predefined root is one .reg text file (see reg_text.h).
// HKEY_CURRENT_USER is $XDG_CONFIG_HOME/corvane/user.reg (~/.config/corvane/user.reg when
// unset); HKEY_LOCAL_MACHINE is /etc/corvane/system.reg and HKEY_CLASSES_ROOT classes.reg beside
// it; CORVANE_REGISTRY_DIR names another folder for those two (tests, private installs).
//
// A missing file is an empty registry. Every change re-reads the file under an exclusive lock
// on "<file>.lock", changes it and replaces it atomically (temporary file + rename), so writers
// in several processes lose nothing. A damaged file is set aside as "<file>.bak" (or .bak1, ...)
// and reported through the user-interface seam; what could be read of it is kept.
//
// Calls answer Win32 result codes so callers can treat them as the registry functions' own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/reg_text.h"

namespace common::reg {

inline constexpr long kOk = 0;
inline constexpr long kFileNotFound = 2;   // ERROR_FILE_NOT_FOUND: no such key or value
inline constexpr long kAccessDenied = 5;   // ERROR_ACCESS_DENIED: the file cannot be written
inline constexpr long kInvalidHandle = 6;  // ERROR_INVALID_HANDLE: not a predefined root

// "HKEY_CURRENT_USER" etc.; empty for anything but the three predefined roots.
std::string RootName(uint32_t root);
// The file that holds root; empty for an unknown root.
std::string FileOfRoot(uint32_t root);

// The values of key (path below root) in stored order.
long ReadKey(uint32_t root, const std::string& key, Key& out);
long ReadValue(uint32_t root, const std::string& key, const std::string& name, Value& out);
// Names of the keys directly below key, in stored order.
long ReadSubKeys(uint32_t root, const std::string& key, std::vector<std::string>& out);
long KeyExists(uint32_t root, const std::string& key);

long CreateKey(uint32_t root, const std::string& key);
long SetValue(uint32_t root, const std::string& key, const std::string& name, const Value& value);
long DeleteValue(uint32_t root, const std::string& key, const std::string& name);
// Deletes key; with withSubtree false a key that has keys below it is refused (access denied,
// as RegDeleteKey answers).
long DeleteKey(uint32_t root, const std::string& key, bool withSubtree);

// Merges a .reg file (a Windows export as it is) into the registry: each section goes to the
// file of its root; sections of other roots are skipped. False with a reason on failure.
bool ImportRegFile(const std::string& regFile, std::string& error);

}  // namespace common::reg
