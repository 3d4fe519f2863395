// The restore on generated practice databases: patients archived by the archive run come back
// row for row (every field, the record numbers included), with their notes files, and leave
// the archive; patients live in the practice again or whose record numbers are taken there
// are skipped and listed; the password, the sheet and the run record.
#include "archive/restore_run.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/run_lock.h"
#include "restore_fixture.h"

namespace {

using namespace restore_testing;

class RestoreRunTest : public RestoreDatabasesTest {
protected:
    void MakeDatabases(int patients, uint64_t seed) {
        MakePractice(Data(), patients, seed);
        MakeArchiveAndRemember();
    }
    // A patient with at least one Case row, other than those in except.
    int32_t WithCases(const std::vector<int32_t>& except) const {
        for (const Row& row : original.at("Case"))
            if (std::find(except.begin(), except.end(), row.patient) == except.end()) return row.patient;
        return 0;
    }
    std::vector<std::string> ArchLog(const std::string& fields) {
        std::vector<std::string> rows;
        auto archive = AdoTools::Connect_DBC(Archive().string(), "Corvane.dbc");
        engine::api::Recordset log;
        log.Open("SELECT " + fields + " FROM ArchLog", *archive);
        for (; !log.Eof(); log.MoveNext()) {
            std::string text;
            for (engine::api::Field& field : log.Fields()) {
                std::string value = AdoTools::VariantText(field.Value());
                while (!value.empty() && value.back() == ' ') value.pop_back();
                text += value + "|";
            }
            rows.push_back(text);
        }
        return rows;
    }
};

TEST_F(RestoreRunTest, TwentyFivePatientsComeBackRowForRowWithTheirNotesAndLeaveTheArchive) {
    MakeDatabases(40, 31);
    const std::vector<int32_t> chosen(all.begin() + 5, all.begin() + 30);
    for (int32_t p : chosen)
        testing_support::WriteFile(Data() / "Notes" / (std::to_string(p) + ".rtf"), "notes " + std::to_string(p));
    ArchiveAndPack(Data(), chosen);
    for (int32_t p : chosen) ASSERT_EQ(RowsOf(Read(Archive()), p, false), RowsOf(original, p, false)) << p;

    ui::RecordingUi shown;
    FakeRestoreFace face(Data());
    const archive::RestoreSummary summary = archive::RestorePatients(face, chosen);
    face.Close();
    EXPECT_EQ(summary.ending, archive::RestoreSummary::Ending::Complete);
    EXPECT_EQ(summary.restored, 25);
    EXPECT_TRUE(summary.skipped.empty());
    EXPECT_EQ(archive::RestoreSummaryLine(summary), "Restored 25 of 25 patients; 0 skipped.");
    EXPECT_TRUE(shown.Messages().empty());
    ASSERT_EQ(face.sheets.size(), 1u);
    EXPECT_EQ(face.sheets[0].toRestore.size(), 25u);
    EXPECT_EQ(face.sheets[0].notesFiles, 25);
    EXPECT_EQ(face.stopButton, (std::vector<bool>{true, false}));

    const Snapshot practice = Read(Data()), archived = Read(Archive());
    long rows = 0;
    for (int32_t p : chosen) {
        // Every field of every row, the record numbers (CaseNum) included.
        EXPECT_EQ(RowsOf(practice, p, false), RowsOf(original, p, false)) << "patient " << p;
        EXPECT_EQ(CountOf(RowsOf(archived, p, false)), 0u) << "patient " << p;
        const std::string name = std::to_string(p) + ".rtf";
        EXPECT_EQ(testing_support::ReadFile(Data() / "Notes" / name), "notes " + std::to_string(p));
        EXPECT_FALSE(fs::exists(Archive() / "Notes" / name));
        rows += static_cast<long>(CountOf(RowsOf(original, p, false)));
    }
    long moved = 0;
    for (const auto& [table, count] : summary.rowsMoved) moved += count;
    EXPECT_EQ(moved, rows);
    EXPECT_EQ(face.sheets[0].TotalRows(), rows);
    // The patients who stayed are untouched.
    for (int32_t p : all) {
        if (std::find(chosen.begin(), chosen.end(), p) == chosen.end()) {
            EXPECT_EQ(RowsOf(practice, p, false), RowsOf(original, p, false)) << "patient " << p;
        }
    }
    EXPECT_FALSE(fs::exists(Archive() / archive::kRestoreJournal));
    EXPECT_FALSE(fs::exists(Archive() / archive::kRestoreCopying));

    const std::vector<std::string> log = ArchLog("Action, StartedBy, Requested, Archived, Skipped, Outcome");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "restore|window|25|25|0|Restored 25 of 25 patients; 0 skipped.|");

