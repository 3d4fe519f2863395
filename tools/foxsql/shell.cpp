#include "shell.h"

#include <ostream>

#include "engine/api/recordset.h"
#include "engine/error.h"
#include "value_format.h"

namespace foxsql {
namespace {

bool EndsWithNoCase(const std::string& s, const std::string& end) {
    if (s.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(s[s.size() - end.size() + i])) != end[i]) return false;
    }
    return true;
}

}  // namespace

std::string ErrorLine(long number, const std::string& description) {
    return "Error " + std::to_string(number) + ": " + description;
}

Shell::Shell(const std::string& dataPath, Options options) : m_options(options) {
    const bool container = EndsWithNoCase(dataPath, ".dbc");
    m_connection.SetConnectionString("SourceDB=" + dataPath + ";SourceType=" + (container ? "DBC" : "DBF") + ";");
    m_connection.Open();
}

bool Shell::Run(const std::string& text, std::ostream& out, std::ostream& err) {
    try {
        // Rows are printed as they are read, so a table of any size takes little memory.
        long affected = 0;
        const auto rows = m_connection.ExecuteForward(text, &affected);
        if (rows) {
            std::vector<engine::sql::FieldInfo> fields;
            for (auto& f : rows->Fields()) fields.push_back(f.Info());
            std::vector<engine::Value> row(fields.size());
            AlignedWriter table(fields, out);
            if (!m_options.json) table.Header();
            long count = 0;
            for (; !rows->Eof(); rows->MoveNext(), ++count) {
                for (size_t i = 0; i < fields.size(); ++i) row[i] = rows->Fields().Item(static_cast<long>(i)).Value();
                if (m_options.json) out << JsonRow(fields, row) << "\n";
                else table.Row(row);
            }
            if (!m_options.json) out << "(" << count << (count == 1 ? " row)\n" : " rows)\n");
        } else if (!m_options.json) {
            out << affected << (affected == 1 ? " record" : " records") << " affected\n";
        }
        out.flush();
        return true;
    } catch (const engine::Error& e) {
        out.flush();
        err << ErrorLine(e.Number(), e.Description()) << std::endl;
    } catch (const std::exception& e) {
        out.flush();
        err << ErrorLine(0, e.what()) << std::endl;
    }
    return false;
}

bool Shell::Command(const std::string& text, std::ostream& out) {
    if (text == ".help") {
        out << "Statements: SELECT, INSERT, UPDATE, DELETE, SET DELETED|EXCLUSIVE ON|OFF, PACK, REINDEX; several\n"
               "may be separated by \";\". Commands: .tables  .help  .quit\n";
        return true;
    }
    if (text == ".tables") {
        auto tables = m_connection.OpenSchema(engine::api::kAdSchemaTables, {"", "", "", "TABLE"});
        for (; !tables->Eof(); tables->MoveNext())
            out << tables->Fields().Item("TABLE_NAME").Value().As<std::string>() << "\n";
        return true;
    }
    return false;
}

}  // namespace foxsql
