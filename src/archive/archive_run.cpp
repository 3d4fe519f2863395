#include "archive/archive_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "archive/archive_journal.h"
#include "archive/archive_paths.h"
#include "archive/busy_flag.h"
#include "archive/merge_tables.h"
#include "archive/patient_copy.h"
#include "archive/patient_tables.h"
#include "archive/restore_run.h"
#include "archive/run_files.h"
#include "common/exception_text.h"
#include "common/files.h"
#include "common/paths.h"
#include "common/process.h"
#include "common/product.h"
#include "common/ui.h"
#include "db/ado_tools.h"
#include "engine/api/connection.h"
#include "engine/api/recordset.h"
#include "engine/dbf/file_system.h"
#include "engine/error.h"

namespace app {
namespace {

constexpr const char* kModule = "frmArchive";
constexpr const char* kProcedure = "ArchiveSelectedPatients";
constexpr const char* kStatusTitle = "Updating Archive";
// The title as the status services take it, made once.
const std::string& StatusTitle() {
    static const std::string title(kStatusTitle);
    return title;
}
constexpr const char* kContainer = "Corvane.dbc";
// A program-defined error (FoxPro's number for errors a program raises itself).
constexpr long kCopyDiffers = 1098;

bool g_runActive = false;
bool g_verifyCopies = true;
std::function<void(engine::api::Connection&)> g_beforeVerify;

// Whether log lines are written at all: the per-patient lines are not even composed otherwise.
bool LogOn() { return product::DebugFlags != 0; }
void Log(const std::string& text) {
    if (LogOn()) product::WriteLog(kModule, kProcedure, text);
}

using archive::CheckDeletable;
using archive::DeferredFlush;
using archive::DeleteUnforced;
bool Exists(const std::string& path) { return archive::FileExists(path); }

std::string NotesOf(const std::string& folder, int32_t patient) {
    return folder + "/Notes/" + std::to_string(patient) + ".rtf";
}

// The patients of the group who brought a notes file.
std::vector<int32_t> NotesOwners(const CopyGroup& group) {
    std::vector<int32_t> patients;
    for (size_t i = 0; i < group.copies.size(); ++i)
        if (!group.sourceNotes[i].empty()) patients.push_back(group.copies[i].patient);
    return patients;
}

// One archive run: its paths, the archive connection, the patient loop's state and the group
// of patients copied but not yet committed.
class Run {
public:
    Run(ArchiveWindow& window, std::vector<SelectedEntry> entries)
        : m_window(window),
          m_status(window.Status()),
          m_dataFolder(common::RemoveBackslash(common::FolderOf(window.DatabasePath()))),
          m_archiveFolder(archive::ArchiveFolderOf(m_dataFolder)),
          m_journal(m_archiveFolder),
          m_entries(std::move(entries)) {
        for (const archive::PatientTable& t : kPatientTables) m_summary.rowsCopied.emplace_back(t.table, 0);
        for (const SelectedEntry& entry : m_entries) m_summary.requested += entry.rowIndex >= 1 ? 1 : 0;
    }

    void Execute() {
        Log("Archive = " + m_archiveFolder);
        Connect();
        engine::api::Connection& practice = Practice();
        DeferredFlush deferred(practice);
        FinishJournaledDeletions();
        // A restore that was interrupted is finished first: no half-restored patient is archived.
        archive::FinishInterruptedRestore(practice, *m_archive, m_dataFolder, m_archiveFolder);
        MergeTables(practice, *m_archive, m_status);
        if (m_status.StopRequested()) return Stop();
        m_loopBegun = true;

        for (long entry = static_cast<long>(m_entries.size()); entry >= 1; --entry) {
            if (m_status.StopRequested()) return Stop();
            if (LogOn()) Log("Getting selected item # " + std::to_string(entry));
            const SelectedEntry& selected = m_entries[static_cast<size_t>(entry - 1)];
            if (selected.rowIndex < 1) continue;  // a group heading or another row without a record
            m_ptNum = selected.patient;
            if (LogOn()) Log("  PtNum = " + std::to_string(m_ptNum));
            m_status.ShowStatus(StatusTitle(), "Updating Patient:  " + std::to_string(m_ptNum), true);
            if (m_ptNum < 1) {
                CommitGroup();
                ui::MsgBox("Something is terribly wrong with the patient list.", ui::Icon::Exclamation, "Archive");
                m_summary.ending = RunSummary::Ending::Error;
                m_summary.errorText = "Something is terribly wrong with the patient list.";
                return End();
            }
            ArchivePatient(entry);
            m_status.ShowProgress(++m_handled, m_summary.requested);
            if (m_group.Due()) CommitGroup();
        }
        CommitGroup();
        End();
    }

