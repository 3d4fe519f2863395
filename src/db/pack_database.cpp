#include "db/pack_database.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/exception_text.h"
#include "common/paths.h"
#include "common/product.h"
#include "engine/api/automation.h"
#include "engine/error.h"

namespace db {

namespace {

namespace fs = std::filesystem;

constexpr const char* kModule = "AdoTools";
constexpr const char* kProcedure = "PackDatabase";

bool IsTableFile(const fs::directory_entry& entry) {
    std::error_code ec;
    if (!entry.is_regular_file(ec)) return false;
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return extension == ".dbf";
}

// The names of the .dbf files (any case) of folder, sorted so every run packs in one order.
// A folder that does not exist holds none; one that cannot be read throws engine::Error.
std::vector<std::string> TableFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    if (!fs::exists(folder, ec)) return names;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec))
        if (IsTableFile(*it)) names.push_back(it->path().filename().string());
    if (ec) throw engine::Error(engine::err::kFileAccess, "Cannot list the folder '" + folder + "': " + ec.message());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs one command; a failure is answered with false, and written to the log (its number and
// the system's reason) when logged.
bool TryCommand(engine::api::FoxApplication& fox, const std::string& command, bool logged = false) {
    try {
        fox.DoCmd(command);
        return true;
    } catch (const std::exception&) {
        if (logged) product::WriteLog(kModule, kProcedure, common::CurrentErrorText());
        return false;
    }
}

void ReportPackError(const std::string& dataPath) {
    product::ReportError(kModule, kProcedure,
                         "Error Packing database:  " + dataPath + "\r\n" + common::CurrentErrorText());
}

}  // namespace

int16_t PackDatabase(const std::string& dataPathGiven, std::string& failedTables) {
    product::WriteLog(kModule, kProcedure);
    failedTables.clear();
    const std::string dataPath = common::RemoveBackslash(dataPathGiven);

    std::unique_ptr<engine::api::FoxApplication> fox;
    try {
        fox = std::make_unique<engine::api::FoxApplication>();
    } catch (...) {
        ReportPackError(dataPath);
        return 0;
    }

    bool containerOpen = false;
    // The container: a failure here (no container, held elsewhere) still lets the tables be packed.
    for (const std::string& command :
         {"ChDir \"" + dataPath + "\"", std::string("OPEN DATA CORVANE.DBC"), std::string("PACK DATABASE"),
          std::string("CLOSE ALL"), std::string("OPEN DATA CORVANE"), std::string("SET EXCLUSIVE ON")}) {
        // A container that opened but could not be packed is logged with the reason.
        const bool done = TryCommand(*fox, command, command == "PACK DATABASE" && containerOpen);
        if (command == "OPEN DATA CORVANE.DBC") containerOpen = done;
    }

    std::vector<std::string> files;
    try {
        files = TableFiles(dataPath);
    } catch (...) {
        ReportPackError(dataPath);
    }
    for (const std::string& file : files) {
        product::WriteLog(kModule, kProcedure, "Issuing: PACK \"" + dataPath + "/" + file + "\"");
        // A table that cannot be taken is not packed; it is named once in the list.
        // A file name with a blank must stand in quotes, or USE would read two words.
        const std::string name = file.find(' ') == std::string::npos ? file : "\"" + file + "\"";
        const bool packed = TryCommand(*fox, "USE " + name, true) && TryCommand(*fox, "PACK", true);
        if (!packed) failedTables += (failedTables.empty() ? "" : ", ") + file;
    }

    TryCommand(*fox, "SET EXCLUSIVE OFF");
    TryCommand(*fox, "CLOSE ALL");
    return 0;
}

std::vector<std::string> TablesInUse(const std::string& dataPathGiven) {
    std::vector<std::string> inUse;
    try {
        const std::string dataPath = common::RemoveBackslash(dataPathGiven);
        engine::api::FoxApplication fox;
        fox.DoCmd("ChDir \"" + dataPath + "\"");
        for (const std::string& file : TableFiles(dataPath)) {
            try {
                fox.DoCmd("USE \"" + file + "\" EXCLUSIVE");
                fox.DoCmd("USE");
            } catch (const engine::Error& e) {
                if (e.Number() == engine::err::kFileInUse) inUse.push_back(file);
            }
        }
    } catch (const std::exception&) {
        // A folder that cannot be entered or listed holds nothing we could tell about.
    }
    return inUse;
}

}  // namespace db
