#include "archive/archive_run.h"

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <utility>

#include "archive/archive_journal.h"
#include "archive/merge_tables.h"
#include "common/exception_text.h"
#include "common/files.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/error.h"

namespace app {
namespace {

constexpr const char* kModule = "frmArchive";
constexpr const char* kProcedure = "ArchiveSelectedPatients";
constexpr const char* kStatusTitle = "Updating Archive";
constexpr const char* kContainer = "Corvane.dbc";

// The patient tables in copying order, each with the field that holds the patient number.
constexpr std::array<std::pair<const char*, const char*>, 8> kPatientTables = {{
    {"IdentFil", "PtNum"},
    {"Appointment", "PId"},
    {"Case", "PtNum"},
    {"BillOthe", "PtNum"},
    {"MngCare", "PtNum"},
    {"PostFile", "PtNum"},
    {"PatIns", "PtNum"},
    {"PmtAndChrg", "PtNum"},
}};

bool g_clickActive = false;
bool g_runActive = false;

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

void Log(const std::string& text) { product::WriteLog(kModule, kProcedure, text); }

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Deletes a file the way an unforced delete does: a read-only file is refused.
void DeleteUnforced(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        throw engine::Error(engine::err::kFileAccess, "Permission denied: " + file);
    std::filesystem::remove(file);
}

// One archive run: its paths, the archive connection and the patient loop's state.
class Run {
public:
    explicit Run(ArchiveWindow& window)
        : m_window(window),
          m_status(window.Status()),
          m_dataFolder(common::RemoveBackslash(common::FolderOf(window.DatabasePath()))),
          m_archiveFolder(m_dataFolder + "/Archive"),
          m_journal(m_archiveFolder) {}

    void Execute() {
        Log("Archive = " + m_archiveFolder);
        Connect();
        engine::api::Connection& practice = Practice();
        FinishJournaledDeletions();
        MergeTables(practice, *m_archive, m_status);
        if (m_status.StopRequested()) return End();
        m_loopBegun = true;

        const long count = m_window.SelectedCount();
        for (long entry = count; entry >= 1; --entry) {
            if (m_status.StopRequested()) break;
            Log("Getting selected item # " + std::to_string(entry));
            const long rowIndex = m_window.SelectedRowIndex(entry);
            if (rowIndex < 1) continue;  // a group heading or another row without a record
            m_ptNum = m_window.PatientNumberOfRow(rowIndex);
            Log("  PtNum = " + std::to_string(m_ptNum));
            m_status.ShowStatus(kStatusTitle, "Updating Patient:  " + std::to_string(m_ptNum), true);
            if (m_ptNum < 1) {
                ui::MsgBox("Something is terribly wrong with the patient list.", ui::Icon::Exclamation, "Archive");
                return End();
            }
            ArchivePatient();
        }
        End();
    }

    // Ends the run after an error: the balloon goes, the archive connection is released
    // and the error is reported with the patient in hand.
    void Fail() {
        std::string message = common::CurrentErrorText();
        m_status.HideStatus();
        CloseArchive();
        if (m_loopBegun) message += "\r\nArchiving Patient #: " + std::to_string(m_ptNum);
        product::ReportError(kModule, kProcedure, message, true);
    }

private:
    engine::api::Connection& Practice() {
        engine::api::Connection* practice = m_window.PracticeConnection();
        if (!practice) throw engine::Error(engine::err::kNotOpen, "The practice database is not connected.");
        return *practice;
    }

    void Connect() { m_archive = AdoTools::Connect_DBC(m_archiveFolder, kContainer); }

    void Reconnect() {
        CloseArchive();
        Connect();
    }

    void CloseArchive() {
        if (m_archive && m_archive->State() == 1) {
            try {
                m_archive->Close();
            } catch (const std::exception&) {
            }
        }
        m_archive.reset();
    }

    void End() {
        m_status.HideStatus();
        CloseArchive();
    }

    std::string Number() const { return std::to_string(m_ptNum); }

