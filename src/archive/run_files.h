// File steps of the runs that move patients between the practice and the archive, with the
// durability the runs rely on: a file is deleted only as an unforced delete would (a
// read-only file is refused), and a copy is made durable (the file, then its folder's
// entries) before the run counts on it; and the guard that defers a connection's flushing
// while a run commits in groups. Qt-free; POSIX.
#pragma once

#include <string>

#include "engine/api/connection.h"

namespace archive {

bool FileExists(const std::string& path);

// Throws engine::Error (err::kFileAccess) when file is read-only, as an unforced delete refuses it.
void CheckDeletable(const std::string& file);

// Deletes file the way an unforced delete does; throws as CheckDeletable.
void DeleteUnforced(const std::string& file);

// Makes a file, or a folder's entries, durable. Throws engine::Error (err::kFileAccess) naming
// it and the system's reason when the system refuses.
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
