// foxsql [--json] DATAPATH [STATEMENT...]: a SQL shell over FoxPro data. DATAPATH is a
// database container (.dbc) or a folder of tables. With statements, runs each in order on one
// connection and ends with status 1 at the first that fails; without, reads statements at a
// prompt (with line editing and history when built with libedit).
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

namespace {

int Usage() {
    std::cerr << "usage: foxsql [--json] DATAPATH [STATEMENT...]\n"
                 "  DATAPATH   a database container (.dbc) or a folder of .dbf tables\n"
                 "  STATEMENT  SQL text; several statements may be separated by \";\"\n"
                 "  --json     print rows as JSON objects, one per line\n";
    return 2;
}

bool ReadLine(const char* prompt, std::string& line) {
#ifdef FOXSQL_HAVE_EDITLINE
    if (isatty(STDIN_FILENO)) {
        char* text = readline(prompt);
        if (!text) return false;
        line = text;
        std::free(text);
        if (!line.empty()) add_history(line.c_str());
        return true;
    }
#endif
    if (isatty(STDIN_FILENO)) std::cout << prompt << std::flush;
    return static_cast<bool>(std::getline(std::cin, line));
}

std::string HistoryFile() {
    const char* home = std::getenv("HOME");
    return home ? std::string(home) + "/.foxsql_history" : std::string();
}

int Interactive(foxsql::Shell& shell) {
#ifdef FOXSQL_HAVE_EDITLINE
    const std::string history = HistoryFile();
    if (!history.empty()) read_history(history.c_str());
#endif
    std::string line;
    while (ReadLine("foxsql> ", line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        line = line.substr(start);
        if (line == ".quit" || line == ".exit") break;
        if (line[0] == '.') {
            if (!shell.Command(line, std::cout)) std::cerr << "Unknown command " << line << " (try .help)\n";
            continue;
        }
        shell.Run(line, std::cout, std::cerr);
    }
#ifdef FOXSQL_HAVE_EDITLINE
    if (!history.empty()) write_history(history.c_str());
#endif
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    foxsql::Options options;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) options.json = true;
        else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return Usage();
        else args.emplace_back(argv[i]);
    }
    if (args.empty()) return Usage();
    try {
        foxsql::Shell shell(args[0], options);
        if (args.size() == 1) return Interactive(shell);
        for (size_t i = 1; i < args.size(); ++i) {
            if (!shell.Run(args[i], std::cout, std::cerr)) return 1;
        }
        return 0;
    } catch (const engine::Error& e) {
        std::cerr << foxsql::ErrorLine(e.Number(), e.Description()) << std::endl;
        return 1;
    }
}
