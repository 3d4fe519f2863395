// The program's own command line: main() stores its arguments once, and GetCommandArgs
// hands them out the way the suite's programs always have: at most MaxArgs arguments,
// element 0 empty. A command line given as one text is split at blanks and tabs, quotes
// having no meaning; arguments given by the system (argv) were split already by whoever
// started the program, so one passed whole (a path with a blank in it) stays one argument.
// Single-threaded use (start-up).
#pragma once

#include <string>
#include <vector>

namespace common {

// Keeps the program's arguments (argv[1] to argv[argc - 1]). Called once by main(); tests
// call either form to give the program a command line.
void SetCommandLine(int argc, const char* const* argv);
void SetCommandLine(const std::string& commandLine);

// The command line kept by SetCommandLine, arguments joined by blanks (empty until then).
const std::string& CommandLine();

// Splits commandLine into arguments: blanks and tabs separate them, any other character
// belongs to the current one. Splitting stops when one more argument would start while
// maxArgs are already stored. Element 0 is always empty; the arguments follow from index 1.
std::vector<std::string> SplitCommandArgs(const std::string& commandLine, int maxArgs = 10);

// The program's own arguments: SplitCommandArgs over a command line given as text; for
// arguments given as argv, each one with its blanks and tabs at both ends taken off, blank
// ones skipped, at most maxArgs.
std::vector<std::string> GetCommandArgs(int maxArgs = 10);

}  // namespace common
