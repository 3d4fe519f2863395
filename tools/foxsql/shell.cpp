#include "shell.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <sstream>

#include "engine/api/recordset.h"
#include "engine/error.h"
#include "engine/sql/lexer.h"

namespace foxsql {
namespace {

bool EndsWithNoCase(const std::string& s, const std::string& end) {
    if (s.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - end.size() + i])) != end[i]) return false;
    }
    return true;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

bool Blank(const std::string& text) {
    try {
        return engine::sql::Tokenize(text).size() == 1;
    } catch (const engine::Error&) {
        return false;
    }
}

const char kHelp[] =
    "Statements (end each with \";\"; they may span lines):\n"
    "  SELECT [DISTINCT] [TOP n [PERCENT]] ... FROM t [alias] [[INNER|LEFT|RIGHT|FULL] JOIN u ON ...]\n"
    "         [WHERE ...] [GROUP BY ...] [HAVING ...] [UNION [ALL] SELECT ...] [ORDER BY ...]\n"
    "  INSERT INTO t [(fields)] VALUES (...) | SELECT ...;  UPDATE t SET f = v [WHERE ...]\n"
    "  DELETE FROM t [WHERE ...];  SET DELETED|EXCLUSIVE|AUTOINCERROR ON|OFF;  PACK t;  REINDEX t\n"
    "  Comments: && to the end of a line; * at the start of a line\n"
    "Commands:\n"
    "  .tables                 the tables\n"
    "  .schema [TABLE...]      fields, index tags and container names\n"
    "  .indexes [TABLE...]     the index tags\n"
    "  .mode table|json|csv|line|markdown\n"
    "  .headers on|off         column names in table, csv and markdown output\n"
    "  .output [FILE]          write results to FILE (none: back to the screen)\n"
    "  .read FILE              run the statements and commands of FILE\n"
    "  .timer on|off           show how long each statement took\n"
    "  .bail on|off            stop a script at its first error\n"
    "  .help                   this text\n"
    "  .quit                   leave\n";

}  // namespace

std::string ErrorLine(long number, const std::string& description) {
    return "Error " + std::to_string(number) + ": " + description;
}

std::vector<std::string> SplitStatements(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (const auto& token : engine::sql::Tokenize(text)) {
        const bool end = token.kind == engine::sql::TokenKind::kEnd;
        if (!end && !(token.kind == engine::sql::TokenKind::kSymbol && token.text == ";")) continue;
        const std::string piece = text.substr(start, (end ? text.size() : token.pos) - start);
        if (!Blank(piece)) out.push_back(piece);
        start = token.pos + 1;
    }
    return out;
}

bool EndsStatement(const std::string& text) {
    try {
        const auto tokens = engine::sql::Tokenize(text);
        return tokens.size() >= 2 && tokens[tokens.size() - 2].kind == engine::sql::TokenKind::kSymbol &&
               tokens[tokens.size() - 2].text == ";";
    } catch (const engine::Error&) {
        return false;  // an open string or bracket: the statement goes on
    }
}

Shell::Shell(const std::string& dataPath, Options options, std::ostream& out, std::ostream& err)
    : m_options(options), m_dataPath(dataPath), m_out(out), m_err(err) {
    const bool container = EndsWithNoCase(dataPath, ".dbc");
    m_connection.SetConnectionString("SourceDB=" + dataPath + ";SourceType=" + (container ? "DBC" : "DBF") + ";");
    m_connection.Open();
}

bool Shell::Fail(long number, const std::string& text) {
    Out().flush();
    m_err << ErrorLine(number, text) << std::endl;
    return false;
}

bool Shell::Run(const std::string& text) {
    std::vector<std::string> statements;
    try {
        statements = SplitStatements(text);
        if (statements.size() > 1) m_connection.Check(text);
    } catch (const engine::Error& e) {
        return Fail(e.Number(), e.Description());
    }
    bool ok = true;
    for (const std::string& s : statements) {
        ok = RunOne(s) && ok;
        if (!ok && m_options.bail) break;
    }
    return ok;
}

