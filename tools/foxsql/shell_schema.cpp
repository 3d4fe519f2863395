// The schema commands of the foxsql shell: .tables, .schema (a table's fields with type,
// width, decimals, null and autoincrement, its index tags with key and FOR expressions, and
// its name in the container) and .indexes, written in FoxPro's CREATE TABLE and INDEX ON forms.
#include <filesystem>
#include <ostream>

#include "engine/api/recordset.h"
#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "engine/sql/lexer.h"
#include "shell.h"

namespace foxsql {
namespace {

namespace fs = std::filesystem;

std::string TypeText(const engine::FieldSpec& f) {
    std::string text(1, f.type);
    switch (f.type) {
        case 'C':
        case 'V':
        case 'Q': text += "(" + std::to_string(f.length) + ")"; break;
        case 'N':
        case 'F':
            text += "(" + std::to_string(f.length) + (f.decimals ? "," + std::to_string(f.decimals) : "") + ")";
            break;
        case 'B':
            if (f.decimals) text += "(" + std::to_string(f.decimals) + ")";
            break;
        default: break;
    }
    if (f.nullable) text += " NULL";
    else text += " NOT NULL";
    if (f.binary && (f.type == 'C' || f.type == 'V' || f.type == 'M')) text += " NOCPTRANS";
    if (f.autoIncrement)
        text += " AUTOINC NEXTVALUE " + std::to_string(f.autoIncNext) + " STEP " + std::to_string(f.autoIncStep);
    return text;
}

}  // namespace

std::vector<std::string> Shell::TableNames() {
    std::vector<std::string> names;
    auto tables = m_connection.OpenSchema(engine::api::kAdSchemaTables, {"", "", "", "TABLE"});
    for (; !tables->Eof(); tables->MoveNext())
        names.push_back(tables->Fields().Item("TABLE_NAME").Value().As<std::string>());
    return names;
}

bool Shell::Tables() {
    try {
        for (const std::string& name : TableNames()) Out() << name << "\n";
        return true;
    } catch (const engine::Error& e) {
        return Fail(e.Number(), e.Description());
    }
}

bool Shell::Schema(const std::vector<std::string>& wanted, bool indexesOnly) {
    try {
        const bool container = fs::path(m_dataPath).extension().string().size() == 4 &&
                               engine::sql::EqualsNoCase(fs::path(m_dataPath).extension().string(), ".dbc");
        std::unique_ptr<engine::Container> dbc;
        if (container) dbc = engine::Container::Open(m_dataPath);
        const std::vector<std::string> names = wanted.empty() ? TableNames() : wanted;
        bool ok = true;
        for (const std::string& name : names) {
            fs::path file;
            std::string longName = name;
            std::vector<std::string> longFields;
            if (dbc) {
                const auto table = dbc->FindTable(name);
                if (table) {
                    file = table->file;
                    longName = table->name;
                    longFields = table->fieldNames;
                }
            } else {
                for (const auto& entry : fs::directory_iterator(m_dataPath)) {
                    if (engine::sql::EqualsNoCase(entry.path().stem().string(), name) &&
                        engine::sql::EqualsNoCase(entry.path().extension().string(), ".dbf"))
                        file = entry.path(), longName = entry.path().stem().string();
                }
            }
            if (file.empty()) {
                ok = Fail(engine::err::kUnknownTable, "Table '" + name + "' does not exist.");
                if (m_options.bail) return false;
                continue;
            }
            const auto table = engine::Table::Open(file, engine::OpenMode::Shared, std::chrono::milliseconds(2000));
            std::ostream& out = Out();
            const auto& fields = table->Fields();
            if (!indexesOnly) {
                out << "CREATE TABLE " << longName << " (  && " << file.filename().string() << ", "
                    << table->RecordCount() << (table->RecordCount() == 1 ? " record" : " records")
                    << (dbc ? std::string(", in ") + fs::path(m_dataPath).filename().string()
                            : std::string(", free table"))
                    << "\n";
                for (size_t i = 0; i < fields.size(); ++i) {
                    const std::string fieldName =
                        i < longFields.size() && !longFields[i].empty() ? longFields[i] : fields[i].name;
                    out << "  " << fieldName << " " << TypeText(fields[i]) << (i + 1 < fields.size() ? "," : "")
                        << "\n";
                }
                out << ")\n";
            }
            for (const auto& tag : table->IndexTags()) {
                out << "INDEX ON " << tag.expression << " TAG " << tag.name;
                if (!tag.forExpression.empty()) out << " FOR " << tag.forExpression;
                if (tag.candidate) out << " CANDIDATE";
                if (tag.descending) out << " DESCENDING";
                if (indexesOnly) out << "  && " << longName;
                out << "\n";
            }
        }
        return ok;
    } catch (const engine::Error& e) {
        return Fail(e.Number(), e.Description());
    } catch (const std::exception& e) {
        return Fail(0, e.what());
    }
}

}  // namespace foxsql
