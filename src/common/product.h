// product: the program's diagnostic log and error reporting, used from every layer.
// WriteLog composes one line from module, procedure and text and, by the bits of DebugFlags,
// shows it in a "Corvane Debug" box (bit 1) and/or appends it to LogFile (bit 0).
// ReportError shows a report and always records it in the log file. Neither ever throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace product {

// Program-wide switch word: bit 0 appends to the log file, bit 1 shows every line in a box.
extern int32_t DebugFlags;
// Full path of the log file: the application folder followed by "/Corvane.log".
extern std::string LogFile;

using Opt = std::optional<std::string>;

// The text of a log line: module, "/" procedure, ":  " text (or "/" text without a procedure).
std::string ComposeLogText(const Opt& module, const Opt& procedure, const Opt& text);

// Writes one diagnostic line as DebugFlags says. Never throws.
void WriteLog(const Opt& module = std::nullopt, const Opt& procedure = std::nullopt, const Opt& text = std::nullopt);

// Shows module "/" procedure ":  " message in an exclamation box titled "Archive" (unless
// show is false) and appends it to the log file whether or not logging is on. Never throws.
void ReportError(const std::string& module, const std::string& procedure, const std::string& message, bool show = true);

// "Error #: " number ", Descr: " description: the one pattern for error reports.
std::string ErrorText(long number, const std::string& description);

// The current local date and time in the US general date form, e.g. "12/4/2026 7:35:38 PM".
std::string GeneralDateNow();

}  // namespace product