    bool HasRows(engine::api::Connection& connection, const std::string& query) {
        engine::api::Recordset rows;
        rows.Open(query, connection, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);
        return rows.State() == 1 && !rows.Eof();
    }

    void ArchivePatient() {
        engine::api::Connection& practice = Practice();
        MoveNotes();

        // A patient whose archive copy is complete but whose deletion was cut short: finish it.
        if (m_journal.Contains(m_ptNum)) {
            FinishDeletion(m_ptNum);
            ++m_counter;
            return;
        }
        // A patient no longer in the practice (selected twice, or deleted meanwhile) has
        // nothing to copy; replacing its archive copy would throw that copy away.
        if (!HasRows(practice, "SELECT PtNum FROM IdentFil WHERE PtNum = " + Number())) {
            Log("  Patient " + Number() + " is no longer in the practice database.");
            return;
        }
        if (!RemoveFromArchiveIfThere()) {
            ++m_counter;
            return;
        }
        ++m_counter;
        for (const auto& [table, key] : kPatientTables) CopyTable(practice, table, key);

        // From here until the deletion has ended the archive copy is the one to keep.
        m_journal.Add(m_ptNum);
        DeleteFromPractice(practice, m_ptNum);
        m_journal.Remove(m_ptNum);
    }

    void MoveNotes() {
        const std::string practiceNotes = m_dataFolder + "/Notes/" + Number() + ".rtf";
        const std::string archiveNotes = m_archiveFolder + "/Notes/" + Number() + ".rtf";
        if (!Exists(practiceNotes)) return;
        common::MakePath(m_archiveFolder + "/Notes");
        std::filesystem::copy_file(practiceNotes, archiveNotes, std::filesystem::copy_options::overwrite_existing);
        if (Exists(archiveNotes)) DeleteUnforced(practiceNotes);
    }

    // Removes an earlier copy of the patient from the archive and packs it. False when that
    // failed (the user was told and the patient is left in the practice).
    bool RemoveFromArchiveIfThere() {
        if (!InArchive()) return true;
        try {
            m_status.ShowStatus(kStatusTitle, "Deleting Patient (" + Number() + ") from the archive.", true);
            Log("Deleting if this information is already in the Archive.");
            deletion::DeletePatientRecords(*m_archive, m_ptNum);
            m_archive->Execute("DELETE FROM IdentFil WHERE PtNum = " + Number(), -1);
            Reconnect();
            m_status.ShowStatus(kStatusTitle, "Packing database.", true);
            m_archive->Execute("SET EXCLUSIVE ON", -1);
            for (const auto& [table, key] : kPatientTables)
                m_archive->Execute("PACK \"" + m_archiveFolder + "/" + table + "\"", -1);
            m_archive->Execute("SET EXCLUSIVE OFF", -1);
            Reconnect();
            return true;
        } catch (const std::exception&) {
            ui::MsgBox("Patient # " + Number() + " already in archive.", ui::Icon::Information, "Archive Failure.");
            // Leave no exclusive use behind for the patients that follow.
            try {
                if (m_archive && m_archive->State() == 1) m_archive->Execute("SET EXCLUSIVE OFF", -1);
            } catch (const std::exception&) {
            }
            return false;
        }
    }

    // Whether the archive holds rows of the patient, marked deleted ones included. IdentFil
    // answers for a patient archived whole; the other tables are asked too because a run
    // stopped while packing the archive leaves IdentFil packed and the others still holding
    // the patient's marked rows, which a candidate tag (Case's CaseNum) counts as taken.
    bool InArchive() {
        for (const auto& [table, key] : kPatientTables) {
            const std::string condition = std::string(key) + " = " + Number();
            if (HasRows(*m_archive, "SET DELETED OFF; SELECT " + std::string(key) + " FROM " + table + " WHERE " + condition))
                return true;
        }
        return false;
    }

