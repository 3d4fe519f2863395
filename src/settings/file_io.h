// File services of the parameter store: the stamp by which a change made by another program
// is noticed, whole-file reads, and writes that never leave half a file behind (the new
// content is written beside the file and renamed into place). Failures throw engine::Error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace settings {

// What identifies one state of a file: its last-modified time to the second and its
// permission bits.
struct FileStamp {
    int64_t modifiedSeconds = 0;
    uint32_t attributes = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of a file, or nothing when it does not exist (or cannot be examined).
std::optional<FileStamp> ReadStamp(const std::string& file);

// True when the file exists (as a file or a link to one).
bool FileExists(const std::string& file);

// The whole file as bytes. Throws engine::Error (kFileAccess) when it cannot be read.
std::string ReadWholeFile(const std::string& file);

// Replaces the file's content with bytes: writes a new file beside it, flushes it, gives it the
// permission bits of the file it replaces, and renames it into place. A link is followed, so
// the file it names is replaced. Throws engine::Error (kFileAccess); the old file is then intact.
void WriteFileAtomically(const std::string& file, const std::string& bytes);

// Renames file to target, replacing target. Throws engine::Error (kFileAccess).
void MoveFile(const std::string& file, const std::string& target);

// The folder of the running program.
std::string ProgramFolder();

}  // namespace settings
