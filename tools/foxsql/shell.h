// The foxsql shell: opens a database (a .dbc container or a folder of free tables) and runs
// statement texts and dot-commands on one connection. Each statement of a text prints its own
// result in the current output mode; errors print one line "Error <number>: <description>".
#pragma once

#include <fstream>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "engine/api/connection.h"
#include "shell_output.h"

namespace foxsql {

struct Options {
    Mode mode = Mode::kTable;
    bool headers = true;
    bool bail = false;  // stop at the first error
    bool timer = false;
};

class Shell {
public:
    // Throws engine::Error when the database cannot be opened.
    Shell(const std::string& dataPath, Options options, std::ostream& out, std::ostream& err);

    // Runs a text of one or more statements separated by ";": every statement is checked
    // before the first runs (a text with an error changes nothing), then each runs and prints
    // its result. Returns false after an error.
    bool Run(const std::string& text);
    // A dot-command line (".schema IdentFil"). Returns false after an error; sets Quit().
    bool Command(const std::string& line);
    bool Quit() const { return m_quit; }
    const Options& GetOptions() const { return m_options; }
    // Runs the lines of a script (.read, or standard input that is no terminal): statements
    // end with ";" or the end of the input, dot-commands take one line. Returns false when
    // anything failed (with bail: stops there).
    bool RunScript(std::istream& in);
    // Runs each statement of text on its own, as lines typed or read from a script are.
    bool RunEach(const std::string& text);

private:
    std::ostream& Out() { return m_file ? *m_file : m_out; }
    bool Fail(long number, const std::string& text);
    bool RunOne(const std::string& statement);
    bool Tables();
    bool Schema(const std::vector<std::string>& names, bool indexesOnly);
    std::vector<std::string> TableNames();

    Options m_options;
    std::string m_dataPath;
    engine::api::Connection m_connection;
    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<std::ofstream> m_file;  // .output FILE
    bool m_quit = false;
    int m_readDepth = 0;
};

// "Error <number>: <description>"
std::string ErrorLine(long number, const std::string& description);

// Splits a text at the ";" that end statements (not those in strings, brackets or comments);
// blank pieces are left out. Throws engine::Error for an unterminated string.
std::vector<std::string> SplitStatements(const std::string& text);
// True when text ends a statement: its last token, comments aside, is ";".
bool EndsStatement(const std::string& text);

}  // namespace foxsql