    // And they can be archived again.
    ArchiveAndPack(Data(), chosen);
    for (int32_t p : chosen) EXPECT_EQ(RowsOf(Read(Archive()), p, false), RowsOf(original, p, false)) << p;
}

TEST_F(RestoreRunTest, PatientsLiveAgainOrWithATakenRecordNumberAreSkippedAndListed) {
    MakeDatabases(12, 7);
    const int32_t again = all[0];
    const int32_t taken = WithCases({again});
    ASSERT_NE(taken, 0);
    const int32_t fine = *std::find_if(all.begin(), all.end(), [&](int32_t p) { return p != again && p != taken; });
    ArchiveAndPack(Data(), {again, taken, fine});
    {
        // The practice enters a patient under the same number again, and another patient's
        // case gets one of the archived case numbers.
        auto practice = AdoTools::Connect_DBC(Data().string(), "Corvane.dbc");
        practice->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (" + std::to_string(again) + ", 'NEWCOMER')");
        engine::api::Recordset cases;
        cases.Open("SELECT CaseNum FROM Case WHERE PtNum = " + std::to_string(taken),
                   *AdoTools::Connect_DBC(Archive().string(), "Corvane.dbc"));
        ASSERT_FALSE(cases.Eof());
        const std::string caseNum = AdoTools::VariantText(cases.Fields().Item(0L).Value());
        practice->Execute("INSERT INTO Case (CaseNum, PtNum) VALUES (" + caseNum + ", " + std::to_string(all.back()) +
                          ")");
    }
    const Snapshot archivedBefore = Read(Archive());

    ui::RecordingUi shown;
    FakeRestoreFace face(Data());
    const archive::RestoreSummary summary = archive::RestorePatients(face, {fine, taken, again});
    face.Close();
    ASSERT_EQ(face.sheets.size(), 1u);
    EXPECT_EQ(face.sheets[0].toRestore, std::vector<int32_t>{fine});
    ASSERT_EQ(face.sheets[0].refused.size(), 2u);
    std::map<int32_t, std::string> refused;
    for (const auto& r : face.sheets[0].refused) refused[r.ptNum] = r.reason;
    EXPECT_EQ(refused[again], "in the practice database again");
    EXPECT_NE(refused[taken].find("is taken in the practice database"), std::string::npos) << refused[taken];
    EXPECT_EQ(refused[taken].rfind("Case CaseNum ", 0), 0u) << refused[taken];

    EXPECT_EQ(summary.restored, 1);
    EXPECT_EQ(summary.skipped.size(), 2u);
    const std::string closing = archive::RestoreCompleteText(summary);
    EXPECT_NE(closing.find("Patient " + std::to_string(again) + ": in the practice database again"), std::string::npos);
    const Snapshot practice = Read(Data()), archived = Read(Archive());
    EXPECT_EQ(RowsOf(practice, fine, false), RowsOf(original, fine, false));
    for (int32_t p : {again, taken}) EXPECT_EQ(RowsOf(archived, p, false), RowsOf(archivedBefore, p, false)) << p;
}

TEST_F(RestoreRunTest, ARowMarkedDeletedThatIsNotHisHoldsTheNumberUntilThePracticeIsPacked) {
    MakeDatabases(6, 3);
    {
        ui::RecordingUi silent;
        FakeWindow window(Data());
        window.SelectPatients({all[1]});
        app::cmdArchive_Click(window);
    }
    {
        // The practice's marked row under his number no longer has his values.
        auto table = engine::Table::Open(Data() / "IdentFil.dbf");
        const size_t ptNum = static_cast<size_t>(table->FieldIndex("PtNum"));
        uint32_t r = 0;
        while (table->ReadValue(r, ptNum).As<int64_t>() != all[1]) ++r;
        ASSERT_TRUE(table->IsDeleted(r));
        engine::Record record = table->ReadRecord(r);
        record.values[static_cast<size_t>(table->FieldIndex("LastNam"))] = engine::Value("SOMEONE ELSE");
        table->Overwrite(r, record.values);
        table->Flush();
    }
    const Snapshot before = Read(Data());
    ui::RecordingUi shown;
    FakeRestoreFace face(Data());
    const archive::RestoreSummary summary = archive::RestorePatients(face, {all[1]});
    ASSERT_EQ(face.sheets.size(), 1u);
    ASSERT_EQ(face.sheets[0].refused.size(), 1u);
    EXPECT_NE(face.sheets[0].refused[0].reason.find("pack it first"), std::string::npos);
    EXPECT_EQ(summary.restored, 0);
    face.Close();
    EXPECT_EQ(RowsOf(Read(Archive()), all[1], false), RowsOf(original, all[1], false));
    EXPECT_EQ(Read(Data()), before);

    // Packed, the number is free and he comes back.
    app::PackFolder(Data().string());
    FakeRestoreFace again(Data());
    EXPECT_EQ(archive::RestorePatients(again, {all[1]}).restored, 1);
    again.Close();
    EXPECT_EQ(RowsOf(Read(Data()), all[1], false), RowsOf(original, all[1], false));
}

