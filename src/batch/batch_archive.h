// Batch archiving from the command line, for a practice that archives on a schedule:
//   Archive --batch DATABASE.dbc (--patients LIST | --where CONDITION) [--password-file FILE]
//           [--dry-run]
// The same run as the Archive button (archive_run.h: password rule, archive creation through
// a -create child, merge, order, log lines, journal, group commit), driven by the terminal's
// face (console_face.h) with no display and no Qt at all; --dry-run prints the pre-flight
// sheet instead and writes nothing. Also the unattended jobs of the
// command line (-create, -pack) when there is no display to show their balloon on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_run.h"

namespace engine::api {
class Connection;
}

namespace batch {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitStopped = 3;

// Runs batch archiving; args are the program's arguments without the program name. The
// summary goes to standard output, progress and messages to standard error. Returns the exit
// status.
int RunBatch(const std::vector<std::string>& args);

// The run itself, once the command line is read: archives patients (ascending patient
// numbers) of the practice container databasePath, connected as practice, with the delete
// password given (or asked for on the terminal), progress on standard error.
app::RunSummary ArchivePatients(const std::string& databasePath, engine::api::Connection& practice,
                                std::vector<int32_t> patients, std::optional<std::string> password);

// --dry-run of an archive run or a restore: the delete password is checked as the run checks
// it (refused: refused() says so and the status is kExitError), then the pre-flight sheet
// sheetText() counts goes to standard output. Nothing is written, not even the run lock or the
// run record.
int PrintDryRun(engine::api::Connection& practice, std::optional<std::string> password,
                const std::function<void()>& refused, const std::function<std::string()>& sheetText);

// Runs the -create (create true) or -pack job for value with messages on standard error, as
// the window's start-up would run it; debugBits as the -D and -T switches give them.
int RunConsoleJob(bool create, const std::string& value, int debugBits);

// True when the program has a display to show windows on (DISPLAY, WAYLAND_DISPLAY or
// QT_QPA_PLATFORM set).
bool HasDisplay();

}  // namespace batch
