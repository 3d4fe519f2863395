#include "archive/archive_creation.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "archive/archive_paths.h"
#include "common/files.h"
#include "common/paths.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "db/pack_database.h"
#include "engine/api/automation.h"
#include "engine/api/recordset.h"
#include "engine/ascii_case.h"
#include "engine/error.h"

namespace app {
namespace {

namespace fs = std::filesystem;
using engine::api::Connection;
using engine::api::Recordset;

constexpr const char* kModule = "frmArchive";
constexpr const char* kCreatingTitle = "Creating Archive Database";

// The files the practice folder may hold that have no place in the archive: backups, zips,
// programs and temporary files, in the order they are removed.
constexpr std::array<const char*, 4> kExtraExtensions = {".bak", ".zip", ".exe", ".tmp"};

// The data folder of the practice container, without a trailing separator ("" for the root
// folder, so "/Archive" follows it rightly). A bare file name lies in the current folder.
std::string DataFolder(const std::string& databasePath) {
    const std::string folder = common::FolderOf(databasePath);
    return folder.empty() ? "." : common::RemoveBackslash(folder);
}

// Runs one step of the creation; whatever it throws is dropped so the next step runs.
template <typename Step>
void Skippable(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
    }
}

// The names of the files directly inside folder (none when it cannot be read).
std::set<std::string> FileNamesIn(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code fileEc;
        if (entry.is_regular_file(fileEc)) names.insert(entry.path().filename().string());
    }
    return names;
}

// The files of a database: its container, tables, memos and indexes.
bool IsDatabaseFile(const fs::path& file) {
    static constexpr std::array<const char*, 6> kExtensions = {".dbc", ".dct", ".dcx", ".dbf", ".fpt", ".cdx"};
    const std::string extension = engine::AsciiLower(file.extension().string());
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

// Copies every file directly inside from into to, replacing files of the same name, and adds
// the name of each file written to (or replaced) in to to written. A file that cannot be
// copied is passed over, unless it is one of the database's own files: an archive missing one
// of those, or holding one cut short by a full disk, is no archive. The first such failure is
// returned as the text of the error; empty when all of them were copied.
std::string CopyFolderFiles(const fs::path& from, const fs::path& to, std::set<std::string>& written) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(from, ec)) {
        std::error_code fileEc;
        if (!entry.is_regular_file(fileEc)) continue;
        const fs::path target = to / entry.path().filename();
        written.insert(target.filename().string());
        // A read-only file left by an earlier copy would refuse to be replaced.
        if (fs::exists(target, fileEc)) common::SetFileAttributes(target.string(), common::kAttrNormal);
        fileEc.clear();
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing, fileEc);
        if (fileEc && IsDatabaseFile(target))
            return "Cannot copy file '" + entry.path().string() + "' to '" + target.string() +
                   "': " + fileEc.message() + ".";
    }
    return {};
}

// What one creation made in the archive folder, so that a creation that fails can take it
// away again and leave nothing a later run could take for an archive.
struct MadeByCreation {
    bool folder = false;                // the archive folder itself
    bool notes = false;                 // its Notes folder
    std::set<std::string> filesBefore;  // the files the folder held before
    std::set<std::string> copied;       // the files the creation wrote or replaced
};

// Removes the files the creation wrote into the archive folder, the ones the emptying left
// there (a pack's files) and the folders it made when they are left empty. Files that were
// there before and were not replaced stay.
void RemoveHalfMadeArchive(const fs::path& archiveFolder, const MadeByCreation& made) {
    for (const std::string& name : FileNamesIn(archiveFolder)) {
        if (made.filesBefore.count(name) && !made.copied.count(name)) continue;
        std::error_code ec;
        common::SetFileAttributes((archiveFolder / name).string(), common::kAttrNormal);
        fs::remove(archiveFolder / name, ec);
    }
    std::error_code ec;
    if (made.notes) fs::remove(archiveFolder / "Notes", ec);
    if (made.folder) fs::remove(archiveFolder, ec);
}

// Deletes the files of folder whose name ends in extension (any case), read-only ones too.
void DeleteFilesEndingIn(const fs::path& folder, const std::string& extension) {
    std::error_code ec;
    std::vector<fs::path> doomed;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code fileEc;
        if (!entry.is_regular_file(fileEc)) continue;
        const std::string name = engine::AsciiLower(entry.path().filename().string());
        if (name.size() >= extension.size() && name.ends_with(extension)) doomed.push_back(entry.path());
    }
    for (const auto& path : doomed) {
        std::error_code fileEc;
        fs::remove(path, fileEc);
    }
}

bool IsPatientTable(Recordset& table, const std::string& name) {
    return AdoTools::GetField(table, "PtNum") != nullptr || engine::AsciiLower(name) == "appointment";
}

// The patient tables among the tables connection lists, in its order. Every recordset is
// closed before returning.
std::vector<std::string> PatientTablesOf(Connection& connection) {
    std::unique_ptr<Recordset> tables = connection.OpenSchema(engine::api::kAdSchemaTables, {"", "", "", "TABLE"});
    std::vector<std::string> patientTables;
    Recordset work;
    if (!tables->Eof()) tables->MoveFirst();
    for (; !tables->Eof(); tables->MoveNext()) {
        const std::string name = AdoTools::VariantText(tables->Fields().Item("Table_Name").Value());
        if (work.State() != 0) work.Close();
        work.Open(name, connection, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic,
                  engine::api::kAdCmdTable);
        if (IsPatientTable(work, name)) patientTables.push_back(name);
    }
    if (work.State() != 0) work.Close();
    if (tables->State() != 0) tables->Close();
    return patientTables;
}