TEST_F(RestoreRunTest, AWrongPasswordOrACancelledSheetChangesNothing) {
    MakePractice(Data(), 6, 4, "Secret");
    MakeArchiveLike(Data(), Archive());
    original = Read(Data());
    for (const Row& row : original.at("IdentFil")) all.push_back(row.patient);
    {
        ui::RecordingUi silent;
        FakeWindow window(Data());
        window.prompt.answer = "Secret";
        window.SelectPatients({all[2]});
        app::cmdArchive_Click(window);
    }
    app::PackFolder(Data().string());
    const Snapshot practiceBefore = Read(Data()), archiveBefore = Read(Archive());

    ui::RecordingUi shown;
    FakeRestoreFace face(Data());
    face.prompt.answer = "secret";
    archive::RestoreSummary summary = archive::RestorePatients(face, {all[2]});
    EXPECT_EQ(summary.ending, archive::RestoreSummary::Ending::Refused);
    ASSERT_EQ(shown.Messages().size(), 1u);
    EXPECT_EQ(shown.Messages()[0].title, "Restore aborted.");
    EXPECT_EQ(shown.Messages()[0].text, "You must have DELETE privileges to restore.\r\nRestore aborted!");
    EXPECT_TRUE(face.sheets.empty());

    face.prompt.answer = "Secret";
    face.confirm = false;
    summary = archive::RestorePatients(face, {all[2]});
    EXPECT_EQ(summary.ending, archive::RestoreSummary::Ending::Cancelled);
    EXPECT_EQ(face.sheets.size(), 1u);
    face.Close();
    EXPECT_EQ(Read(Data()), practiceBefore);
    EXPECT_EQ(Read(Archive()), archiveBefore);
}

TEST_F(RestoreRunTest, StopEndsAfterThePatientInHand) {
    MakeDatabases(10, 9);
    const std::vector<int32_t> chosen(all.begin(), all.begin() + 4);
    ArchiveAndPack(Data(), chosen);
    ui::RecordingUi shown;
    FakeRestoreFace face(Data());
    face.status.onShow = [&](const std::string& text) {
        if (text.find("Record 2 of 4") != std::string::npos) face.status.stopFlag = true;
    };
    const archive::RestoreSummary summary = archive::RestorePatients(face, chosen);
    face.Close();
    EXPECT_EQ(summary.ending, archive::RestoreSummary::Ending::Stopped);
    EXPECT_EQ(summary.restored, 2);
    EXPECT_EQ(archive::RestoreSummaryLine(summary), "Restored 2 of 4 patients; 0 skipped; stopped by the user.");
    const Snapshot practice = Read(Data()), archived = Read(Archive());
    for (size_t i = 0; i < chosen.size(); ++i) {
        const bool back = i < 2;
        EXPECT_EQ(RowsOf(back ? practice : archived, chosen[i], false), RowsOf(original, chosen[i], false))
            << chosen[i];
        EXPECT_EQ(CountOf(RowsOf(back ? archived : practice, chosen[i], false)), 0u) << chosen[i];
    }
}

TEST_F(RestoreRunTest, ARunUnderWayElsewhereRefusesTheRestoreAndTheRecordSaysSo) {
    MakeDatabases(6, 5);
    ArchiveAndPack(Data(), {all[3]});
    const Snapshot practiceBefore = Read(Data()), archiveBefore = Read(Archive());
    archive::RunLock held = archive::RunLock::TryAcquire(Archive().string(), archive::LockPurpose::Run);
    ASSERT_TRUE(held.Held());

    ui::RecordingUi shown;
    FakeRestoreFace face(Data());
    const archive::RestoreSummary summary = archive::RestorePatients(face, {all[3]});
    face.Close();
    EXPECT_EQ(summary.ending, archive::RestoreSummary::Ending::Refused);
    ASSERT_EQ(shown.Messages().size(), 1u);
    EXPECT_EQ(shown.Messages()[0].title, "Restore aborted.");
    EXPECT_EQ(shown.Messages()[0].text, held.RefusalText());
    EXPECT_TRUE(face.sheets.empty());
    held.Release();
    EXPECT_EQ(Read(Data()), practiceBefore);
    EXPECT_EQ(Read(Archive()), archiveBefore);
    const std::vector<std::string> log = ArchLog("Action, Archived, Outcome");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "restore|0|" + held.RefusalText() + "|");
}

}  // namespace
