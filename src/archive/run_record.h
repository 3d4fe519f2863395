// The run record: every archive run (from the window or --batch, also one refused by the run
// lock or ended by an error, once it got past the password) appends one row to the table
// ArchLog in the archive database, made on first use and entered in the archive's container
// so foxsql and other readers find it by name. A row says when the run started and ended,
// who ran it on which workstation, how it was started, how many patients were asked for,
// archived and skipped, the rows copied per table (a memo, one "Table rows" line per table)
// and how it ended. Writing the record never stops or fails a run: when it cannot be written
// (a read-only archive, no container yet) the reason goes to the log instead. Qt-free.
//
// Fields of ArchLog: Started T, Ended T, Login C(40), Host C(64), StartedBy C(10) ("window" or
// "batch"), Requested I, Archived I, Skipped I, RowsCopied M, Outcome M, Action C(10)
// ("archive" or "restore"; for a restore Archived counts the patients restored). A table made
// before Action existed keeps its fields; a restore's Outcome then begins with "Restore: ".
//
// Where it is called: the run fills a RunRecord from RunRecord::Begin("window"|"batch") when
// it starts (after the password check), counts into it as patients are archived or skipped
// and tables copied, and at its very end (completed, stopped, failed or refused) sets
// outcome (the closing line's text, or the refusal or error message) and calls
// WriteRunRecord(archive folder, record) once, after the run lock's work and before releasing
// the lock.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "archive/preflight.h"

namespace engine::api {
class Connection;
}  // namespace engine::api

namespace archive {

inline constexpr const char* kRunLogTable = "ArchLog";

struct RunRecord {
    std::chrono::system_clock::time_point started{};
    std::chrono::system_clock::time_point ended{};  // set by WriteRunRecord when left empty
    std::string login;
    std::string host;
    std::string startedBy;           // "window" or "batch"
    std::string action = "archive";  // or "restore"
    long requested = 0;
    long archived = 0;
    long skipped = 0;
    std::vector<TableRows> rowsCopied;  // the eight patient tables, in copying order
    std::string outcome;

    // A record started now by this login on this host; rowsCopied lists the eight tables at 0.
    static RunRecord Begin(const std::string& startedBy);
    // Adds rows to the count of table (one of the eight).
    void CountRows(const std::string& table, long rows);
    // The memo text: "IdentFil 3\r\nAppointment 12\r\n..." one line per table.
    std::string RowsCopiedText() const;
};

// Appends record to ArchLog in the archive of archiveFolder, creating the table when the
// archive has none. True when the row was written; otherwise false and the reason is written
// to the log (module "ArchLog", procedure "WriteRunRecord"). Never throws.
bool WriteRunRecord(const std::string& archiveFolder, const RunRecord& record);

// The same on an open archive connection.
bool WriteRunRecord(engine::api::Connection& archive, const RunRecord& record);

}  // namespace archive
