// Path text helpers shared by every layer. Paths use "/" on Linux; paths stored by the
// practice's Windows programs may still hold "\", so routines that read a path accept both.
// Pure text functions: they never touch the file system and never throw.
#pragma once

#include <string>

namespace common {

// Path followed by "/" unless it already ends in "/" or "\" (an empty path gives "/").
std::string AddBackslash(const std::string& path);

// Path without one trailing "/" or "\"; only one separator is removed.
std::string RemoveBackslash(const std::string& path);

// The text up to and including the last "/" or "\"; empty when there is neither.
std::string FolderOf(const std::string& fullName);

// Every character of charSet (UTF-8 sequences count as one character) replaced in text by
// replacement, which may be empty.
std::string ReplaceChars(const std::string& text, const std::string& charSet, const std::string& replacement);

}  // namespace common
