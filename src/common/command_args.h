// The program's own command line: main() stores its arguments once, and GetCommandArgs
// splits them the way the suite's programs always have: at blanks and tabs, quotes having
// no meaning, at most MaxArgs arguments. Single-threaded use (start-up).
#pragma once

#include <string>
#include <vector>

namespace common {

// Keeps the program's arguments (argv[1] to argv[argc - 1]) as one command line, joined by
// blanks. Called once by main(); tests call it to give the program a command line.
void SetCommandLine(int argc, const char* const* argv);
void SetCommandLine(const std::string& commandLine);

// The command line kept by SetCommandLine (empty until then).
const std::string& CommandLine();

// Splits commandLine into arguments: blanks and tabs separate them, any other character
// belongs to the current one. Splitting stops when one more argument would start while
// maxArgs are already stored. Element 0 is always empty; the arguments follow from index 1.
std::vector<std::string> SplitCommandArgs(const std::string& commandLine, int maxArgs = 10);

// SplitCommandArgs over the program's own command line.
std::vector<std::string> GetCommandArgs(int maxArgs = 10);

}  // namespace common
