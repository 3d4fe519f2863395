// `Archive --batch DATABASE --restore` through the real program with no display: the patients
// asked for by number or by a condition on the archive come back, the sheet goes to standard
// error and the summary to standard output, a restore without an archive fails, and a dry run
// prints the sheet and writes nothing.
#include <gtest/gtest.h>

#include "batch_fixture.h"
#include "sample_schema.h"
#include "restore_fixture.h"

namespace {

using namespace batch_testing;
using restore_testing::ArchiveAndPack;

class BatchRestoreTest : public BatchArchiveTest {
protected:
    void SetUp() override {
        BatchArchiveTest::SetUp();
        MakePractice(Data(), 8, 12);
        original = Read(Data());
        for (const Row& row : original.at("IdentFil")) all.push_back(row.patient);
    }
    fs::path Archive() const { return Data() / "Archive"; }
    Ended Restore(std::vector<std::string> args) {
        args.insert(args.begin(), {"--batch", Dbc(), "--restore"});
        return Run(args);
    }
    long ArchLogRows() {
        auto archive = AdoTools::Connect_DBC(Archive().string(), "Corvane.dbc");
        engine::api::Recordset rows;
        rows.Open("SELECT Action FROM ArchLog", *archive);
        long count = 0;
        for (; !rows.Eof(); rows.MoveNext()) ++count;
        return count;
    }

    Snapshot original;
    std::vector<int32_t> all;
};

TEST_F(BatchRestoreTest, PatientsByNumberAndByConditionOnTheArchiveComeBack) {
    MakeArchiveLike(Data(), Archive());
    ArchiveAndPack(Data(), {all[0], all[2], all[5]});

    Ended ended = Restore({"--patients", std::to_string(all[2])});
    ASSERT_EQ(ended.status, 0) << ended.err;
    EXPECT_TRUE(Contains(ended.out, "Restored 1 of 1 patient; 0 skipped.")) << ended.out;
    EXPECT_TRUE(Contains(ended.err, "Patients to restore: 1")) << ended.err;
    EXPECT_EQ(RowsOf(Read(Data()), all[2], false), RowsOf(original, all[2], false));

    ended = Restore({"--where", "PtNum >= " + std::to_string(all[0])});
    ASSERT_EQ(ended.status, 0) << ended.err;
    EXPECT_TRUE(Contains(ended.out, "Restored 2 of 2 patients; 0 skipped.")) << ended.out;
    const Snapshot now = Read(Data());
    for (int32_t p : all) EXPECT_EQ(RowsOf(now, p, false), RowsOf(original, p, false)) << p;
}

TEST_F(BatchRestoreTest, WithoutAnArchiveNothingIsRestoredAndTheStatusSaysError) {
    for (const bool dryRun : {false, true}) {
        std::vector<std::string> args = {"--patients", std::to_string(all[0])};
        if (dryRun) args.push_back("--dry-run");
        const Ended ended = Restore(args);
        EXPECT_EQ(ended.status, 1) << dryRun;
        EXPECT_TRUE(Contains(ended.err, "There is no archive database to restore from")) << ended.err;
        EXPECT_EQ(Read(Data()), original);
        EXPECT_FALSE(fs::exists(Archive()));
    }
}

TEST_F(BatchRestoreTest, ADryRunPrintsTheRestoreSheetAndWritesNothing) {
    MakeArchiveLike(Data(), Archive());
    WriteFile(Data() / "Notes" / (std::to_string(all[3]) + ".rtf"), "notes");
    ArchiveAndPack(Data(), {all[1], all[3], all[4]});
    // The practice takes one of them on again under his number.
    AdoTools::Connect_DBC(Data().string(), "Corvane.dbc")
        ->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (" + std::to_string(all[4]) + ", 'NEWCOMER')");
    const Snapshot practiceBefore = Read(Data()), archiveBefore = Read(Archive());
    const long logRows = ArchLogRows();
    fs::remove(Archive() / "ArchRun.lck");

    const Ended run = Restore(
        {"--patients", std::to_string(all[1]) + "," + std::to_string(all[3]) + "," + std::to_string(all[4]) + ",99999",
         "--dry-run"});

    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Archive folder: " + Archive().string() +
                                "\nPatients asked for: 4\nPatients to restore: 2\nRows to move back: ",
                            0),
              0u)
        << run.out;
    EXPECT_TRUE(Contains(run.out, "Notes files: 1\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Skipped (left in the archive): 2\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  Patient " + std::to_string(all[4]) + " (")) << run.out;
    EXPECT_TRUE(Contains(run.out, "): in the practice database again\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "  Patient 99999: not in the archive\n")) << run.out;
    EXPECT_FALSE(Contains(run.out, "Restored")) << run.out;
    // No row, no notes file, no run lock, no run record.
    EXPECT_EQ(Read(Data()), practiceBefore);
    EXPECT_EQ(Read(Archive()), archiveBefore);
    EXPECT_TRUE(fs::exists(Archive() / "Notes" / (std::to_string(all[3]) + ".rtf")));
    EXPECT_FALSE(fs::exists(Data() / "Notes" / (std::to_string(all[3]) + ".rtf")));
    EXPECT_FALSE(fs::exists(Archive() / "ArchRun.lck"));
    EXPECT_EQ(ArchLogRows(), logRows);

    // A wrong delete password refuses the dry run as it refuses the restore.
    AdoTools::Connect_DBC(Data().string(), "Corvane.dbc")
        ->Execute("UPDATE Passwords SET DeletePwd = '" + sample::EncodePassword("Secret") + "'");
    WriteFile(m_dir / "pwd", "Wrong\n");
    const Ended refused =
        Restore({"--patients", std::to_string(all[1]), "--dry-run", "--password-file", (m_dir / "pwd").string()});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Contains(refused.err, "You must have DELETE privileges to restore.")) << refused.err;
    EXPECT_TRUE(refused.out.empty()) << refused.out;
}

}  // namespace