    // Ends the run after an error: the patients copied whole before it are committed, the
    // balloon goes, the archive connection is released and the error is reported with the
    // patient in hand.
    void Fail() {
        std::string message = common::CurrentErrorText();
        m_summary.ending = RunSummary::Ending::Error;
        const int32_t inHand = m_ptNum;
        try {
            CommitGroup();
        } catch (...) {
            Log("  The patients copied before the error could not be committed: " + common::CurrentErrorText());
        }
        m_ptNum = inHand;
        m_status.HideStatus();
        CloseArchive();
        if (m_loopBegun) message += "\r\nArchiving Patient #: " + std::to_string(m_ptNum);
        m_summary.errorText = message;
        product::ReportError(kModule, kProcedure, message, true);
    }

    const RunSummary& Summary() const { return m_summary; }

private:
    engine::api::Connection& Practice() {
        engine::api::Connection* practice = m_window.PracticeConnection();
        if (!practice) throw engine::Error(engine::err::kNotOpen, "The practice database is not connected.");
        return *practice;
    }

    void Connect() {
        m_archive = AdoTools::Connect_DBC(m_archiveFolder, kContainer);
        m_archive->SetDeferredFlush(true);
    }

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

    void Stop() {
        m_summary.ending = RunSummary::Ending::Stopped;
        CommitGroup();
        End();
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

    void Skip(const std::string& why) { m_summary.skipped.emplace_back(m_ptNum, why); }

    // Reads the practice rows of the patients from entry (from 1) down, up to a group's worth
    // and up to the first patient met twice, and which of them the archive already holds.
    void Prefetch(long entry) {
        std::vector<int32_t> patients;
        std::set<int32_t> seen;
        for (; entry >= 1 && patients.size() < kGroupPatients; --entry) {
            const SelectedEntry& selected = m_entries[static_cast<size_t>(entry - 1)];
            if (selected.rowIndex < 1) continue;
            if (selected.patient < 1 || !seen.insert(selected.patient).second) break;
            patients.push_back(selected.patient);
        }
        m_prefetched = ReadPatientCopies(Practice(), *m_archive, patients);
        // The earlier archive copies of those still in the practice go before any of them is
        // copied: once for them all, after the group in hand is committed (a pack needs the
        // archive's tables to itself, and the group's copies durable first).
        const std::set<int32_t> inArchive = PatientsHeld(*m_archive, patients);
        std::vector<int32_t> held;  // in the order they are handled
        for (int32_t patient : patients)
            if (inArchive.count(patient) && !m_prefetched.at(patient).tables[0].records.empty())
                held.push_back(patient);
        m_notRemoved.clear();
        if (held.empty()) return;
        CommitGroup();
        m_notRemoved = RemoveFromArchive(held);
    }

    void ArchivePatient(long entry) {
        // Selected twice: the first copy is committed before the patient is looked at again.
        if (m_group.Holds(m_ptNum)) CommitGroup();
        if (!m_prefetched.count(m_ptNum)) Prefetch(entry);
        PatientCopy copy = std::move(m_prefetched.extract(m_ptNum).mapped());
        const std::string practiceNotes = CopyNotes();

        // A patient no longer in the practice (selected twice, or deleted meanwhile) has
        // nothing to copy; replacing its archive copy would throw that copy away.
        if (copy.tables[0].records.empty()) {
            Log("  Patient " + Number() + " is no longer in the practice database.");
            if (!practiceNotes.empty()) DeleteUnforced(practiceNotes);
            Skip("not in the practice database");
            return;
        }
        if (m_notRemoved.count(m_ptNum)) {
            ++m_counter;
            Skip("already in the archive, and its archive copy could not be removed");
            return;
        }
        ++m_counter;
        // The rows were read with the group's; the balloon and the log still tell each table.
        std::string text = "Record " + std::to_string(m_counter) + " of " + std::to_string(m_entries.size()) +
                           ".\r\n    Acct #:  " + Number() + "\r\nCopying patient data for table:  ";
        const size_t lead = text.size();
        for (const archive::PatientTable& t : kPatientTables) {
            text.resize(lead);
            text += t.table;
            m_status.ShowStatus(StatusTitle(), text, true);
            if (LogOn()) Log("Copy data for table:  " + std::string(t.table));
        }
        m_group.Add(std::move(copy), practiceNotes);
    }

    // Gives the practice notes file its archive name (a hard link where the file system allows,
    // else a copy over any archive copy). Returns the practice file, to be deleted once the
    // patient's archive copy is committed; empty when there is none.
    std::string CopyNotes() {
        std::string practiceNotes = NotesOf(m_dataFolder, m_ptNum);
        struct stat info {};
        if (engine::dbf::CurrentFileSystem().Stat(practiceNotes, &info) != 0) return {};
        if (!m_notesFolderMade) m_notesFolderMade = common::MakePath(m_archiveFolder + "/Notes");
        std::string archiveNotes = NotesOf(m_archiveFolder, m_ptNum);
        const bool copied = archive::LinkOrCopy(practiceNotes, archiveNotes);
        m_group.AddNotes(std::move(archiveNotes), copied);
        // A file that cannot be deleted ends the run now, before the patient is copied.
        if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) CheckDeletable(practiceNotes);
        return practiceNotes;
    }

