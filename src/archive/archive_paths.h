// Where a practice's archive lives, and what is wrong with a folder the archive needs: the one
// place that knows the archive is the data folder's "Archive" folder. A folder copied from
// Windows may be ARCHIVE or archive; every part of the program (start-up pack, the Archive
// button, -create, the batch run) finds it through ArchiveFolderOf so that none makes a
// second archive beside an existing one. Qt-free; the file system only.
//
// Where they are called: the start-up pack and -create (frm_archive_load.cpp, archive
// creation) and the archive run (its archive folder, before taking the run lock) use
// ArchiveFolderOf / ArchiveFolderOfDatabase instead of joining "/Archive" by hand; the run
// decides whether to start -create with ArchiveNeedsCreating (the folder may exist already,
// made by the run lock), and when the container is still missing afterwards it ends with
// ArchiveNotCreatedText.
#pragma once

#include <optional>
#include <string>

namespace archive {

inline constexpr const char* kArchiveFolderName = "Archive";
inline constexpr const char* kArchiveContainer = "Corvane.dbc";

// The archive folder of the practice data folder dataFolder (with or without a trailing
// separator; "" is the current folder): its existing sub-folder named "Archive" in any case
// (an exact "Archive" wins), else dataFolder + "/Archive", where one is to be made.
std::string ArchiveFolderOf(const std::string& dataFolder);

// The same for the practice container's full path (the window's DatabasePath).
std::string ArchiveFolderOfDatabase(const std::string& databasePath);

// True when archiveFolder holds no archive container (Corvane.dbc in any case), so the
// archive must be created before a run can use it.
bool ArchiveNeedsCreating(const std::string& archiveFolder);

// Makes archiveFolder, and its Notes folder with withNotes, when missing (never the data
// folder above them: a missing data folder is an error). Throws engine::Error
// (err::kFileAccess) naming the folder and the system's reason ("Permission denied", "No such
// file or directory") when it cannot.
void MakeArchiveFolder(const std::string& archiveFolder, bool withNotes = true);

// What keeps folder from being used: none when it exists as a folder and may be read (and
// written, with write), else "'<folder>': <the system's reason>" (the folder missing, a file,
// read-only, unreadable).
std::optional<std::string> FolderProblem(const std::string& folder, bool write);

// The message for an archive that is still missing after its creation ran: names the first
// folder problem found (the data folder, then the archive folder) with the system's reason.
std::string ArchiveNotCreatedText(const std::string& dataFolder, const std::string& archiveFolder);

}  // namespace archive
