// frmArchive's start-up (Form_Load and its steps) and the unattended jobs of the command line.
#include <filesystem>

#include "app/engine_record_sources.h"
#include "app/frm_archive.h"

#include "app/start_switches.h"
#include "archive/archive_creation.h"
#include "archive/archive_paths.h"
#include "archive/run_lock.h"
#include "common/command_args.h"
#include "common/exception_text.h"
#include "common/files.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "db/pack_database.h"
#include "engine/api/connection.h"
#include "settings/most_recent_files.h"
#include "settings/xml_reg.h"
#include "views/record_grid.h"

namespace app {
namespace {

constexpr const char* kModule = "frmArchive";
constexpr const char* kAppTitle = "Archive";
constexpr const char* kPracticeContainer = "corvane.dbc";
constexpr int kExitError = 1;
constexpr int16_t kRecentFilesKept = 20;

}  // namespace

bool frmArchive::Form_Load() {
    try {
        m_helpContextId = kHelpContext;
        FindApplicationFolder();
        StartLog();
        ReadCommandLine();
        if (m_ended) return false;
        product::WriteLog(kModule, "Form_Load", "-----------------------");
        hide();
        CreateXMLReg();
        TakeRecentDatabase();
        LoadDatabase();
        show();
        m_recentFiles.reset();  // start-up is the list's only user
        return true;
    } catch (...) {
        product::ReportError(kModule, "Form_Load", common::CurrentErrorText());
        EndProgram(kExitError);
        return false;
    }
}

void frmArchive::FindApplicationFolder() {
    m_appPath = FindAppPath(m_environment.programFolder, m_environment.installedFolder, m_environment.packagedFolder);
}

void frmArchive::StartLog() {
    product::LogFile = m_appPath + "/Corvane.log";
    // Every start leaves this one line, whatever the switches say.
    product::DebugFlags = 1;
    product::WriteLog(kModule, "Form_Load", "AppPath = " + m_appPath);
    product::DebugFlags = 0;
}

void frmArchive::ReadCommandLine() {
    const StartSwitches switches = ParseStartSwitches(common::GetCommandArgs());
    product::DebugFlags |= switches.debugBits;
    switch (switches.mode) {
        case StartSwitches::Mode::Window: return;
        case StartSwitches::Mode::Create:
            m_databasePath = switches.value;
            CreateArchiveDatabase();
            EndProgram(0);
            return;
        case StartSwitches::Mode::Pack: {
            m_databasePath = switches.value;
            ShowStatus("Packing Database", "Packing Database:  " + m_databasePath, true);
            // A folder in use (an archive run, or tables another connection holds) is left
            // exactly as it is, and the user is told why.
            const std::optional<std::string> busy =
                PackWhenFree(m_databasePath, "The following tables could not be packed:");
            HideStatus();
            if (busy) {
                ui::MsgBox("The database was not packed.\r\n" + *busy, ui::Icon::Exclamation, kAppTitle);
                EndProgram(kExitError);
                return;
            }
            EndProgram(0);
            return;
        }
    }
}

void frmArchive::CreateXMLReg() {
    // Each user has a parameter file of their own, named after the login, in the
    // application folder.
    settings::XMLReg = std::make_unique<settings::CXMLReg>();
    settings::XMLReg->SetAppName(common::GetLoginName());
    settings::XMLReg->SetAppPath(m_appPath);
    product::WriteLog(kModule, "Form_Load", "User Login = " + settings::XMLReg->AppName());
}

void frmArchive::TakeRecentDatabase() {
    m_recentFiles = std::make_unique<settings::CMostRecentFiles>();
    m_recentFiles->SetXMLFile(settings::XMLReg.get());
    m_recentFiles->SetRootKey("FILE");
    m_recentFiles->SetMaxFiles(kRecentFilesKept);
    m_recentFiles->SetMenuOffset(1);
    m_recentFiles->SetSection("Recent Files");
    if (m_databasePath.empty()) m_databasePath = m_recentFiles->GetRecordNum(1);
}

void frmArchive::LoadDatabase() {
    product::WriteLog(kModule, "LoadDatabase", "Database = " + m_databasePath);
    if (m_databasePath.empty()) {
        ui::MsgBox("You do not have a database.\r\nSelect a database from within Corvane.", ui::Icon::None, kAppTitle);
        return;
    }
    PackArchive();
    // The container is always corvane.dbc in the database's folder, whatever file the
    // recent-files entry names.
    m_connection.reset();
    m_connection = ConnectPractice(common::FolderOf(m_databasePath), kPracticeContainer);
    SetArchiveCaption("Select patients to archive and then the Archive button.  (" + m_databasePath + ").");
    product::WriteLog(kModule, "LoadDatabase", "Loading most recent database.");
    // The grid opens its rows on the database engine, through the connection's string.
    InstallEngineRecordSources();
    m_gridConnectionString = m_connection->ConnectionString();
    m_grdPatients->SetConnectionString(m_gridConnectionString);
    FillFolderBar();
}

void frmArchive::PackArchive() {
    const std::string archiveFolder = archive::ArchiveFolderOfDatabase(m_databasePath);
    ShowStatus("Packing Archive Database", "Packing Database:  " + archiveFolder, true);
    // Before the first archive run there is no archive: nothing to pack, nothing to say.
    std::error_code error;
    if (std::filesystem::is_directory(archiveFolder, error)) {
        // A start-up never disturbs a run elsewhere: an archive in use is packed at a later
        // start, and only the log says so.
        if (const std::optional<std::string> busy =
                PackWhenFree(archiveFolder, "The following archive tables could not be packed:"))
            product::WriteLog(kModule, "LoadDatabase", "Archive not packed: " + *busy);
    }
    HideStatus();
}

std::optional<std::string> frmArchive::PackWhenFree(const std::string& folder, const std::string& failedText) {
    archive::PackLocks locks;
    try {
        locks = archive::TakePackLocks(folder);
    } catch (const engine::Error& e) {
        return e.Description();  // the lock file cannot be made: the folder cannot be packed either
    }
    if (locks.Refused()) return *locks.refusal;
    const std::vector<std::string> inUse = db::TablesInUse(folder);
    if (!inUse.empty()) {
        std::string names;
        for (const std::string& name : inUse) names += (names.empty() ? "" : ", ") + name;
        return "These tables are in use by another connection: " + names + ".";
    }
    const std::string failed = PackDatabase(folder);
    if (!failed.empty()) ui::MsgBox(failedText + "\r\n" + failed, ui::Icon::None, kAppTitle);
    return std::nullopt;
}

void frmArchive::CreateArchiveDatabase() { app::CreateArchiveDatabase(m_databasePath, m_appPath, *this, m_connection); }

std::string frmArchive::PackDatabase(const std::string& folder) { return app::PackFolder(folder); }

std::unique_ptr<engine::api::Connection> frmArchive::ConnectPractice(const std::string& folder,
                                                                     const std::string& dbcName) {
    return AdoTools::Connect_DBC(folder, dbcName);
}

void frmArchive::EndProgram(int exitCode) {
    m_ended = true;
    m_exitCode = exitCode;
    Form_Unload();
    hide();
}

}  // namespace app
