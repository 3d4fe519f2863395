#include "reader_check.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/requirements.h"
#include "support/temp_dir.h"

namespace dbf_test {

namespace {

void JsonString(const std::string& s, std::ostringstream& out) {
    out << '"';
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') out << '\\' << c;
        else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out << buf;
        } else out << c;
    }
    out << '"';
}

void JsonValue(const engine::Value& v, std::ostringstream& out) {
    using namespace engine;
    if (v.IsNull()) out << "null";
    else if (auto* b = v.If<bool>()) out << (*b ? "true" : "false");
    else if (auto* i = v.If<int64_t>()) out << *i;
    else if (auto* d = v.If<double>()) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", *d);
        out << buf;
    } else if (auto* c = v.If<Currency>()) out << "{\"cur\":" << c->tenThousandths << "}";
    else if (auto* s = v.If<std::string>()) JsonString(*s, out);
    else if (auto* dt = v.If<Date>()) out << "{\"d\":" << dt->julianDay << "}";
    else if (auto* t = v.If<DateTime>()) out << "{\"t\":[" << t->julianDay << "," << t->milliseconds << "]}";
    else if (auto* by = v.If<Bytes>()) {
        out << "{\"b\":\"";
        char buf[4];
        for (uint8_t x : *by) std::snprintf(buf, sizeof buf, "%02x", x), out << buf;
        out << "\"}";
    }
}

}  // namespace

std::string DumpJson(const engine::Table& table) {
    std::ostringstream out;
    out << "{\"codepage\":" << int(table.CodePageMark()) << ",\"fields\":[";
    const auto& fields = table.Fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        out << (i ? "," : "") << "[";
        JsonString(fields[i].name, out);
        out << ",\"" << fields[i].type << "\"]";
    }
    out << "],\"rows\":[";
    for (uint32_t r = 0; r < table.RecordCount(); ++r) {
        const engine::Record rec = table.ReadRecord(r);
        out << (r ? "," : "") << "[" << (rec.deleted ? "true" : "false") << ",[";
        for (size_t i = 0; i < rec.values.size(); ++i) {
            if (i) out << ",";
            JsonValue(rec.values[i], out);
        }
        out << "]]";
    }
    out << "]}";
    return out.str();
}

ReaderResult RunCommand(const std::string& command) {
    ReaderResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) result.output.append(buf, n);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool PythonModuleAvailable(const std::string& module) { return testing_support::MissingPythonModule(module).empty(); }

ReaderResult CompareWithReader(const std::string& reader, const std::filesystem::path& tablePath) {
    testing_support::TempDir dir;
    {
        auto table = engine::Table::Open(tablePath);
        testing_support::WriteFile(dir / "dump.json", DumpJson(*table));
    }
    const std::string script = std::string(ARCHIVE_SOURCE_DIR) + "/tests/engine/dbf/compare_with_reader.py";
    return RunCommand("/usr/bin/python3 '" + script + "' " + reader + " '" + tablePath.string() + "' '" +
                      (dir / "dump.json").string() + "' 2>&1");
}

}  // namespace dbf_test