    // Takes away the archive names this run gave the notes files of patients who stay in the
    // practice: a name that is a second name of the practice file only (a copy stays, as an
    // earlier copy there would).
    void UnlinkNotes(const std::vector<int32_t>& patients) {
        for (int32_t patient : patients)
            archive::RemoveLink(NotesOf(m_dataFolder, patient), NotesOf(m_archiveFolder, patient));
    }

    // Makes the group's archive copies durable, checks them, and deletes the patients whose
    // copy is sound from the practice, in the order the header of this module gives.
    void CommitGroup() {
        if (m_group.Empty()) return;
        const CopyGroup group = m_group.Take();
        int32_t failed = 0;
        try {
            WriteGroup(*m_archive, m_archiveFolder, group, failed);
        } catch (...) {
            if (failed) m_ptNum = failed;
            UnlinkNotes(NotesOwners(group));
            throw;
        }

        std::map<int32_t, std::string> bad;
        if (g_verifyCopies) {
            if (g_beforeVerify) g_beforeVerify(*m_archive);
            bad = VerifyCopies(*m_archive, group.copies);
        }
        // The rows were read a while ago, with the group's: a patient whose practice rows
        // another user has changed since (a row added or deleted) is not deleted from the
        // practice, where the deletion would take rows the archive has not got.
        std::map<int32_t, std::string> changed = ChangedInPractice(Practice(), group.copies);
        for (const auto& [patient, difference] : bad) changed.erase(patient);
        std::set<int32_t> good;
        for (const PatientCopy& copy : group.copies)
            if (!bad.count(copy.patient) && !changed.count(copy.patient)) good.insert(copy.patient);

        engine::api::Connection& practice = Practice();
        CommitGood(
            m_journal, practice, group, good, [&] { DeleteCopiedRows(practice, group.copies, good); },
            m_summary.archived, m_summary.rowsCopied);
        if (!changed.empty()) SetAsideChanged(changed);
        if (!bad.empty()) RejectCopies(bad);
    }

