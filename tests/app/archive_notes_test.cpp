// The notes files of the archive and restore runs: a practice notes file reaches the archive by
// a second name (a hard link), or by a copy where no link can be made (a name taken by an
// earlier copy, a file system that refuses links); its content is what the practice had; a
// name left by a run that did not finish is taken as made; a patient left in the practice
// loses the archive name; and the restore brings the file back, whichever way it went.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "archive/restore_run.h"
#include "archive_run_fixture.h"
#include "common/recording_ui.h"
#include "engine/dbf/fault_file_system.h"
#include "engine/dbf/file_system.h"
#include "restore_fixture.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace restore_testing;
using engine::dbf::FaultyFileSystem;

class ArchiveNotesTest : public RestoreDatabasesTest {
protected:
    void SetUp() override {
        m_log.emplace(dir / "Corvane.log");
        MakePractice(Data(), 10);
        MakeArchiveAndRemember();
    }
    void TearDown() override {
        app::SetBeforeVerifyHook(nullptr);
        m_log.reset();
    }

    fs::path PracticeNotes(int32_t p) const { return Data() / "Notes" / (std::to_string(p) + ".rtf"); }
    fs::path ArchiveNotes(int32_t p) const { return Archive() / "Notes" / (std::to_string(p) + ".rtf"); }
    static std::string Text(int32_t p) { return "{\\rtf1 notes of patient " + std::to_string(p) + "}"; }
    void WriteNotes(const std::vector<int32_t>& patients) {
        for (int32_t p : patients) testing_support::WriteFile(PracticeNotes(p), Text(p));
    }
    static nlink_t Links(const fs::path& file) {
        struct stat info {};
        return ::stat(file.c_str(), &info) == 0 ? info.st_nlink : 0;
    }

    app::RunSummary ArchiveRun(const std::vector<int32_t>& patients) {
        FakeWindow window(Data());
        window.SelectPatients(patients);
        return app::cmdArchive_Click(window);
    }

    // Each patient's notes are in the archive alone, as the practice had them.
    void ExpectMoved(const std::vector<int32_t>& patients) {
        for (int32_t p : patients) {
            SCOPED_TRACE("patient " + std::to_string(p));
            EXPECT_FALSE(fs::exists(PracticeNotes(p)));
            EXPECT_EQ(testing_support::ReadFile(ArchiveNotes(p)), Text(p));
            EXPECT_EQ(Links(ArchiveNotes(p)), 1u);
        }
    }

    ui::RecordingUi m_ui;
    std::optional<testing_support::LogCapture> m_log;
};

TEST_F(ArchiveNotesTest, NotesMoveByLinkOrOverAnEarlierCopyAndComeBackWithTheRestore) {
    WriteNotes({2, 3, 5, 7});
    // Patient 3 has an earlier copy in the archive, 5 a name left by a run killed before its
    // journal write (a second name of the practice file).
    testing_support::WriteFile(ArchiveNotes(3), "an earlier copy");
    fs::create_hard_link(PracticeNotes(5), ArchiveNotes(5));

    const app::RunSummary summary = ArchiveRun({2, 3, 5, 7});

    EXPECT_EQ(summary.ending, app::RunSummary::Ending::Complete);
    EXPECT_EQ(summary.archived, 4);
    ExpectMoved({2, 3, 5, 7});
    app::PackFolder(Data().string());

    // The restore brings them back, one of them over a name the practice still holds.
    fs::create_hard_link(ArchiveNotes(7), PracticeNotes(7));
    FakeRestoreFace face(Data());
    const archive::RestoreSummary restored = archive::RestorePatients(face, {2, 3, 5, 7});
    face.Close();
    EXPECT_EQ(restored.ending, archive::RestoreSummary::Ending::Complete);
    EXPECT_EQ(restored.restored, 4);
    for (int32_t p : {2, 3, 5, 7}) {
        SCOPED_TRACE("patient " + std::to_string(p));
        EXPECT_EQ(testing_support::ReadFile(PracticeNotes(p)), Text(p));
        EXPECT_FALSE(fs::exists(ArchiveNotes(p)));
    }
}

TEST_F(ArchiveNotesTest, WhereTheFileSystemRefusesLinksTheNotesAreCopied) {
    WriteNotes({2, 4, 6, 8});
    const std::pair<int, int32_t> cases[] = {{EXDEV, 2}, {EPERM, 4}, {EOPNOTSUPP, 6}, {EMLINK, 8}};
    for (const auto& [error, patient] : cases) {
        SCOPED_TRACE(std::strerror(error));
        FaultyFileSystem faults;
        faults.FailCall(FaultyFileSystem::Op::Link, "/Notes/", 1, error, FaultyFileSystem::kEveryCall);
        const engine::dbf::ScopedFileSystem scoped(faults);
        const app::RunSummary summary = ArchiveRun({patient});
        EXPECT_EQ(summary.archived, 1);
        EXPECT_EQ(faults.FaultsInjected(), 1);
        ExpectMoved({patient});
    }
}

TEST_F(ArchiveNotesTest, APatientLeftInThePracticeLosesTheArchiveNameHisNotesGot) {
    WriteNotes({2, 5});
    // Another user adds a payment for patient 5 after his rows were read: he stays.
    app::SetBeforeVerifyHook([this](engine::api::Connection&) {
        auto other = AdoTools::Connect_DBC(Data().string(), "Corvane.dbc");
        other->Execute("DELETE FROM PmtAndChrg WHERE PtNum = 5");
        app::SetBeforeVerifyHook(nullptr);
    });
    ASSERT_FALSE(RowsOf(original, 5, false).at("PmtAndChrg").empty());

    const app::RunSummary summary = ArchiveRun({2, 5});

    EXPECT_EQ(summary.archived, 1);
    ExpectMoved({2});
    EXPECT_EQ(testing_support::ReadFile(PracticeNotes(5)), Text(5));
    EXPECT_EQ(Links(PracticeNotes(5)), 1u);
    EXPECT_FALSE(fs::exists(ArchiveNotes(5)));
}

}  // namespace