    void CopyTable(engine::api::Connection& practice, const std::string& table, const std::string& key) {
        m_status.ShowStatus(kStatusTitle,
                            "Record " + std::to_string(m_counter) + " of " + std::to_string(m_window.SelectedCount()) +
                                ".\r\n    Acct #:  " + Number() + "\r\nCopying patient data for table:  " + table,
                            true);
        Log("Copy data for table:  " + table);
        engine::api::Recordset target;
        target.Open(table, *m_archive, engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic,
                    engine::api::kAdCmdTable);
        engine::api::Recordset source;
        source.Open("SELECT * FROM " + table + " WHERE " + key + " = " + Number(), practice,
                    engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);
        for (; !source.Eof(); source.MoveNext()) {
            target.AddNew();
            AdoTools::CopyRecord(source.Fields(), target);
            target.Update();
        }
        source.Close();
        target.Close();
    }

    static void DeleteFromPractice(engine::api::Connection& practice, int32_t patient) {
        deletion::DeletePatientRecords(practice, patient);
        practice.Execute("DELETE FROM IdentFil WHERE PtNum = " + std::to_string(patient), -1);
    }

    // Finishes the practice deletion of a journaled patient, whose archive copy is complete.
    void FinishDeletion(int32_t patient) {
        Log("Finishing the deletion of patient " + std::to_string(patient) + " from the practice database.");
        // The copy is checked once more: without it in the archive the practice keeps the patient.
        if (HasRows(*m_archive, "SELECT PtNum FROM IdentFil WHERE PtNum = " + std::to_string(patient)))
            DeleteFromPractice(Practice(), patient);
        m_journal.Remove(patient);
    }

    void FinishJournaledDeletions() {
        for (int32_t patient : m_journal.Pending()) FinishDeletion(patient);
    }

    ArchiveWindow& m_window;
    StatusServices& m_status;
    std::string m_dataFolder;
    std::string m_archiveFolder;
    ArchiveJournal m_journal;
    std::unique_ptr<engine::api::Connection> m_archive;
    int m_counter = 0;
    int32_t m_ptNum = 0;
    bool m_loopBegun = false;
};

}  // namespace

std::string ArchiveCompleteText() {
    return "In order to achieve any performance improvements, have all\r\n"
           "users exit the system and then issue the PACK command\r\n"
           "from the Start menu as:\r\n"
           "\r\n"
           "\tStart->Programs->Corvane->Corvane Pack.";
}

bool ArchiveRunInProgress() { return g_clickActive || g_runActive; }

void ArchiveSelectedPatients(ArchiveWindow& window) {
    if (g_runActive) return;
    Busy busy(g_runActive);
    Run run(window);
    try {
        run.Execute();
    } catch (...) {
        run.Fail();
    }
}

void cmdArchive_Click(ArchiveWindow& window) {
    if (ArchiveRunInProgress()) return;
    const std::string databasePath = window.DatabasePath();
    engine::api::Connection* practice = window.PracticeConnection();
    if (databasePath.empty() || !practice) return;
    Busy busy(g_clickActive);

    if (!deletion::CheckDeletePassword(practice, window.DeletePasswordPrompt())) {
        ui::MsgBox("You must have DELETE privileges to archive.\r\nArchive aborted!", ui::Icon::Exclamation,
                   "Archive aborted.");
        return;
    }
    const std::string dataFolder = common::RemoveBackslash(common::FolderOf(databasePath));
    std::error_code error;
    if (!std::filesystem::is_directory(dataFolder + "/Archive", error))
        common::RunAndWait({window.ProgramPath(), "-create" + databasePath});

    window.SetStopFlag(false);
    window.ShowStopButton(true);
    ArchiveSelectedPatients(window);
    window.ShowStopButton(false);
    try {
        window.ReloadCurrentFolder();
    } catch (...) {
        product::ReportError(kModule, "cmdArchive_Click", common::CurrentErrorText(), true);
    }
    ui::MsgBox(ArchiveCompleteText(), ui::Icon::Information, "Archive Complete");
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
