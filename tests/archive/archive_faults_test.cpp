// The archive run on a disk that says no. The archive's disk fills up at any point of a run
// (every write to the archive from then on fails), or one of the archive's fsyncs fails: the
// run ends with the error report naming the file and the system's reason, and afterwards,
// read again from disk, every selected patient is whole in the practice or, deleted there,
// whole in the archive; a patient whose archive copy could not be made durable keeps every
// practice row. Every patient has a notes file: it ends in the practice or, for a patient
// deleted there, in the archive, with what it held.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

#include "app/archive_run_fixture.h"
#include "common/recording_ui.h"
#include "engine/dbf/fault_file_system.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace archive_run_testing;
using engine::dbf::FaultyFileSystem;
using testing_support::TempDir;

const std::vector<int32_t> kPatients = {1, 2, 3, 4, 5, 6};
const std::string kArchiveFiles = "/archive/";  // every file in the archive folder

// One archive run of kPatients over a fresh practice and archive, with the faults that
// arrange sets up on the archive's files.
struct FaultyRun {
    // With thenStartAgain a second run of the same patients, on the sound disk, follows the
    // faulty one: it finishes first what the journal says was left half done, then skips the
    // patients that are no longer in the practice and archives the others.
    explicit FaultyRun(const std::function<void(FaultyFileSystem&)>& arrange, bool thenStartAgain = false) {
        log.emplace(dir / "Corvane.log");
        MakePractice(Data(), 6);
        MakeArchiveLike(Data(), Archive());
        for (int32_t p : kPatients) testing_support::WriteFile(Notes(Data(), p), NotesText(p));
        before = Read(Data());
        {
            // Installed before the window opens its tables: a file keeps the file system it
            // was opened through.
            engine::dbf::ScopedFileSystem scoped(faults);
            FakeWindow window(Data());
            window.SelectPatients(kPatients);
            arrange(faults);
            summary = app::cmdArchive_Click(window);
            report = Report();
        }
        if (thenStartAgain) {
            FakeWindow again(Data());
            again.SelectPatients(kPatients);
            app::cmdArchive_Click(again);
        }
        practice = Read(Data());
        archive = Read(Archive());
        log.reset();
    }

    fs::path Data() const { return dir / "data"; }
    fs::path Archive() const { return dir / "data" / "Archive"; }
    static fs::path Notes(const fs::path& folder, int32_t p) { return folder / "Notes" / (std::to_string(p) + ".rtf"); }
    static std::string NotesText(int32_t p) { return "notes of patient " + std::to_string(p); }

    // The error report the faulty run showed before its closing message ("" when none).
    std::string Report() const {
        const auto messages = ui.Messages();
        return messages.size() >= 2 ? messages[messages.size() - 2].text : std::string();
    }

    // Each selected patient is whole in the practice, or deleted there and whole in the
    // archive; returns how many were archived.
    long CheckNothingLost() const {
        long archived = 0;
        for (int32_t p : kPatients) {
            const auto was = RowsOf(before, p, false);
            const auto live = RowsOf(practice, p, false);
            if (live == was) {
                // In the practice, or in the archive of a patient journaled there.
                const fs::path notes = fs::exists(Notes(Data(), p)) ? Notes(Data(), p) : Notes(Archive(), p);
                EXPECT_EQ(testing_support::ReadFile(notes), NotesText(p)) << "patient " << p;
                continue;
            }
            ++archived;
            EXPECT_EQ(testing_support::ReadFile(Notes(Archive(), p)), NotesText(p)) << "patient " << p;
            EXPECT_FALSE(fs::exists(Notes(Data(), p))) << "patient " << p;
            EXPECT_EQ(CountOf(live), 0u) << "patient " << p << " is partly deleted from the practice";
            EXPECT_EQ(RowsOf(archive, p, false), was) << "patient " << p << " is deleted but not whole in the archive";
        }
        return archived;
    }

    TempDir dir;
    ui::RecordingUi ui;
    std::optional<testing_support::LogCapture> log;
    FaultyFileSystem faults;
    app::RunSummary summary;
    std::string report;
    Snapshot before, practice, archive;
};

TEST(ArchiveFaults, ADiskThatFillsUpAtAnyPointOfARunLosesNoPatient) {
    // How many writes an undisturbed run makes to the archive.
    const FaultyRun clean([](FaultyFileSystem&) {});
    ASSERT_EQ(clean.summary.ending, app::RunSummary::Ending::Complete);
    ASSERT_EQ(clean.CheckNothingLost(), static_cast<long>(kPatients.size()));
    // The run's audit row comes last, once its outcome is known, and a failure to write it is
    // only logged: the matrix covers the writes before it.
    long auditWrites = 0;
    for (const char* file : {"/archive/archlog", "/archive/corvane.dbc", "/archive/corvane.dct"})
        auditWrites += clean.faults.Calls(FaultyFileSystem::Op::Write, file);
    const long writes = clean.faults.Calls(FaultyFileSystem::Op::Write, kArchiveFiles) - auditWrites;
    ASSERT_GT(writes, 16);

    for (long step = 0; step < 8; ++step) {
        const long nth = 1 + writes * step / 8;
        SCOPED_TRACE("the disk is full from archive write " + std::to_string(nth) + " of " + std::to_string(writes));
        const FaultyRun run([&](FaultyFileSystem& faults) {
            faults.FailCall(FaultyFileSystem::Op::Write, kArchiveFiles, nth, ENOSPC, FaultyFileSystem::kEveryCall);
        });
        EXPECT_EQ(run.CheckNothingLost(), run.summary.archived);
        ASSERT_GT(run.faults.FaultsInjected(), 0);
        EXPECT_EQ(run.summary.ending, app::RunSummary::Ending::Error);
        const std::string report = run.report;
        EXPECT_NE(report.find("Error #: 2, Descr: Cannot write file '" + run.Archive().string() + "/"),
                  std::string::npos)
            << report;
        EXPECT_NE(report.find("': No space left on device."), std::string::npos) << report;
        EXPECT_LT(run.summary.archived, static_cast<long>(kPatients.size()));
    }
}

