#include "archive/restore_run.h"

#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "archive/archive_journal.h"
#include "archive/archive_paths.h"
#include "archive/archive_run.h"
#include "archive/busy_flag.h"
#include "archive/copy_group.h"
#include "archive/patient_copy.h"
#include "archive/patient_tables.h"
#include "archive/run_files.h"
#include "archive/run_lock.h"
#include "archive/run_record.h"
#include "common/exception_text.h"
#include "common/files.h"
#include "common/paths.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/error.h"

namespace archive {
namespace {

using engine::api::Connection;

constexpr const char* kModule = "frmRestore";
constexpr const char* kProcedure = "RestoreSelectedPatients";
constexpr const char* kStatusTitle = "Restoring Patients";
constexpr const char* kAbortedTitle = "Restore aborted.";
// A program-defined error (FoxPro's number for errors a program raises itself).
constexpr long kCopyDiffers = 1098;

bool g_restoreActive = false;

void Log(const std::string& text) { product::WriteLog(kModule, kProcedure, text); }

std::string NotesOf(const std::string& folder, int32_t patient) {
    return folder + "/Notes/" + std::to_string(patient) + ".rtf";
}

bool HasLiveIdentity(Connection& connection, int32_t patient) {
    engine::api::Recordset rows;
    rows.Open("SELECT PtNum FROM IdentFil WHERE PtNum = " + std::to_string(patient), connection,
              engine::api::kAdOpenStatic, engine::api::kAdLockOptimistic, -1);
    return rows.State() == 1 && !rows.Eof();
}

void DeletePatient(Connection& connection, int32_t patient) {
    deletion::DeletePatientRecords(connection, patient);
    connection.Execute(std::string(kPatientTables[0].deleteStatement) + std::to_string(patient), -1);
}

// One restore run over an open archive connection, its lock already held.
class Run {
public:
    Run(RestoreFace& face, Connection& practice, Connection& archive, std::string dataFolder, std::string archiveFolder)
        : m_face(face),
          m_status(face.Status()),
          m_practice(practice),
          m_archive(archive),
          m_dataFolder(std::move(dataFolder)),
          m_archiveFolder(std::move(archiveFolder)),
          m_journal(m_archiveFolder, kRestoreJournal),
          m_copying(m_archiveFolder, kRestoreCopying),
          m_checker(practice, archive) {
        for (const PatientTable& t : kPatientTables) m_summary.rowsMoved.emplace_back(t.table, 0);
    }

    // The patients are those of the sheet the user confirmed.
    void Execute(const RestoreSheet& sheet) {
        DeferredFlush practiceFlush(m_practice);
        DeferredFlush archiveFlush(m_archive);
        m_summary.requested = sheet.patients;
        for (const RestoreRefusal& refusal : sheet.refused)
            m_summary.skipped.emplace_back(refusal.ptNum, refusal.reason);
        m_loopBegun = true;
        long counter = 0;
        for (int32_t patient : sheet.toRestore) {
            if (m_status.StopRequested()) {
                m_summary.ending = RestoreSummary::Ending::Stopped;
                break;
            }
            m_ptNum = patient;
            ++counter;
            Log("  PtNum = " + std::to_string(patient));
            // Checked again: the practice may have changed since the sheet was counted.
            if (std::optional<std::string> blocker = m_checker.Blocker(patient)) {
                Log("  Patient " + std::to_string(patient) + " is skipped: " + *blocker);
                m_summary.skipped.emplace_back(patient, *blocker);
                continue;
            }
            RestorePatient(counter, static_cast<long>(sheet.toRestore.size()));
            m_status.ShowProgress(counter, static_cast<long>(sheet.toRestore.size()));
            if (m_group.Due()) CommitGroup();
        }
        CommitGroup();
        m_status.HideStatus();
    }

