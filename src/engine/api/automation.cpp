#include "engine/api/automation.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "engine/ascii_case.h"
#include "engine/dbf/file_system.h"
#include "engine/error.h"

namespace engine::api {

namespace fs = std::filesystem;

namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

std::string Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

[[noreturn]] void ThrowSyntax(const std::string& command) {
    throw Error(engine::err::kSyntax, "Syntax error in command '" + command + "'.");
}

// Splits a command into blank-separated words; a word in double quotes may hold blanks.
std::vector<Token> Tokenize(const std::string& command) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < command.size()) {
        if (std::isspace(static_cast<unsigned char>(command[i]))) {
            ++i;
            continue;
        }
        if (command[i] == '"') {
            const size_t end = command.find('"', i + 1);
            if (end == std::string::npos) ThrowSyntax(command);
            tokens.push_back({command.substr(i + 1, end - i - 1), true});
            i = end + 1;
            continue;
        }
        size_t end = i;
        while (end < command.size() && !std::isspace(static_cast<unsigned char>(command[end]))) ++end;
        tokens.push_back({command.substr(i, end - i), false});
        i = end;
    }
    return tokens;
}

// A keyword matches in any case, and cut to four letters or more as FoxPro allows.
bool Is(const Token& token, std::string_view keyword) {
    if (token.quoted) return false;
    const std::string word = AsciiUpper(token.text);
    if (word == keyword) return true;
    return word.size() >= 4 && keyword.substr(0, word.size()) == word;
}

std::string DisplayName(const fs::path& path) { return path.filename().string(); }

}  // namespace

FoxApplication::FoxApplication() {
    std::error_code ec;
    m_folder = fs::current_path(ec);
    if (ec) m_folder = ".";
}

FoxApplication::~FoxApplication() = default;

void FoxApplication::DoCmd(const std::string& command) {
    const std::string text = Trim(command);
    const std::vector<Token> tokens = Tokenize(text);
    if (tokens.empty()) ThrowSyntax(command);
    const Token& verb = tokens[0];
    const size_t count = tokens.size();

    if (!verb.quoted && (AsciiUpper(verb.text) == "CHDIR" || AsciiUpper(verb.text) == "CD")) {
        // The rest of the line is the path, so an unquoted path may hold blanks.
        std::string argument = Trim(std::string_view(text).substr(verb.text.size()));
        if (count >= 2 && tokens[1].quoted) {
            if (count > 2) ThrowSyntax(command);
            argument = tokens[1].text;
        }
        ChangeFolder(argument);
    } else if (Is(verb, "OPEN")) {
        if (count < 3 || !Is(tokens[1], "DATABASE") || count > 3) ThrowSyntax(command);
        OpenDatabase(tokens[2].text);
    } else if (Is(verb, "PACK")) {
        if (count == 1) {
            PackTable();
        } else if (count == 2 && Is(tokens[1], "DATABASE")) {
            PackDatabase();
        } else {
            ThrowSyntax(command);
        }
    } else if (Is(verb, "CLOSE")) {
        if (count != 2 || !Is(tokens[1], "ALL")) ThrowSyntax(command);
        CloseAll();
    } else if (Is(verb, "SET") && count >= 2 && Is(tokens[1], "EXCLUSIVE")) {
        if (count != 3) ThrowSyntax(command);
        if (Is(tokens[2], "ON")) m_exclusive = true;
        else if (Is(tokens[2], "OFF")) m_exclusive = false;
        else ThrowSyntax(command);
    } else if (Is(verb, "USE")) {
        if (count == 1) {
            m_table.reset();
        } else if (count == 2) {
            Use(tokens[1].text, DefaultMode());
        } else if (count == 3 && Is(tokens[2], "EXCLUSIVE")) {
            Use(tokens[1].text, OpenMode::Exclusive);
        } else if (count == 3 && Is(tokens[2], "SHARED")) {
            Use(tokens[1].text, OpenMode::Shared);
        } else {
            ThrowSyntax(command);
        }
    } else if (Is(verb, "DELETE")) {
        if (count != 2 || !Is(tokens[1], "ALL")) ThrowSyntax(command);
        DeleteAll();
    } else {
        throw Error(err::kUnrecognizedCommand, "Unrecognized command verb: '" + text + "'.");
    }
}

void FoxApplication::ChangeFolder(const std::string& argument) {
    if (argument.empty()) throw Error(err::kInvalidPath, "Invalid path or file name: ChDir needs a folder.");
    fs::path folder(argument);
    if (folder.is_relative()) folder = m_folder / folder;
    if (!dbf::PathIsFolder(folder)) throw Error(err::kInvalidPath, "Invalid path or file name: '" + argument + "'.");
    m_folder = folder.lexically_normal();
}

// The file name of the current folder (or relative to it), with extension added when the name
// has none, matched without regard to case.
fs::path FoxApplication::Resolve(const std::string& name, const char* extension) const {
    fs::path path(name);
    if (!path.has_extension()) path += extension;
    if (path.is_relative()) path = m_folder / path;
    const fs::path found = FindFileNoCase(path.parent_path(), path.filename().string());
    if (found.empty()) throw Error(engine::err::kFileNotFound, "File '" + name + "' does not exist.");
    return found;
}

void FoxApplication::OpenDatabase(const std::string& name) {
    const fs::path path = Resolve(name, ".dbc");
    if (m_database && dbf::SameFile(path, m_database->Path())) return;  // already the open one
    auto database = Container::Open(path, DefaultMode());
    m_database = std::move(database);
}

void FoxApplication::PackDatabase() {
    if (!m_database)
        throw Error(err::kNoDatabase, "No database is open or set as the current database: PACK DATABASE.");
    m_database->Pack();
}

void FoxApplication::Use(const std::string& name, OpenMode mode) {
    // The work area is emptied first, so the same table can be taken again in another mode.
    m_table.reset();
    fs::path path;
    if (m_database && fs::path(name).filename().string() == name) {
        if (auto table = m_database->FindTable(name)) path = table->file;
    }
    if (path.empty()) path = Resolve(name, ".dbf");
    m_table = Table::Open(path, mode);
}

void FoxApplication::PackTable() {
    if (!m_table) throw Error(err::kNoTableInUse, "No table is open in the current work area: PACK.");
    if (m_table->Mode() != OpenMode::Exclusive)
        throw Error(err::kMustBeExclusive,
                    "File must be opened exclusively: PACK '" + DisplayName(m_table->Path()) + "'.");
    m_table->Pack();
}

void FoxApplication::DeleteAll() {
    if (!m_table) throw Error(err::kNoTableInUse, "No table is open in the current work area: DELETE ALL.");
    m_table->DeleteAll();
    m_table->Flush();
}

void FoxApplication::CloseAll() {
    m_table.reset();
    m_database.reset();
}

}  // namespace engine::api
