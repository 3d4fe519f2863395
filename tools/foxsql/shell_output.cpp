#include "shell_output.h"

#include <algorithm>
#include <ostream>

#include "value_format.h"

namespace foxsql {
namespace {

using engine::sql::FieldInfo;

class TableWriter : public RowWriter {
public:
    TableWriter(const std::vector<FieldInfo>& fields, bool headers, std::ostream& out)
        : m_table(fields, out), m_out(out) {
        if (headers) m_table.Header();
    }
    void Row(const std::vector<engine::Value>& row) override { m_table.Row(row); }
    void End(long count) override { m_out << "(" << count << (count == 1 ? " row)\n" : " rows)\n"); }

private:
    AlignedWriter m_table;
    std::ostream& m_out;
};

class JsonWriter : public RowWriter {
public:
    JsonWriter(const std::vector<FieldInfo>& fields, std::ostream& out) : m_fields(fields), m_out(out) {}
    void Row(const std::vector<engine::Value>& row) override { m_out << JsonRow(m_fields, row) << "\n"; }
    void End(long) override {}

private:
    std::vector<FieldInfo> m_fields;
    std::ostream& m_out;
};

// Text as a cell shows it, without the blanks that pad a field to its width.
std::string Trimmed(const engine::Value& v, const FieldInfo& f) {
    std::string text = CellText(v, f);
    if (v.Is<std::string>()) {
        while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    return text;
}

class CsvWriter : public RowWriter {
public:
    CsvWriter(const std::vector<FieldInfo>& fields, bool headers, std::ostream& out) : m_fields(fields), m_out(out) {
        if (!headers) return;
        std::string line;
        for (size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + CsvField(fields[i].name);
        m_out << line << "\r\n";
    }
    void Row(const std::vector<engine::Value>& row) override {
        std::string line;
        for (size_t i = 0; i < m_fields.size() && i < row.size(); ++i)
            line += (i ? "," : "") + (row[i].IsNull() ? std::string() : CsvField(Trimmed(row[i], m_fields[i])));
        m_out << line << "\r\n";
    }
    void End(long) override {}

private:
    std::vector<FieldInfo> m_fields;
    std::ostream& m_out;
};

class LineWriter : public RowWriter {
public:
    LineWriter(const std::vector<FieldInfo>& fields, std::ostream& out) : m_fields(fields), m_out(out) {
        for (const auto& f : fields) m_width = std::max(m_width, f.name.size());
    }
    void Row(const std::vector<engine::Value>& row) override {
        if (m_rows++) m_out << "\n";
        for (size_t i = 0; i < m_fields.size() && i < row.size(); ++i)
            m_out << std::string(m_width - m_fields[i].name.size(), ' ') << m_fields[i].name << " = "
                  << Trimmed(row[i], m_fields[i]) << "\n";
    }
    void End(long) override {}

private:
    std::vector<FieldInfo> m_fields;
    std::ostream& m_out;
    size_t m_width = 0;
    long m_rows = 0;
};

std::string MarkdownCell(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '|') out += "\\|";
        else if (c == '\n' || c == '\r') out += ' ';
        else out += c;
    }
    return out;
}

class MarkdownWriter : public RowWriter {
public:
    MarkdownWriter(const std::vector<FieldInfo>& fields, std::ostream& out) : m_fields(fields), m_out(out) {
        std::string head = "|", rule = "|";
        for (const auto& f : fields) {
            head += " " + MarkdownCell(f.name) + " |";
            const bool number = std::string("NFIYB").find(f.type) != std::string::npos;
            rule += number ? " ---: |" : " --- |";
        }
        m_out << head << "\n" << rule << "\n";
    }
    void Row(const std::vector<engine::Value>& row) override {
        std::string line = "|";
        for (size_t i = 0; i < m_fields.size() && i < row.size(); ++i)
            line += " " + MarkdownCell(Trimmed(row[i], m_fields[i])) + " |";
        m_out << line << "\n";
    }
    void End(long) override {}

private:
    std::vector<FieldInfo> m_fields;
    std::ostream& m_out;
};

}  // namespace

std::optional<Mode> ModeByName(const std::string& name) {
    if (name == "table" || name == "column" || name == "box") return Mode::kTable;
    if (name == "json") return Mode::kJson;
    if (name == "csv") return Mode::kCsv;
    if (name == "line") return Mode::kLine;
    if (name == "markdown") return Mode::kMarkdown;
    return std::nullopt;
}

std::string CsvField(const std::string& text) {
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::unique_ptr<RowWriter> MakeWriter(Mode mode, bool headers, const std::vector<FieldInfo>& fields,
                                      std::ostream& out) {
    switch (mode) {
        case Mode::kJson: return std::make_unique<JsonWriter>(fields, out);
        case Mode::kCsv: return std::make_unique<CsvWriter>(fields, headers, out);
        case Mode::kLine: return std::make_unique<LineWriter>(fields, out);
        case Mode::kMarkdown: return std::make_unique<MarkdownWriter>(fields, out);
        default: return std::make_unique<TableWriter>(fields, headers, out);
    }
}

}  // namespace foxsql
