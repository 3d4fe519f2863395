// The merge of the reference tables into the archive on a disk that says no: the disk is full
// from each write the merge makes in the archive on, and each sync it makes there fails, in
// turn. Each faulty merge ends with a numbered error naming the file and the system's reason
// (none passes for a success); afterwards, read with the real file layer, the practice is as
// it was, every table of the archive opens and reads, and the next merge, on a sound disk,
// leaves the archive as a merge nobody disturbed does.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <optional>

#include "app/archive_run_fixture.h"
#include "archive/merge_tables.h"
#include "engine/dbf/fault_file_system.h"
#include "engine/error.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "disk_fault_kinds.h"
#include "whole_database.h"

namespace {

namespace fs = std::filesystem;
using engine::dbf::FaultyFileSystem;
using fault_testing::ReadWholeDatabase;
using fault_testing::WholeDatabase;

const std::string kArchiveFiles = "/archive/";

struct FaultyMerge {
    explicit FaultyMerge(const std::function<void(FaultyFileSystem&)>& arrange) {
        log.emplace(dir / "Corvane.log");
        // Practice and archive from different seeds: the merge overwrites and adds rows.
        static const testing_support::TempDir pristine;
        static const bool made = [] {
            sample::WriteSampleDatabase(pristine / "practice", {.patients = 2, .seed = 7});
            sample::WriteSampleDatabase(pristine / "archive", {.patients = 2, .seed = 8});
            return true;
        }();
        (void)made;
        fs::copy(pristine.Path(), dir.Path(), fs::copy_options::recursive);
        practiceBefore = ReadWholeDatabase(dir / "practice");
        engine::dbf::ScopedFileSystem scoped(faults);
        faults.SkipSyncs(true);
        arrange(faults);
        try {
            Merge();
        } catch (const engine::Error& e) {
            number = e.Number();
            error = e.Description();
        }
    }

    // The next merge, on a sound disk (whose syncs are skipped: they only cost time here).
    void MergeAgain() {
        FaultyFileSystem sound;
        sound.SkipSyncs(true);
        engine::dbf::ScopedFileSystem scoped(sound);
        Merge();
    }

    void Merge() {
        auto practice = AdoTools::Connect_DBC((dir / "practice").string(), "Corvane.dbc");
        auto archive = AdoTools::Connect_DBC((dir / "archive").string(), "Corvane.dbc");
        archive_run_testing::RecordingStatus status;
        app::MergeTables(*practice, *archive, status);
    }

    testing_support::TempDir dir;
    std::optional<testing_support::LogCapture> log;
    FaultyFileSystem faults;
    WholeDatabase practiceBefore;
    long number = 0;
    std::string error;
};

// Each fault of every kind at each call the merge makes in the archive: the disk full from a
// write on, and a sync the disk refuses once (the sync of a recordset's writes as it closes
// too, which must not pass for a success).
TEST(MergeFaults, AFaultAtAnyWriteOrSyncIsReportedAndTheNextMergeLosesNothing) {
    const FaultyMerge clean([](FaultyFileSystem&) {});
    ASSERT_EQ(clean.error, "");
    const WholeDatabase merged = ReadWholeDatabase(clean.dir / "archive");
    for (const fault_testing::DiskFaultKind& kind : fault_testing::kDiskFaultKinds) {
        const long calls = clean.faults.Calls(kind.op, kArchiveFiles);
        ASSERT_GT(calls, 4);
        for (long nth = 1; nth <= calls; ++nth) {
            SCOPED_TRACE(std::string(kind.what) + " " + std::to_string(nth) + " of " + std::to_string(calls) +
                         " fails");
            FaultyMerge run([&](FaultyFileSystem& faults) {
                faults.FailCall(kind.op, kArchiveFiles, nth, kind.error, kind.times);
            });
            ASSERT_GT(run.faults.FaultsInjected(), 0);
            EXPECT_EQ(run.number, engine::err::kFileAccess) << run.error;
            const std::string said = "Cannot " + std::string(kind.what) + " file '" + (run.dir / "archive").string();
            EXPECT_NE(run.error.find(said + "/"), std::string::npos) << run.error;
            EXPECT_NE(run.error.find(std::string("': ") + kind.reason + "."), std::string::npos) << run.error;
            try {
                EXPECT_EQ(ReadWholeDatabase(run.dir / "practice"), run.practiceBefore);
                ReadWholeDatabase(run.dir / "archive");
                run.MergeAgain();
                EXPECT_EQ(ReadWholeDatabase(run.dir / "archive"), merged);
            } catch (const engine::Error& e) {
                ADD_FAILURE() << e.Description();
            }
        }
    }
}

}  // namespace
