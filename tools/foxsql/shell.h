// The foxsql shell: opens a database (a .dbc container or a folder of free tables) and runs
// statement texts on one connection, printing SELECT results as an aligned table or as JSON
// lines, and errors as one line "Error <number>: <description>".
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "engine/api/connection.h"

namespace foxsql {

struct Options {
    bool json = false;
};

class Shell {
public:
    // Throws engine::Error when the database cannot be opened.
    Shell(const std::string& dataPath, Options options);

    // Runs one text (one or more statements separated by ";") and prints its result to out;
    // on failure prints the error line to err and returns false.
    bool Run(const std::string& text, std::ostream& out, std::ostream& err);
    // Shell commands of the interactive prompt (".tables", ".help"); false when text is none.
    bool Command(const std::string& text, std::ostream& out);

private:
    Options m_options;
    engine::api::Connection m_connection;
};

// "Error <number>: <description>"
std::string ErrorLine(long number, const std::string& description);

}  // namespace foxsql
