#include "common/product.h"

#include <cstdio>
#include <ctime>

#include "common/ui.h"

namespace product {

int32_t DebugFlags = 0;
std::string LogFile;

namespace {
constexpr const char* kAppTitle = "Archive";
constexpr const char* kDebugTitle = "Corvane Debug";
}  // namespace

std::string ComposeLogText(const Opt& module, const Opt& procedure, const Opt& text) {
    std::string out;
    if (module) out = *module;
    if (procedure) {
        if (module) out += "/";
        out += *procedure;
    }
    if (text) {
        if (procedure) out += ":  " + *text;
        else if (module) out += "/" + *text;
        else out = *text;
    }
    return out;
}

std::string GeneralDateNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%02d:%02d %s", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900,
                  hour12, local.tm_min, local.tm_sec, local.tm_hour < 12 ? "AM" : "PM");
    return buf;
}

void WriteLog(const Opt& module, const Opt& procedure, const Opt& text) {
    try {
        const std::string line = ComposeLogText(module, procedure, text);
        if (DebugFlags == 0) return;
        if (DebugFlags & 2) ui::MsgBox(line, ui::Icon::Information, kDebugTitle);
        if (DebugFlags & 1) {
            // Open, append, close for every line: other programs may read or append between lines.
            if (LogFile.empty()) return;
            std::FILE* f = std::fopen(LogFile.c_str(), "ab");
            if (!f) return;
            const std::string record = GeneralDateNow() + "\t" + line + "\r\n";
            std::fwrite(record.data(), 1, record.size(), f);
            std::fclose(f);
        }
    } catch (...) {
        // The log never fails its caller.
    }
}

void ReportError(const std::string& module, const std::string& procedure, const std::string& message, bool show) {
    std::string report;
    try {
        report = module + "/" + procedure + ":  " + message;
        if (show) ui::MsgBox(report, ui::Icon::Exclamation, kAppTitle);
        if (DebugFlags & 1) {
            WriteLog(std::nullopt, std::nullopt, report);
        } else {
            const int32_t saved = DebugFlags;
            DebugFlags |= 1;
            WriteLog(std::nullopt, std::nullopt, report);
            DebugFlags = saved;
        }
    } catch (...) {
        try {
            ui::MsgBox("Unable to report error:  " + report + ".", ui::Icon::Exclamation, kAppTitle);
        } catch (...) {
        }
    }
}

std::string ErrorText(long number, const std::string& description) {
    return "Error #: " + std::to_string(number) + ", Descr: " + description;
}

}  // namespace product
