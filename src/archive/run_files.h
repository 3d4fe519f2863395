// File steps of the runs that move patients between the practice and the archive, with the
// durability the runs rely on: a file is deleted only as an unforced delete would (a
// read-only file is refused), a notes file is given its second place by a hard link where the
// file system allows (else copied), and that place is made durable (a copy's bytes, then the
// folder's entries) before the run counts on it; and the guard that defers a connection's
// flushing while a run commits in groups. The calls go through the engine's file layer
// (engine/dbf/file_system.h), so the fault tests reach them. Qt-free; POSIX.
#pragma once

#include <string>

#include "engine/api/connection.h"

namespace archive {

bool FileExists(const std::string& path);

// Gives the file source the second name target: a hard link, one call that neither makes a
// file nor copies a byte. Where no link can be made (target names another file already, the
// folders are on different file systems, the file system has no links or refuses this one)
// source is copied over target instead. Nothing is done when target names source already (a
// link made by an earlier run that did not finish). Returns true when the bytes were copied (a
// new file whose data must be synced). Throws (std::filesystem::filesystem_error) when the copy
// fails.
bool LinkOrCopy(const std::string& source, const std::string& target);

// Removes target when it is another name of source (a link LinkOrCopy made): the file lives on
// under source. Returns whether it did.
bool RemoveLink(const std::string& source, const std::string& target);

// Throws engine::Error (err::kFileAccess) when file is read-only, as an unforced delete refuses it.
void CheckDeletable(const std::string& file);

// Deletes file the way an unforced delete does; throws as CheckDeletable.
void DeleteUnforced(const std::string& file);

// Makes a file, or a folder's entries, durable. Throws engine::Error (err::kFileAccess:
// "Cannot flush file '...': reason.") when the system refuses.
void SyncPath(const std::string& path, bool folder);

// Defers a connection's flushing for the life of the guard; the run flushes at its commits
// and the guard once more at its end (a failure there is left to the run's own checks).
class DeferredFlush {
public:
    explicit DeferredFlush(engine::api::Connection& connection)
        : m_connection(connection), m_was(connection.DeferredFlush()) {
        m_connection.SetDeferredFlush(true);
    }
    ~DeferredFlush() {
        try {
            if (m_connection.State() == 1) m_connection.Flush();
        } catch (const std::exception&) {
        }
        m_connection.SetDeferredFlush(m_was);
    }
    DeferredFlush(const DeferredFlush&) = delete;
    DeferredFlush& operator=(const DeferredFlush&) = delete;

private:
    engine::api::Connection& m_connection;
    bool m_was;
};

}  // namespace archive