    // Logs each patient of patients with what differed (as describe words it), counts him
    // skipped for reason and removes his archive copy, leaving him whole in the practice.
    template <typename Describe>
    void LeaveInPractice(const std::map<int32_t, std::string>& patients, const char* reason, Describe describe) {
        std::vector<int32_t> numbers;
        for (const auto& [patient, difference] : patients) {
            Log("  " + describe(std::to_string(patient), difference));
            m_summary.skipped.emplace_back(patient, reason);
            numbers.push_back(patient);
        }
        UnlinkNotes(numbers);
        for (int32_t patient : RemoveFromArchive(numbers))
            Log("  The archive copy of patient " + std::to_string(patient) + " could not be removed.");
    }

    // Leaves the patients changed in the practice during the run there, as they are now, and
    // removes their archive copies; a later run archives them whole.
    void SetAsideChanged(const std::map<int32_t, std::string>& changed) {
        LeaveInPractice(changed, "changed in the practice database during the run",
                        [](const std::string& patient, const std::string& difference) {
                            return "Patient " + patient +
                                   " was changed in the practice database while being archived: " + difference;
                        });
    }

    // Leaves the patients whose archive copy differs in the practice, removes their copies and
    // ends the run with an error naming the first.
    void RejectCopies(const std::map<int32_t, std::string>& bad) {
        LeaveInPractice(bad, "its archive copy differed from the practice database",
                        [](const std::string& patient, const std::string& difference) {
                            return "The archive copy of patient " + patient +
                                   " differs from the practice database: " + difference;
                        });
        const auto& [patient, difference] = *bad.begin();
        m_ptNum = patient;
        throw engine::Error(kCopyDiffers, "The archive copy of patient " + std::to_string(patient) +
                                              " differs from the practice database (" + difference +
                                              "); the patient was left in the practice database.");
    }

    // Removes the copies of the patients from the archive, patient by patient, then packs the
    // archive once. Returns the patients whose copy could not be removed (the user was told,
    // and they are left in the practice): those whose rows could not be deleted, or all of
    // them when the pack failed.
    std::set<int32_t> RemoveFromArchive(const std::vector<int32_t>& patients) {
        std::set<int32_t> failed;
        if (patients.empty()) return failed;
        for (int32_t patient : patients) {
            const std::string number = std::to_string(patient);
            try {
                m_status.ShowStatus(kStatusTitle, "Deleting Patient (" + number + ") from the archive.", true);
                Log("Deleting if this information is already in the Archive.");
                deletion::DeletePatientRecords(*m_archive, patient);
                m_archive->Execute(std::string(kPatientTables[0].deleteStatement) + number, -1);
            } catch (const std::exception&) {
                failed.insert(patient);
            }
        }
        if (failed.size() == patients.size()) return Refused(failed);
        try {
            Reconnect();
            m_status.ShowStatus(kStatusTitle, "Packing database.", true);
            m_archive->Execute("SET EXCLUSIVE ON", -1);
            for (const archive::PatientTable& t : kPatientTables)
                m_archive->Execute("PACK \"" + m_archiveFolder + "/" + std::string(t.table) + "\"", -1);
            m_archive->Execute("SET EXCLUSIVE OFF", -1);
            Reconnect();
        } catch (const std::exception&) {
            failed.insert(patients.begin(), patients.end());
            // Leave no exclusive use behind for the patients that follow.
            try {
                if (m_archive && m_archive->State() == 1) m_archive->Execute("SET EXCLUSIVE OFF", -1);
            } catch (const std::exception&) {
            }
            if (!m_archive) Connect();
        }
        return Refused(failed);
    }

    // Tells the user of the patients whose archive copy could not be removed; returns them.
    static std::set<int32_t> Refused(const std::set<int32_t>& patients) {
        for (int32_t patient : patients)
            ui::MsgBox("Patient # " + std::to_string(patient) + " already in archive.", ui::Icon::Information,
                       "Archive Failure.");
        return patients;
    }

    // A table that cannot be written ends the run with the patient still in the journal:
    // skipping it would report him archived with rows left in the practice.
    static void DeleteFromPractice(engine::api::Connection& practice, int32_t patient) {
        deletion::DeletePatientRecordsOrThrow(practice, patient);
        practice.Execute(std::string(kPatientTables[0].deleteStatement) + std::to_string(patient), -1);
    }

