// The running program and other processes: where the program itself lives, who runs it,
// and starting a program and waiting for it to end. POSIX; never throws.
#pragma once

#include <string>
#include <vector>

namespace common {

// Full path of the running program's executable (from /proc/self/exe); empty when unknown.
std::string ProgramPath();

// The folder of the running program, without a trailing "/"; empty when unknown.
std::string ProgramFolder();

// The login name of the user the program runs as; empty when the system cannot tell.
std::string GetLoginName();

// Starts commandLine as a new process and waits, without a time limit, until it has ended.
// The command line is split at blanks and tabs (quotes have no meaning); its first word is
// the program: a name with a "/" is used as it stands, a bare name is looked for first in
// the running program's own folder and then along PATH. The child inherits the caller's
// environment, current folder and open handles. True when the process was started and has
// ended (whatever its exit status); false when it could not be started.
bool RunAndWait(const std::string& commandLine);

// The same with the arguments already apart (argv[0] the program): an argument with blanks in
// it, such as a path, reaches the child whole.
bool RunAndWait(const std::vector<std::string>& arguments);

}  // namespace common
