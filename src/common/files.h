// Folder creation and file attributes over the Linux file system, for every layer.
// Attribute values keep the bits of the files the practice's Windows programs wrote
// (kAttrReadOnly, kAttrHidden, ...); on Linux only the read-only bit has a meaning (see
// SetFileAttributes). None of these functions throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace common {

inline constexpr int32_t kAttrNormal = 0;
inline constexpr int32_t kAttrReadOnly = 1;
inline constexpr int32_t kAttrHidden = 2;
inline constexpr int32_t kAttrSystem = 4;
inline constexpr int32_t kAttrArchive = 32;

// Creates the folder name ("New Folder" when empty) inside parent. Any failure (the folder
// exists, parent is missing) is ignored.
void AddSubFolder(const std::string& parent, const std::string& name = {});

// Creates every missing folder of the chain path ("/a/b/c" creates b and c below an existing
// /a; a relative path starts in the current folder). True when the whole chain exists as
// folders afterwards.
bool MakePath(const std::string& path);

// Sets attributes on one file or folder. Read-only clears every write bit; without it the
// owner may write (other permission bits are kept). Hidden, system and archive have no
// Linux meaning and are ignored. False when the file is missing or the change fails.
bool SetFileAttributes(const std::string& file, int32_t attributes);

// SetFileAttributes on every file directly inside folder (not on sub-folders or what they
// hold). A failure on one file makes the result false; the others are still changed.
// False as well when the folder cannot be read.
bool SetFolderFileAttributes(const std::string& folder, int32_t attributes);

// The path of the entry named name inside folder, matched exactly first and then ignoring
// ASCII case (files copied from Windows may be CORVANE.XML or corvane.xml); none when absent.
std::optional<std::string> FindInFolder(const std::string& folder, const std::string& name);

}  // namespace common