    // Finishes the practice deletion of the journaled patients, whose archive copies are
    // complete, and clears the journal.
    void FinishJournaledDeletions() {
        const std::set<int32_t> pending = m_journal.Pending();
        if (pending.empty()) return;
        engine::api::Connection& practice = Practice();
        for (int32_t patient : pending) {
            const std::string number = std::to_string(patient);
            Log("Finishing the deletion of patient " + number + " from the practice database.");
            // The copy is checked once more: without it in the archive the practice keeps the patient.
            if (!HasRows(*m_archive, "SELECT PtNum FROM IdentFil WHERE PtNum = " + number)) continue;
            DeleteFromPractice(practice, patient);
            const std::string practiceNotes = NotesOf(m_dataFolder, patient);
            if (Exists(practiceNotes) && Exists(NotesOf(m_archiveFolder, patient))) {
                try {
                    DeleteUnforced(practiceNotes);
                } catch (const std::exception&) {
                    Log("  Cannot delete " + practiceNotes);
                }
            }
        }
        practice.Flush();
        m_journal.Remove(pending);
    }

    ArchiveWindow& m_window;
    StatusServices& m_status;
    std::string m_dataFolder;
    std::string m_archiveFolder;
    ArchiveJournal m_journal;
    std::unique_ptr<engine::api::Connection> m_archive;
    std::vector<SelectedEntry> m_entries;
    int m_counter = 0;
    long m_handled = 0;
    int32_t m_ptNum = 0;
    bool m_loopBegun = false;
    bool m_notesFolderMade = false;  // the archive's Notes folder is there
    RunSummary m_summary;
    // The patients copied into the archive and not yet committed.
    CopyGroup m_group;
    // The practice rows of the patients that come next, read together. Which of them the
    // archive holds is asked when they are read (rows marked deleted included: IdentFil answers
    // for a patient archived whole, the other tables because a run stopped while packing the
    // archive leaves IdentFil packed and the others still holding the patient's marked rows,
    // which a candidate tag (Case's CaseNum) counts as taken), and those copies are removed
    // then. Only this run writes the archive, so what it holds changes only by the run's own
    // commits and removals.
    std::map<int32_t, PatientCopy> m_prefetched;
    // Those of them whose earlier archive copy could not be removed: they are skipped.
    std::set<int32_t> m_notRemoved;
};

}  // namespace

void SetVerifyCopies(bool verify) { g_verifyCopies = verify; }

void SetBeforeVerifyHook(std::function<void(engine::api::Connection&)> hook) { g_beforeVerify = std::move(hook); }

bool ArchiveLoopInProgress() { return g_runActive; }

std::vector<SelectedEntry> TakeSelection(ArchiveWindow& window) {
    // The patient numbers of the selection, so that nothing the face does during the run
    // (sorting, another folder) changes what is archived.
    std::vector<SelectedEntry> entries;
    const long count = window.SelectedCount();
    for (long entry = 1; entry <= count; ++entry) {
        SelectedEntry selected;
        selected.rowIndex = window.SelectedRowIndex(entry);
        if (selected.rowIndex >= 1) selected.patient = window.PatientNumberOfRow(selected.rowIndex);
        entries.push_back(selected);
    }
    return entries;
}

RunSummary ArchiveSelectedPatients(ArchiveWindow& window) {
    std::vector<SelectedEntry> entries;
    try {
        entries = TakeSelection(window);
    } catch (...) {
        RunSummary failed;
        failed.ending = RunSummary::Ending::Error;
        failed.errorText = common::CurrentErrorText();
        product::ReportError(kModule, kProcedure, failed.errorText, true);
        return failed;
    }
    return ArchiveSelectedPatients(window, std::move(entries));
}

RunSummary ArchiveSelectedPatients(ArchiveWindow& window, std::vector<SelectedEntry> entries) {
    if (g_runActive) return {};
    BusyFlag busy(g_runActive);
    Run run(window, std::move(entries));
    try {
        run.Execute();
    } catch (...) {
        run.Fail();
    }
    return run.Summary();
}

}  // namespace app