// Marks every row of the named archive tables deleted through the automation server, which
// is released before returning, so nothing of ours keeps an archive table open when the
// folder is packed.
void MarkPatientRowsDeleted(const std::vector<std::string>& patientTables, const std::string& archiveFolder,
                            StatusServices& status) {
    engine::api::FoxApplication fox;
    fox.DoCmd("ChDir \"" + archiveFolder + "\"");
    fox.DoCmd("OPEN DATA CORVANE");
    for (const std::string& name : patientTables) {
        status.ShowStatus("Emptying Table.", "Removing pre-existing patient data from:  " + name, true);
        product::WriteLog(kModule, "EmptyPatientTables", "Deleting patient information from table:  " + name);
        fox.DoCmd("USE " + name);
        fox.DoCmd("DELETE ALL");
    }
    status.HideStatus();
    fox.DoCmd("CLOSE ALL");
}

}  // namespace

std::string PackFolder(const std::string& folder) {
    std::string failedTables;
    db::PackDatabase(folder, failedTables);
    return failedTables;
}

bool EmptyPatientTables(const std::string& databasePath, const std::string& appPath, StatusServices& status,
                        std::unique_ptr<Connection>& connection) {
    try {
        product::WriteLog(kModule, "EmptyPatientTables");
        const std::string archiveFolder = archive::ArchiveFolderOfDatabase(databasePath);

        // The blank template lists the tables. Without it the archive would stay a full copy
        // of the practice, every later run would find each patient already archived, and the
        // archive would hold every live patient; so the archive's own container, a copy of the
        // practice's, lists them instead, through a connection closed before any deletion.
        std::vector<std::string> patientTables;
        if (!connection) {
            try {
                connection = AdoTools::Connect_DBC(common::AddBackslash(appPath) + "BlankDbc", "corvane.dbc");
            } catch (const engine::Error&) {
                std::unique_ptr<Connection> ownContainer = AdoTools::Connect_DBC(archiveFolder, "Corvane.dbc");
                patientTables = PatientTablesOf(*ownContainer);
                ownContainer->Close();
            }
        }
        if (connection) patientTables = PatientTablesOf(*connection);
        MarkPatientRowsDeleted(patientTables, archiveFolder, status);

        status.ShowStatus("Packing Database", "Packing Database:  " + archiveFolder, true);
        const std::string failed = PackFolder(archiveFolder);
        if (!failed.empty())
            ui::MsgBox("The following tables could not be packed:\r\n" + failed, ui::Icon::None, "Archive");
        status.HideStatus();
        return true;
    } catch (const engine::Error& e) {
        product::WriteLog(kModule, "EmptyPatientTables", product::ErrorText(e.Number(), e.Description()));
    } catch (const std::exception& e) {
        product::WriteLog(kModule, "EmptyPatientTables", product::ErrorText(0, e.what()));
    }
    return false;
}

void CreateArchiveDatabase(const std::string& databasePath, const std::string& appPath, StatusServices& status,
                           std::unique_ptr<Connection>& connection) {
    std::string dataFolder;
    Skippable([&] { dataFolder = DataFolder(databasePath); });
    // An archive folder copied from Windows in another case is the archive: never a second one.
    std::string archiveFolder = dataFolder + "/Archive";
    Skippable([&] { archiveFolder = archive::ArchiveFolderOfDatabase(databasePath); });

    // An archive whose container is present is taken as made, even if it is damaged.
    bool create = false;
    MadeByCreation made;
    Skippable([&] {
        std::error_code ec;
        if (!fs::is_directory(archiveFolder, ec)) {
            made.folder = true;
            made.notes = true;
            common::MakePath(archiveFolder + "/Notes");
            create = true;
        } else if (!common::FindInFolder(archiveFolder, "Corvane.dbc")) {
            made.filesBefore = FileNamesIn(archiveFolder);
            create = true;
        }
    });
    if (!create) return;

    Skippable([] { ui::Current().SetBusyCursor(true); });
    Skippable([&] {
        status.ShowStatus(kCreatingTitle, "Creating Archive database.  Please wait...", true);
        ui::Current().DoEvents();
    });
    std::string copyFailure;
    Skippable(
        [&] { copyFailure = CopyFolderFiles(dataFolder.empty() ? "/" : dataFolder, archiveFolder, made.copied); });
    if (!copyFailure.empty())
        product::ReportError(kModule, "CreateArchiveDatabase",
                             product::ErrorText(engine::err::kFileAccess, copyFailure), false);
    Skippable([&] { status.ShowStatus(kCreatingTitle, "Cleaning up extra database files.  Please wait...", true); });
    for (const char* extension : kExtraExtensions) Skippable([&] { DeleteFilesEndingIn(archiveFolder, extension); });
    Skippable([&] { common::SetFolderFileAttributes(archiveFolder, common::kAttrNormal); });
    bool emptied = false;
    if (copyFailure.empty())
        Skippable([&] { emptied = EmptyPatientTables(databasePath, appPath, status, connection); });
    // A database file that could not be copied leaves no archive; patient tables that could not
    // be emptied would make the archive a full copy of the practice, every patient in it
    // already. Either way what was made is taken away again (the error is in the log), so the
    // archive counts as not made and the next run makes it afresh.
    if (!emptied)
        Skippable([&] {
            RemoveHalfMadeArchive(archiveFolder, made);
            product::WriteLog(
                kModule, "CreateArchiveDatabase",
                "The archive database could not be created; removed what was made of it in:  " + archiveFolder);
        });
    Skippable([] { ui::Current().SetBusyCursor(false); });
    // The balloon stays up until the process that created the archive ends.
    Skippable([&] { status.ShowStatus("Archive Created", "Archive created.", true); });
}

}  // namespace app
