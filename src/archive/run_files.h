// File steps of the runs that move patients between the practice and the archive, with the
// durability the runs rely on: a file is deleted only as an unforced delete would (a
// read-only file is refused), and a copy is made durable (the file, then its folder's
// entries) before the run counts on it. Qt-free; POSIX.
#pragma once

#include <string>

namespace archive {

bool FileExists(const std::string& path);

// Throws engine::Error (err::kFileAccess) when file is read-only, as an unforced delete refuses it.
void CheckDeletable(const std::string& file);

// Deletes file the way an unforced delete does; throws as CheckDeletable.
void DeleteUnforced(const std::string& file);

// Makes a file, or a folder's entries, durable. Throws engine::Error (err::kFileAccess) naming
// it and the system's reason when the system refuses.
void SyncPath(const std::string& path, bool folder);

}  // namespace archive