    // Ends the run after an error: the patients copied whole before it are committed, and the
    // error is reported with the patient in hand.
    void Fail() {
        std::string message = common::CurrentErrorText();
        m_summary.ending = RestoreSummary::Ending::Error;
        const int32_t inHand = m_ptNum;
        try {
            CommitGroup();
        } catch (...) {
            Log("  The patients copied before the error could not be committed: " + common::CurrentErrorText());
        }
        m_status.HideStatus();
        if (m_loopBegun && inHand > 0) message += "\r\nRestoring Patient #: " + std::to_string(inHand);
        m_errorText = message;
        product::ReportError(kModule, kProcedure, message, true);
    }

    RestoreSummary& Summary() { return m_summary; }
    const std::string& ErrorText() const { return m_errorText; }

private:
    void RestorePatient(long counter, long total) {
        const std::string number = std::to_string(m_ptNum);
        // On the copying list before any of his rows reaches the practice.
        m_copying.Add(m_ptNum);
        const std::string archiveNotes = NotesOf(m_archiveFolder, m_ptNum);
        std::string archiveNotesToDelete;
        if (FileExists(archiveNotes)) {
            const std::string practiceNotes = NotesOf(m_dataFolder, m_ptNum);
            common::MakePath(m_dataFolder + "/Notes");
            // A second name where the file system allows (nothing to do when the practice name
            // is one already, left by an archive run that did not finish), else a copy.
            m_group.AddNotes(practiceNotes, archive::LinkOrCopy(archiveNotes, practiceNotes));
            CheckDeletable(archiveNotes);
            archiveNotesToDelete = archiveNotes;
        }
        app::PatientCopy copy;
        copy.patient = m_ptNum;
        for (size_t t = 0; t < kPatientTables.size(); ++t) {
            const std::string table(kPatientTables[t].table);
            m_status.ShowStatus(kStatusTitle,
                                "Record " + std::to_string(counter) + " of " + std::to_string(total) +
                                    ".\r\n    Acct #:  " + number + "\r\nRestoring patient data for table:  " + table,
                                true);
            Log("Restore data for table:  " + table);
            // From the archive into the practice: the archive is the source here.
            copy.tables[t] = app::CopyPatientTable(m_archive, m_practice, t, m_ptNum);
        }
        m_group.Add(std::move(copy), archiveNotesToDelete);
    }

    void CommitGroup() {
        if (m_group.Empty()) return;
        app::CopyGroup group = m_group.Take();
        // The group's rows go into the practice table by table, then reach the disk at once.
        // Rows the practice still holds marked deleted take their copies back in place first.
        int32_t failed = 0;
        try {
            app::ReviveDeletedTwins(m_practice, group.copies);
            app::WriteGroup(m_practice, m_dataFolder, group, failed);
        } catch (...) {
            if (failed) m_ptNum = failed;
            throw;
        }

        const std::map<int32_t, std::string> bad = app::VerifyCopies(m_practice, group.copies);
        std::set<int32_t> good;
        for (const app::PatientCopy& copy : group.copies)
            if (!bad.count(copy.patient)) good.insert(copy.patient);
        app::CommitGood(
            m_journal, m_archive, group, good,
            [&] {
                m_copying.Remove(good);
                for (int32_t patient : good) DeletePatient(m_archive, patient);
            },
            m_summary.restored, m_summary.rowsMoved);
        if (!bad.empty()) RejectCopies(bad);
    }

    // Marks the practice copies that differ deleted again, and ends the run naming the first.
    void RejectCopies(const std::map<int32_t, std::string>& bad) {
        std::set<int32_t> patients;
        for (const auto& [patient, difference] : bad) {
            Log("  The practice copy of patient " + std::to_string(patient) +
                " differs from the archive: " + difference);
            m_summary.skipped.emplace_back(patient, "his practice copy differed from the archive");
            DeletePatient(m_practice, patient);
            patients.insert(patient);
        }
        m_practice.Flush();
        m_copying.Remove(patients);
        const auto& [patient, difference] = *bad.begin();
        m_ptNum = patient;
        throw engine::Error(kCopyDiffers, "The practice copy of patient " + std::to_string(patient) +
                                              " differs from the archive (" + difference +
                                              "); the patient was left in the archive.");
    }