TEST(ArchiveFaults, ADiskThatFillsUpUnderThePracticeAndItsArchiveLosesNoPatientOnceTheNextRunHasStarted) {
    const std::string kAllFiles = "/data/";  // the practice and the archive below it
    const FaultyRun clean([](FaultyFileSystem&) {});
    // As above, the writes before the run's audit row (whose failure is only logged).
    long auditWrites = 0;
    for (const char* file : {"/archive/archlog", "/archive/corvane.dbc", "/archive/corvane.dct"})
        auditWrites += clean.faults.Calls(FaultyFileSystem::Op::Write, file);
    const long writes = clean.faults.Calls(FaultyFileSystem::Op::Write, kAllFiles) - auditWrites;
    ASSERT_GT(writes, clean.faults.Calls(FaultyFileSystem::Op::Write, kArchiveFiles) - auditWrites);

    for (long step = 1; step < 8; ++step) {
        const long nth = writes * step / 8;
        SCOPED_TRACE("the disk is full from write " + std::to_string(nth) + " of " + std::to_string(writes));
        const FaultyRun run(
            [&](FaultyFileSystem& faults) {
                faults.FailCall(FaultyFileSystem::Op::Write, kAllFiles, nth, ENOSPC, FaultyFileSystem::kEveryCall);
            },
            true);
        ASSERT_GT(run.faults.FaultsInjected(), 0);
        EXPECT_EQ(run.summary.ending, app::RunSummary::Ending::Error);
        EXPECT_NE(run.report.find("': No space left on device."), std::string::npos) << run.report;
        run.CheckNothingLost();
    }
}

TEST(ArchiveFaults, APracticeTableThatCannotBeWrittenWhileItsPatientsAreDeletedKeepsThemForTheNextRun) {
    const FaultyRun run(
        [](FaultyFileSystem& faults) {
            faults.FailCall(FaultyFileSystem::Op::Write, "/data/PmtAndChrg.dbf", 1, EIO, FaultyFileSystem::kEveryCall);
        },
        true);
    ASSERT_GT(run.faults.FaultsInjected(), 0);
    EXPECT_EQ(run.summary.ending, app::RunSummary::Ending::Error);
    EXPECT_EQ(run.summary.archived, 0);
    EXPECT_NE(
        run.report.find("Cannot write file '" + (run.Data() / "PmtAndChrg.dbf").string() + "': Input/output error."),
        std::string::npos)
        << run.report;
    // The next run finished the deletion of the patients whose copies were complete.
    EXPECT_GT(run.CheckNothingLost(), 0);
}

TEST(ArchiveFaults, AFailedFsyncOfTheArchiveLeavesTheGroupInThePractice) {
    const FaultyRun clean([](FaultyFileSystem&) {});
    const long syncs = clean.faults.Calls(FaultyFileSystem::Op::Sync, kArchiveFiles);
    ASSERT_GT(syncs, 0);

    // Ten of them, spread over the run (the groups' boundaries fall where the time says).
    for (long step = 0; step < 10; ++step) {
        const long nth = 1 + syncs * step / 10;
        SCOPED_TRACE("archive fsync " + std::to_string(nth) + " of " + std::to_string(syncs) + " fails");
        const FaultyRun run(
            [&](FaultyFileSystem& faults) { faults.FailCall(FaultyFileSystem::Op::Sync, kArchiveFiles, nth, EIO); });
        ASSERT_EQ(run.faults.FaultsInjected(), 1);
        const long archived = run.CheckNothingLost();
        EXPECT_EQ(archived, run.summary.archived);
        if (run.summary.ending == app::RunSummary::Ending::Complete) {
            // Only an fsync of a folder may fail unreported.
            EXPECT_EQ(archived, static_cast<long>(kPatients.size()));
            continue;
        }
        const std::string report = run.report;
        EXPECT_NE(report.find("Error #: 2, Descr: Cannot flush file '" + run.Archive().string() + "/"),
                  std::string::npos)
            << report;
        EXPECT_NE(report.find("': Input/output error."), std::string::npos) << report;
        // The first fsync of the archive belongs to the first group: nobody is deleted.
        if (nth == 1) {
            EXPECT_EQ(archived, 0);
        }
    }
}

}  // namespace
