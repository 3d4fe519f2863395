// foxsql [OPTIONS] DATAPATH [STATEMENT | .COMMAND [ARG...]]...: a SQL shell over FoxPro data.
// DATAPATH is a database container (.dbc) or a folder of tables. With statements or commands
// as arguments, runs each in order on one connection; without, reads them from standard input:
// at a prompt (with line editing and history when built with libedit) or as a script. Ends
// with status 1 when any statement or command failed, 2 for a bad command line.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "engine/error.h"
#include "shell.h"

#ifdef FOXSQL_HAVE_EDITLINE
#include <editline/readline.h>
#endif

#ifndef FOXSQL_VERSION
#define FOXSQL_VERSION "0"
#endif

namespace {

const char kUsage[] =
    "usage: foxsql [OPTIONS] DATAPATH [STATEMENT | .COMMAND [ARG...]]...\n"
    "  DATAPATH   a database container (.dbc) or a folder of .dbf tables\n"
    "  STATEMENT  SQL text; several statements may be separated by \";\"\n"
    "  .COMMAND   a shell command such as .schema IdentFil (see .help)\n"
    "Without statements, reads statements (ended by \";\") and commands from standard input.\n"
    "  --json      print rows as JSON objects, one per line\n"
    "  --csv       print rows as CSV with a header line\n"
    "  --mode M    table, json, csv, line or markdown\n"
    "  --noheader  no column names (table, csv, markdown)\n"
    "  --bail      stop at the first error\n"
    "  --version   print the version and end\n"
    "  --help      print this text and end\n";

bool ReadLine(const char* prompt, std::string& line) {
#ifdef FOXSQL_HAVE_EDITLINE
    char* text = readline(prompt);
    if (!text) return false;
    line = text;
    std::free(text);
    if (!line.empty()) add_history(line.c_str());
    return true;
#else
    std::cout << prompt << std::flush;
    return static_cast<bool>(std::getline(std::cin, line));
#endif
}

std::string HistoryFile() {
    const char* home = std::getenv("HOME");
    return home ? std::string(home) + "/.foxsql_history" : std::string();
}

// The prompt: statements run when a line ends them with ";"; a dot-command takes one line.
void Interactive(foxsql::Shell& shell) {
#ifdef FOXSQL_HAVE_EDITLINE
    const std::string history = HistoryFile();
    if (!history.empty()) read_history(history.c_str());
#endif
    std::string pending, line;
    while (!shell.Quit() && ReadLine(pending.empty() ? "foxsql> " : "   ...> ", line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (pending.empty()) {
            if (start == std::string::npos) continue;
            if (line[start] == '.') {
                shell.Command(line.substr(start));
                continue;
            }
        }
        pending += line + "\n";
        if (!foxsql::EndsStatement(pending)) continue;
        shell.RunEach(pending);
        pending.clear();
    }
    if (!pending.empty() && !shell.Quit()) shell.RunEach(pending);
#ifdef FOXSQL_HAVE_EDITLINE
    if (!history.empty()) write_history(history.c_str());
#endif
}

bool HasBlank(const std::string& s) { return s.find_first_of(" \t\r\n") != std::string::npos; }

}  // namespace

int main(int argc, char** argv) {
    foxsql::Options options;
    std::vector<std::string> args;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsDone || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            if (a == "-h") {
                std::cout << kUsage;
                return 0;
            }
            args.push_back(a);
            optionsDone = !args.empty();
            continue;
        }
        if (a == "--json") options.mode = foxsql::Mode::kJson;
        else if (a == "--csv") options.mode = foxsql::Mode::kCsv;
        else if (a == "--bail") options.bail = true;
        else if (a == "--noheader") options.headers = false;
        else if (a == "--mode" && i + 1 < argc && foxsql::ModeByName(argv[i + 1]))
            options.mode = *foxsql::ModeByName(argv[++i]);
        else if (a == "--version") {
            std::cout << "foxsql " << FOXSQL_VERSION << "\n";
            return 0;
        } else if (a == "--help") {
            std::cout << kUsage;
            return 0;
        } else {
            std::cerr << "foxsql: unknown option " << a << "\n" << kUsage;
            return 2;
        }
    }
    if (args.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    try {
        foxsql::Shell shell(args[0], options, std::cout, std::cerr);
        if (args.size() == 1) {
            if (isatty(STDIN_FILENO)) {
                Interactive(shell);
                return 0;
            }
            return shell.RunScript(std::cin) ? 0 : 1;
        }
        bool ok = true;
        for (size_t i = 1; i < args.size() && !shell.Quit(); ++i) {
            std::string text = args[i];
            if (!text.empty() && text[0] == '.') {
                // A command takes the arguments after it that are single words.
                while (!HasBlank(text) && i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '.' &&
                       !HasBlank(args[i + 1]))
                    text += " " + args[++i];
                ok = shell.Command(text) && ok;
            } else {
                ok = shell.Run(text) && ok;
            }
            if (!ok && shell.GetOptions().bail) break;
        }
        return ok ? 0 : 1;
    } catch (const engine::Error& e) {
        std::cerr << foxsql::ErrorLine(e.Number(), e.Description()) << std::endl;
        return 1;
    }
}
