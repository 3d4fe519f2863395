// Batch runs of the real program beside other runs and start-ups on the same data folder: two
// runs on overlapping patients started at the same instant, a second run and a window start-up
// (with its pack of the archive) while a run is under way, and --dry-run. Afterwards every
// patient is whole in exactly one of the practice and the archive, and the archive holds no
// row of a patient without his identity row.
#include <signal.h>

#include <chrono>
#include <thread>

#include "archive/run_lock.h"
#include "batch_fixture.h"
#include "common/process.h"
#include "db/ado_tools.h"
#include "engine/api/recordset.h"

namespace {

using namespace batch_testing;

const std::string kInProgress = " has been in progress since ";
const std::string kTryAgain = ". Try again when it has finished.";

class BatchRunLockTest : public BatchArchiveTest {
protected:
    std::string List(int32_t from, int32_t to) const {
        std::string list;
        for (int32_t p = from; p <= to; ++p) list += (list.empty() ? "" : ",") + std::to_string(p);
        return list;
    }

    // Every patient whole in exactly one place, and no archive rows without an identity row.
    void ExpectEveryPatientWholeInOnePlace(const Snapshot& before, int32_t patients, int& archived) {
        const Snapshot practice = Read(Data()), archive = Read(Data() / "Archive");
        archived = 0;
        for (int32_t p = 1; p <= patients; ++p) {
            const auto rows = RowsOf(before, p, false);
            const bool inPractice = RowsOf(practice, p, false) == rows;
            const bool inArchive = RowsOf(archive, p, false) == rows;
            EXPECT_NE(inPractice, inArchive) << "patient " << p;
            if (!inPractice) {
                EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u) << "patient " << p;
            }
            if (!inArchive) {
                EXPECT_EQ(CountOf(RowsOf(archive, p, false)), 0u) << "patient " << p;
            }
            archived += inArchive ? 1 : 0;
        }
        for (const auto& [table, rows] : archive) {
            for (const Row& row : rows) {
                if (!row.deleted) {
                    EXPECT_FALSE(RowsOf(archive, row.patient, false)["IdentFil"].empty())
                        << table << " row of patient " << row.patient << " without his identity row";
                }
            }
        }
    }

    // Waits until the run lock of the archive is held by pid.
    bool WaitForLockOf(pid_t pid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            const auto holder = archive::RunLock::CurrentHolder((Data() / "Archive").string());
            if (holder && holder->pid == pid && holder->purpose == archive::LockPurpose::Run) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
};

TEST_F(BatchRunLockTest, TwoRunsStartedAtOnceOnOverlappingPatientsLeaveEveryPatientWholeInOnePlace) {
    MakePractice(Data(), 240);
    MakeArchiveLike(Data(), Data() / "Archive");
    const Snapshot before = Read(Data());

    const pid_t a = Start({"--batch", Dbc(), "--patients", List(1, 160)}, "a");
    const pid_t b = Start({"--batch", Dbc(), "--patients", List(81, 240)}, "b");
    const Ended first = Wait(a, "a"), second = Wait(b, "b");

    // One of them ran; the other was refused at once, or ran after the first had ended.
    for (const Ended* run : {&first, &second}) {
        ASSERT_TRUE(run->status == 0 || run->status == 1) << run->err;
        if (run->status == 1) {
            EXPECT_TRUE(Contains(run->err, "Archive: An archive run by " + common::GetLoginName() + " on "));
            EXPECT_TRUE(Contains(run->err, kInProgress)) << run->err;
            EXPECT_TRUE(Contains(run->err, kTryAgain)) << run->err;
            EXPECT_TRUE(run->out.empty()) << run->out;
        }
    }
    EXPECT_FALSE(first.status == 1 && second.status == 1);
    int archived = 0;
    ExpectEveryPatientWholeInOnePlace(before, 240, archived);
    EXPECT_GE(archived, 160);
}

TEST_F(BatchRunLockTest, WhileARunIsUnderWayASecondRunIsRefusedAndAStartUpDoesNotPack) {
    MakePractice(Data(), 200);
    MakeArchiveLike(Data(), Data() / "Archive");
    const Snapshot before = Read(Data());
    WriteFile(m_dir / "app" / (common::GetLoginName() + ".xml"),
              "<?xml version=\"1.0\"?>\n<Data>\n\t<Recent-Files>\n\t\t<RecentFile1>" + Dbc() +
                  "</RecentFile1>\n\t</Recent-Files>\n</Data>\n");

    // The first run is caught while it holds the archive, and held there.
    const pid_t a = Start({"--batch", Dbc(), "--where", "PtNum > 0"}, "a");
    ASSERT_TRUE(WaitForLockOf(a));
    kill(a, SIGSTOP);
    const Snapshot practiceMeanwhile = Read(Data()), archiveMeanwhile = Read(Data() / "Archive");

    const Ended second = Run({"--batch", Dbc(), "--patients", "5,150,199"});
    EXPECT_EQ(second.status, 1);
    EXPECT_TRUE(Contains(second.err, "An archive run by ")) << second.err;
    EXPECT_TRUE(Contains(second.err, kInProgress)) << second.err;
    EXPECT_TRUE(Contains(second.err, kTryAgain)) << second.err;
    EXPECT_EQ(Read(Data()), practiceMeanwhile);
    EXPECT_EQ(Read(Data() / "Archive"), archiveMeanwhile);

    // Another workstation starts the program: its start-up leaves the archive unpacked.
    const Ended startUp = Wait(Start({"-D", "--quit-after-load"}, "w", {"QT_QPA_PLATFORM=offscreen"}), "w");
    EXPECT_NE(startUp.status, -1) << startUp.err;
    const std::string log = ReadFile(m_dir / "app" / "Corvane.log");
    EXPECT_TRUE(Contains(log, "frmArchive/LoadDatabase:  Archive not packed: An archive run by ")) << log;

    kill(a, SIGCONT);
    const Ended first = Wait(a, "a");
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_TRUE(Contains(first.out, "Archived 200 of 200 patients; 0 skipped.")) << first.out;
    int archived = 0;
    ExpectEveryPatientWholeInOnePlace(before, 200, archived);
    EXPECT_EQ(archived, 200);
    EXPECT_FALSE(archive::RunLock::CurrentHolder((Data() / "Archive").string()).has_value());

    // Both runs left their row in the archive's ArchLog, the refused one too.
    auto archive = AdoTools::Connect_DBC((Data() / "Archive").string(), "Corvane.dbc");
    engine::api::Recordset records;
    records.Open("SELECT StartedBy, Requested, Archived FROM ArchLog", *archive);
    EXPECT_EQ(records.RecordCount(), 2);
}

TEST_F(BatchRunLockTest, ADryRunPrintsThePreflightSheetAndWritesNothing) {
    MakePractice(Data(), 8);
    const Snapshot before = Read(Data());

    const Ended run = Run({"--batch", Dbc(), "--patients", "2,3,40", "--dry-run"});

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Patients to archive: 3\nArchive folder: " + (Data() / "Archive").string() +
                                " (will be created)\nRows to move:\n  IdentFil    2\n",
                            0),
              0u)
        << run.out;
    EXPECT_TRUE(Contains(run.out, "Patients no longer in the practice database (skipped): 1\n")) << run.out;
    EXPECT_FALSE(fs::exists(Data() / "Archive"));
    EXPECT_EQ(Read(Data()), before);
}

}  // namespace