    RestoreFace& m_face;
    app::StatusServices& m_status;
    Connection& m_practice;
    Connection& m_archive;
    std::string m_dataFolder;
    std::string m_archiveFolder;
    app::ArchiveJournal m_journal;
    app::ArchiveJournal m_copying;
    RestoreChecker m_checker;
    RestoreSummary m_summary;
    int32_t m_ptNum = 0;
    bool m_loopBegun = false;
    std::string m_errorText;
    app::CopyGroup m_group;  // the patients copied into the practice and not yet committed
};

void WriteRecord(Connection* archive, const std::string& archiveFolder, RunRecord record, const RestoreSummary& summary,
                 const std::string& outcome) {
    record.action = "restore";
    record.requested = summary.requested;
    record.archived = summary.restored;
    record.skipped = static_cast<long>(summary.skipped.size());
    for (const auto& [table, rows] : summary.rowsMoved) record.CountRows(table, rows);
    record.outcome = outcome;
    if (archive) WriteRunRecord(*archive, record);
    else WriteRunRecord(archiveFolder, record);
}

}  // namespace

std::string RestoreSummaryLine(const RestoreSummary& summary) {
    std::string line = "Restored " + std::to_string(summary.restored) + " of " + std::to_string(summary.requested) +
                       (summary.requested == 1 ? " patient; " : " patients; ") +
                       std::to_string(summary.skipped.size()) + " skipped";
    switch (summary.ending) {
        case RestoreSummary::Ending::Stopped: return line + "; stopped by the user.";
        case RestoreSummary::Ending::Error:
        case RestoreSummary::Ending::Refused: return line + "; ended by an error (see above).";
        case RestoreSummary::Ending::Cancelled:
        case RestoreSummary::Ending::Complete: break;
    }
    return line + ".";
}

std::string RestoreCompleteText(const RestoreSummary& summary) {
    std::string text = RestoreSummaryLine(summary);
    if (!summary.skipped.empty()) {
        text += "\r\n\r\nLeft in the archive:";
        for (const auto& [patient, why] : summary.skipped)
            text += "\r\n    Patient " + std::to_string(patient) + ": " + why;
    }
    return text;
}

void ShowRestorePrivilegeRefused() {
    ui::MsgBox("You must have DELETE privileges to restore.\r\nRestore aborted!", ui::Icon::Exclamation, kAbortedTitle);
}

bool RestoreInProgress() { return g_restoreActive; }

void FinishInterruptedRestore(Connection& practice, Connection& archive, const std::string& dataFolder,
                              const std::string& archiveFolder) {
    app::ArchiveJournal journal(archiveFolder, kRestoreJournal);
    app::ArchiveJournal copying(archiveFolder, kRestoreCopying);
    const std::set<int32_t> done = journal.Pending();
    std::set<int32_t> partial = copying.Pending();
    if (done.empty() && partial.empty()) return;
    // Complete in the practice: finish their deletion from the archive.
    for (int32_t patient : done) {
        partial.erase(patient);
        if (!HasLiveIdentity(practice, patient)) continue;  // no practice copy: the archive keeps him
        Log("Finishing the restore of patient " + std::to_string(patient) + ": deleting him from the archive.");
        DeletePatient(archive, patient);
        const std::string archiveNotes = NotesOf(archiveFolder, patient);
        if (FileExists(archiveNotes) && FileExists(NotesOf(dataFolder, patient))) {
            try {
                DeleteUnforced(archiveNotes);
            } catch (const std::exception&) {
                Log("  Cannot delete " + archiveNotes);
            }
        }
    }
    archive.Flush();
    // Partly copied into the practice: the archive holds them whole; the partial copy goes.
    for (int32_t patient : partial) {
        Log("Undoing the interrupted restore of patient " + std::to_string(patient) + " in the practice database.");
        DeletePatient(practice, patient);
        const std::string practiceNotes = NotesOf(dataFolder, patient);
        if (FileExists(practiceNotes) && FileExists(NotesOf(archiveFolder, patient))) {
            try {
                DeleteUnforced(practiceNotes);
            } catch (const std::exception&) {
                Log("  Cannot delete " + practiceNotes);
            }
        }
    }
    practice.Flush();
    copying.Remove(copying.Pending());
    journal.Remove(done);
}

RestoreSummary RestorePatients(RestoreFace& face, const std::vector<int32_t>& patients) {
    RestoreSummary summary;
    if (g_restoreActive || app::ArchiveRunInProgress()) return summary;
    app::BusyFlag busy(g_restoreActive);
    const std::set<int32_t> distinct(patients.begin(), patients.end());
    summary.requested = static_cast<long>(distinct.size());
    if (distinct.empty()) {
        ui::MsgBox(kSelectRestorePatientsFirst, ui::Icon::Information, "Archive");
        summary.ending = RestoreSummary::Ending::Cancelled;
        return summary;
    }
    Connection* practice = face.PracticeConnection();
    if (!practice || face.DatabasePath().empty()) {
        summary.ending = RestoreSummary::Ending::Cancelled;
        return summary;
    }
    if (!deletion::CheckDeletePassword(practice, face.DeletePasswordPrompt())) {
        ShowRestorePrivilegeRefused();
        summary.ending = RestoreSummary::Ending::Refused;
        return summary;
    }
    const std::string dataFolder = common::RemoveBackslash(common::FolderOf(face.DatabasePath()));
    const std::string archiveFolder = ArchiveFolderOf(dataFolder);
    RunRecord record = RunRecord::Begin(face.StartedBy());
    if (ArchiveNeedsCreating(archiveFolder)) {
        ui::MsgBox("There is no archive database to restore from:  " + archiveFolder, ui::Icon::Exclamation,
                   kAbortedTitle);
        summary.ending = RestoreSummary::Ending::Refused;
        return summary;
    }

    // The lock is let go last, after the run record is written.
    RunLock lock;
    std::unique_ptr<Connection> archive;
    try {
        lock = RunLock::TryAcquire(archiveFolder, LockPurpose::Run, kWaitForPack);
        if (!lock.Held()) {
            ui::MsgBox(lock.RefusalText(), ui::Icon::Exclamation, kAbortedTitle);
            summary.ending = RestoreSummary::Ending::Refused;
            WriteRecord(nullptr, archiveFolder, record, summary, lock.RefusalText());
            return summary;
        }
        Log("Archive = " + archiveFolder);
        archive = AdoTools::Connect_DBC(archiveFolder, kArchiveContainer);
        FinishInterruptedRestore(*practice, *archive, dataFolder, archiveFolder);
        const RestoreSheet sheet = ComputeRestoreSheet(std::vector<int32_t>(distinct.begin(), distinct.end()),
                                                       *practice, *archive, archiveFolder);
        if (!face.ConfirmRestore(sheet)) {
            summary.ending = RestoreSummary::Ending::Cancelled;
            return summary;
        }
        face.SetStopFlag(false);
        face.ShowStopButton(true);
        Run run(face, *practice, *archive, dataFolder, archiveFolder);
        try {
            run.Execute(sheet);
        } catch (...) {
            run.Fail();
        }
        face.ShowStopButton(false);
        summary = run.Summary();
        WriteRecord(archive.get(), archiveFolder, record, summary,
                    summary.ending == RestoreSummary::Ending::Error ? run.ErrorText() : RestoreSummaryLine(summary));
        archive->Close();
    } catch (...) {
        // Failing before the patient loop: taking the lock, connecting, finishing an
        // interrupted restore or counting the sheet.
        const std::string message = common::CurrentErrorText();
        face.Status().HideStatus();
        face.ShowStopButton(false);
        product::ReportError(kModule, kProcedure, message, true);
        summary.ending = RestoreSummary::Ending::Error;
        WriteRecord(archive.get(), archiveFolder, record, summary, message);
    }
    return summary;
}

}  // namespace archive