bool Shell::RunOne(const std::string& statement) {
    const auto started = std::chrono::steady_clock::now();
    try {
        long affected = 0;
        const auto rows = m_connection.ExecuteForward(statement, &affected);
        std::ostream& out = Out();
        if (rows) {
            std::vector<engine::sql::FieldInfo> fields;
            for (auto& f : rows->Fields()) fields.push_back(f.Info());
            std::vector<engine::Value> row(fields.size());
            auto writer = MakeWriter(m_options.mode, m_options.headers, fields, out);
            long count = 0;
            for (; !rows->Eof(); rows->MoveNext(), ++count) {
                for (size_t i = 0; i < fields.size(); ++i) row[i] = rows->Fields().Item(static_cast<long>(i)).Value();
                writer->Row(row);
            }
            writer->End(count);
        } else if (m_options.mode == Mode::kTable) {
            out << affected << (affected == 1 ? " record" : " records") << " affected\n";
        }
        if (m_options.timer) {
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            char buf[64];
            std::snprintf(buf, sizeof buf, "Run time: %.3f s\n", seconds);
            out << buf;
        }
        out.flush();
        return true;
    } catch (const engine::Error& e) {
        return Fail(e.Number(), e.Description());
    } catch (const std::exception& e) {
        return Fail(0, e.what());
    }
}

bool Shell::Command(const std::string& line) {
    const std::vector<std::string> words = Words(line);
    if (words.empty()) return true;
    const std::string& name = words[0];
    const std::vector<std::string> args(words.begin() + 1, words.end());
    auto onOff = [&](bool& option) {
        if (args.size() == 1 && (args[0] == "on" || args[0] == "off")) {
            option = args[0] == "on";
            return true;
        }
        return Fail(0, name + " takes on or off");
    };
    if (name == ".quit" || name == ".exit") {
        m_quit = true;
        return true;
    }
    if (name == ".help") {
        Out() << kHelp;
        return true;
    }
    if (name == ".tables") return Tables();
    if (name == ".schema") return Schema(args, false);
    if (name == ".indexes" || name == ".indices") return Schema(args, true);
    if (name == ".headers") return onOff(m_options.headers);
    if (name == ".timer") return onOff(m_options.timer);
    if (name == ".bail") return onOff(m_options.bail);
    if (name == ".mode") {
        const auto mode = args.size() == 1 ? ModeByName(args[0]) : std::nullopt;
        if (!mode) return Fail(0, ".mode takes table, json, csv, line or markdown");
        m_options.mode = *mode;
        return true;
    }
    if (name == ".output") {
        m_file.reset();
        if (args.empty() || args[0] == "stdout") return true;
        auto file = std::make_unique<std::ofstream>(args[0], std::ios::binary | std::ios::trunc);
        if (!*file) return Fail(0, "Cannot write the file '" + args[0] + "'");
        m_file = std::move(file);
        return true;
    }
    if (name == ".read") {
        if (args.size() != 1) return Fail(0, ".read takes a file name");
        std::ifstream in(args[0], std::ios::binary);
        if (!in) return Fail(0, "Cannot read the file '" + args[0] + "'");
        if (m_readDepth >= 20) return Fail(0, ".read is nested too deeply (a file that reads itself?)");
        ++m_readDepth;
        const bool ok = RunScript(in);
        --m_readDepth;
        return ok;
    }
    return Fail(0, "Unknown command " + name + " (try .help)");
}

bool Shell::RunScript(std::istream& in) {
    bool ok = true;
    std::string pending;
    for (std::string line; !m_quit && std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Blank(pending) && !line.empty() && line.find_first_not_of(" \t") != std::string::npos &&
            line[line.find_first_not_of(" \t")] == '.') {
            pending.clear();
            ok = Command(line.substr(line.find_first_not_of(" \t"))) && ok;
        } else {
            pending += line + "\n";
            if (!EndsStatement(pending)) continue;
            ok = RunEach(pending) && ok;
            pending.clear();
        }
        if (!ok && m_options.bail) return false;
    }
    if (!m_quit && !Blank(pending)) ok = RunEach(pending) && ok;
    return ok;
}

bool Shell::RunEach(const std::string& text) {
    std::vector<std::string> statements;
    try {
        statements = SplitStatements(text);
    } catch (const engine::Error& e) {
        return Fail(e.Number(), e.Description());
    }
    bool ok = true;
    for (const std::string& s : statements) {
        ok = Run(s) && ok;
        if (!ok && m_options.bail) break;
    }
    return ok;
}

}  // namespace foxsql
