// The Archive button and what the command line shares of it, the closing message, and the
// patient number of a grid row.
#include <cmath>
#include <cstdint>
#include <filesystem>

#include "archive/archive_run.h"
#include "common/exception_text.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "engine/api/recordset.h"

namespace app {
namespace {

constexpr const char* kModule = "frmArchive";

bool g_clickActive = false;

// Sets a flag for the life of the guard.
class Busy {
public:
    explicit Busy(bool& flag) : m_flag(flag) { m_flag = true; }
    ~Busy() { m_flag = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& m_flag;
};

}  // namespace

std::string ArchiveCompleteText() {
    return "In order to achieve any performance improvements, have all\r\n"
           "users exit the system and then issue the PACK command\r\n"
           "from the Start menu as:\r\n"
           "\r\n"
           "\tStart->Programs->Corvane->Corvane Pack.";
}

bool ArchiveRunInProgress() { return g_clickActive || ArchiveLoopInProgress(); }

std::string SummaryLine(const RunSummary& summary) {
    std::string line = "Archived " + std::to_string(summary.archived) + " of " + std::to_string(summary.requested) +
                       (summary.requested == 1 ? " patient; " : " patients; ") +
                       std::to_string(summary.skipped.size()) + " skipped";
    switch (summary.ending) {
        case RunSummary::Ending::Stopped:
            return line + "; stopped by the user.";
        case RunSummary::Ending::Error:
        case RunSummary::Ending::Refused:
            return line + "; ended by an error (see above).";
        case RunSummary::Ending::Complete:
            break;
    }
    return line + ".";
}

RunSummary CheckAndArchive(ArchiveWindow& window) {
    const std::string databasePath = window.DatabasePath();
    if (!deletion::CheckDeletePassword(window.PracticeConnection(), window.DeletePasswordPrompt())) {
        ui::MsgBox("You must have DELETE privileges to archive.\r\nArchive aborted!", ui::Icon::Exclamation,
                   "Archive aborted.");
        RunSummary refused;
        refused.ending = RunSummary::Ending::Refused;
        return refused;
    }
    const std::string dataFolder = common::RemoveBackslash(common::FolderOf(databasePath));
    std::error_code error;
    if (!std::filesystem::is_directory(dataFolder + "/Archive", error))
        common::RunAndWait({window.ProgramPath(), "-create" + databasePath});

    window.SetStopFlag(false);
    window.ShowStopButton(true);
    RunSummary summary = ArchiveSelectedPatients(window);
    window.ShowStopButton(false);
    return summary;
}

RunSummary cmdArchive_Click(ArchiveWindow& window) {
    if (ArchiveRunInProgress()) return {};
    if (window.DatabasePath().empty() || !window.PracticeConnection()) return {};
    Busy busy(g_clickActive);

    RunSummary summary = CheckAndArchive(window);
    if (summary.ending == RunSummary::Ending::Refused) return summary;
    try {
        window.ReloadCurrentFolder();
    } catch (...) {
        product::ReportError(kModule, "cmdArchive_Click", common::CurrentErrorText(), true);
    }
    ui::MsgBox(SummaryLine(summary) + "\r\n\r\n" + ArchiveCompleteText(), ui::Icon::Information, "Archive Complete");
    return summary;
}

int32_t GetPatientNumber(engine::api::Recordset& recordset) {
    engine::api::Field* field = AdoTools::GetField(recordset, "PtNum");
    if (!field) field = AdoTools::GetField(recordset, "Patient Number");
    if (!field) return 0;
    try {
        const engine::Value value = field->Value();
        double number = 0;
        if (const auto* whole = value.If<int64_t>()) number = static_cast<double>(*whole);
        else if (const auto* real = value.If<double>()) number = *real;
        else if (const auto* money = value.If<engine::Currency>()) number = money->tenThousandths / 10000.0;
        else if (const auto* text = value.If<std::string>()) number = std::stod(*text);
        else return 0;
        number = std::nearbyint(number);
        if (!(number >= INT32_MIN && number <= INT32_MAX)) return 0;
        return static_cast<int32_t>(number);
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace app
