// Creating the archive on a disk that says no: a fault at each write, and at each fsync, the
// creation makes in the archive, in turn. Each faulty creation ends with a numbered error
// naming the file and the system's reason; afterwards, read with the real file layer, the
// practice is as it was, and there is either no archive at all or a whole one (every table
// opens and reads, patient tables empty, reference tables as the practice's); the next
// creation, on a sound disk, makes it whole.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <optional>

#include "archive/archive_creation.h"
#include "archive/archive_paths.h"
#include "common/recording_ui.h"
#include "engine/dbf/fault_file_system.h"
#include "sample_writer.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"
#include "disk_fault_kinds.h"
#include "whole_database.h"

namespace {

namespace fs = std::filesystem;
using engine::dbf::FaultyFileSystem;
using fault_testing::LiveRows;
using fault_testing::ReadWholeDatabase;
using fault_testing::WholeDatabase;

const std::vector<std::string> kPatientTables = {"IdentFil.dbf", "Appointment.dbf", "Case.dbf",   "BillOthe.dbf",
                                                 "MngCare.dbf",  "PostFile.dbf",    "PatIns.dbf", "PmtAndChrg.dbf"};
const std::string kArchiveFiles = "/Archive/";

class QuietStatus : public app::StatusServices {
public:
    void ShowStatus(const std::string&, const std::string&, bool) override {}
    void HideStatus() override {}
    bool StopRequested() override { return false; }
};

struct FaultyCreation {
    explicit FaultyCreation(const std::function<void(FaultyFileSystem&)>& arrange) {
        log.emplace(dir / "Corvane.log");
        // The practice and the blank template are written once and copied for each creation.
        static const testing_support::TempDir pristine;
        static const bool made = [] {
            sample::WriteSampleDatabase(pristine / "data", {.patients = 3, .seed = 11, .deletePassword = ""});
            sample::WriteSampleDatabase(pristine / "app" / "BlankDbc", {.patients = 0, .seed = 1, .blank = true});
            return true;
        }();
        (void)made;
        fs::copy(pristine.Path(), dir.Path(), fs::copy_options::recursive);
        practiceBefore = ReadWholeDatabase(Data());
        {
            engine::dbf::ScopedFileSystem scoped(faults);
            faults.SkipSyncs(true);  // each sync on this disk costs time, and the matrix runs many
            arrange(faults);
            Create();
        }
        for (const auto& line : log->Lines())
            if (line.find("Error") != std::string::npos) reports += line + "\n";
        for (const auto& message : ui.Messages()) reports += message.text + "\n";
    }

    fs::path Data() const { return dir / "data"; }
    fs::path Archive() const { return Data() / "Archive"; }
    void Create() {
        std::unique_ptr<engine::api::Connection> connection;
        app::CreateArchiveDatabase((Data() / "Corvane.dbc").string(), (dir / "app").string(), status, connection);
    }

    // The archive as a finished creation leaves it.
    void ExpectWholeArchive(const WholeDatabase& archive) const {
        for (const auto& [file, rows] : practiceBefore) {
            const bool patientTable =
                std::find(kPatientTables.begin(), kPatientTables.end(), file) != kPatientTables.end();
            if (patientTable) {
                EXPECT_TRUE(LiveRows(archive, file).empty()) << file;
            } else if (file != "Corvane.dbc") {
                EXPECT_EQ(LiveRows(archive, file), LiveRows(practiceBefore, file)) << file;
            }
        }
    }

    // What the faulty creation left, read with the real layer: no archive at all, or a whole
    // one; then the next creation.
    void CheckNothingLost() {
        EXPECT_EQ(ReadWholeDatabase(Data()), practiceBefore) << "the practice changed";
        if (fs::exists(Archive())) {
            const WholeDatabase archive = ReadWholeDatabase(Archive());
            EXPECT_FALSE(archive::ArchiveNeedsCreating(Archive().string())) << "a half-made archive is left";
            SCOPED_TRACE("the archive counts as made");
            ExpectWholeArchive(archive);
            return;
        }
        {
            FaultyFileSystem sound;
            sound.SkipSyncs(true);
            engine::dbf::ScopedFileSystem scoped(sound);
            Create();
        }
        ASSERT_FALSE(archive::ArchiveNeedsCreating(Archive().string()));
        SCOPED_TRACE("the archive made again");
        ExpectWholeArchive(ReadWholeDatabase(Archive()));
    }

    testing_support::TempDir dir;
    ui::RecordingUi ui;
    QuietStatus status;
    std::optional<testing_support::LogCapture> log;
    FaultyFileSystem faults;
    WholeDatabase practiceBefore;
    std::string reports;  // the log's error lines and the messages shown
};

TEST(CreationFaults, AFaultAtAnyWriteOrFsyncOfTheArchiveIsReportedAndLosesNothing) {
    const FaultyCreation clean([](FaultyFileSystem&) {});
    ASSERT_TRUE(clean.reports.empty()) << clean.reports;
    clean.ExpectWholeArchive(ReadWholeDatabase(clean.Archive()));

    for (const fault_testing::DiskFaultKind& kind : fault_testing::kDiskFaultKinds) {
        const long calls = clean.faults.Calls(kind.op, kArchiveFiles);
        ASSERT_GT(calls, 0);
        for (long nth = 1; nth <= calls; ++nth) {
            SCOPED_TRACE(std::string(kind.what) + " " + std::to_string(nth) + " of " + std::to_string(calls));
            FaultyCreation run([&](FaultyFileSystem& faults) {
                faults.FailCall(kind.op, kArchiveFiles, nth, kind.error, kind.times);
            });
            ASSERT_GT(run.faults.FaultsInjected(), 0);
            const std::string said = "Cannot " + std::string(kind.what) + " file '" + run.Archive().string() + "/";
            EXPECT_NE(run.reports.find("Error #: 2, Descr: " + said), std::string::npos) << run.reports;
            EXPECT_NE(run.reports.find(std::string("': ") + kind.reason + "."), std::string::npos) << run.reports;
            try {
                run.CheckNothingLost();
            } catch (const engine::Error& e) {
                ADD_FAILURE() << e.Description();
            }
        }
    }
}

}  // namespace
