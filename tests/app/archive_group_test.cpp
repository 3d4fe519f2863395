// The archive run's group commit and its checks: a copy that differs from the practice leaves
// its patient untouched there, a journal left by a group is finished at the next start, the
// selection is taken when the run starts, a patient changed by another user after his rows
// were read stays in the practice, and the closing line counts what the run did.
#include <gtest/gtest.h>

#include "archive/archive_journal.h"
#include "archive/archive_run.h"
#include "archive_run_fixture.h"
#include "common/recording_ui.h"
#include "db/ado_tools.h"
#include "engine/api/recordset.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace archive_run_testing;
using testing_support::TempDir;

const std::string kComplete = "\r\n\r\n" + app::ArchiveCompleteText();

class ArchiveGroupTest : public ::testing::Test {
protected:
    void SetUp() override { m_log.emplace(m_dir / "Corvane.log"); }
    void TearDown() override {
        app::SetBeforeVerifyHook(nullptr);
        m_log.reset();
    }

    fs::path Data() const { return m_dir / "data"; }
    fs::path Archive() const { return m_dir / "data" / "Archive"; }

    void Generate(int patients) {
        MakePractice(Data(), patients);
        MakeArchiveLike(Data(), Archive());
        m_window = std::make_unique<FakeWindow>(Data());
    }

    std::string Closing() const {
        const auto messages = m_ui.Messages();
        return messages.empty() ? std::string() : messages.back().text;
    }

    TempDir m_dir;
    ui::RecordingUi m_ui;
    std::unique_ptr<FakeWindow> m_window;
    std::optional<testing_support::LogCapture> m_log;
};

TEST_F(ArchiveGroupTest, ACopyThatDiffersLeavesThePatientInThePracticeAndEndsTheRunNamingHim) {
    Generate(8);
    m_window->SelectPatients({2, 5, 6});
    const Snapshot before = Read(Data());
    // Something between the archive's copy and its check spoils one value of patient 2, the
    // last one handled (whatever groups the others formed, they came before).
    app::SetBeforeVerifyHook([](engine::api::Connection& archive) {
        archive.Execute("UPDATE IdentFil SET LastNam = 'Spoilt' WHERE PtNum = 2");
    });

    const app::RunSummary summary = app::cmdArchive_Click(*m_window);

    const Snapshot practice = Read(Data()), archive = Read(Archive());
    EXPECT_EQ(RowsOf(practice, 2, false), RowsOf(before, 2, false));
    EXPECT_EQ(CountOf(RowsOf(archive, 2, false)), 0u);
    EXPECT_EQ(CountOf(RowsOf(archive, 2, true)), 0u);  // the bad copy is packed away
    // The others were sound and are archived.
    for (int32_t p : {5, 6}) {
        EXPECT_EQ(RowsOf(archive, p, false), RowsOf(before, p, false)) << p;
        EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u) << p;
    }
    EXPECT_FALSE(fs::exists(Archive() / app::ArchiveJournal::kFileName));

    const auto messages = m_ui.Messages();
    ASSERT_GE(messages.size(), 2u);
    const std::string& report = messages[messages.size() - 2].text;
    EXPECT_NE(report.find("The archive copy of patient 2 differs from the practice database (IdentFil row 1, field "
                          "lastnam:"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("'Spoilt' in the archive"), std::string::npos) << report;
    EXPECT_NE(report.find("\r\nArchiving Patient #: 2"), std::string::npos) << report;
    EXPECT_EQ(Closing(), "Archived 2 of 3 patients; 1 skipped; ended by an error (see above)." + kComplete);
    EXPECT_EQ(summary.archived, 2);
    ASSERT_EQ(summary.skipped.size(), 1u);
    EXPECT_EQ(summary.skipped[0].first, 2);
    const std::string log = testing_support::ReadFile(m_dir / "Corvane.log");
    EXPECT_NE(log.find("The archive copy of patient 2 differs from the practice database: IdentFil row 1"),
              std::string::npos);
}

TEST_F(ArchiveGroupTest, AMissingRowInTheCopyIsFoundToo) {
    Generate(6);
    const Snapshot before = Read(Data());
    int32_t patient = 0;
    for (int32_t p = 1; p <= 6 && !patient; ++p)
        if (RowsOf(before, p, false).at("Appointment").size() >= 2) patient = p;
    ASSERT_NE(patient, 0);
    m_window->SelectPatients({patient});
    app::SetBeforeVerifyHook([patient](engine::api::Connection& archive) {
        archive.Execute("DELETE FROM Appointment WHERE PId = " + std::to_string(patient));
    });

    app::cmdArchive_Click(*m_window);

    EXPECT_EQ(RowsOf(Read(Data()), patient, false), RowsOf(before, patient, false));
    const auto messages = m_ui.Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_NE(messages[0].text.find("Appointment: 0 rows in the archive, "), std::string::npos) << messages[0].text;
}

TEST_F(ArchiveGroupTest, PatientsChangedByAnotherUserAfterTheirRowsWereReadStayInThePractice) {
    // The run reads a group's rows before copying them; another workstation meanwhile adds a
    // payment for patient 5 and deletes patient 6's. Neither may be lost: the two stay
    // in the practice as the other user left them, their copies leave the archive, and the
    // run goes on with the others.
    Generate(8);
    m_window->SelectPatients({2, 5, 6});
    const Snapshot before = Read(Data());
    ASSERT_FALSE(RowsOf(before, 6, false).at("PmtAndChrg").empty());
    app::SetBeforeVerifyHook([this](engine::api::Connection&) {
        auto other = AdoTools::Connect_DBC(Data().string(), "Corvane.dbc");
        engine::api::Recordset payments;
        payments.Open("PmtAndChrg", *other, 3, 3, engine::api::kAdCmdTable);
        payments.AddNew();
        payments.Fields().Item("PtNum").SetValue(engine::Value(int64_t{5}));
        payments.Update();
        payments.Close();
        other->Execute("DELETE FROM PmtAndChrg WHERE PtNum = 6");
        app::SetBeforeVerifyHook(nullptr);  // once
    });

    const app::RunSummary summary = app::cmdArchive_Click(*m_window);

    const Snapshot practice = Read(Data()), archive = Read(Archive());
    EXPECT_EQ(CountOf(RowsOf(practice, 5, false)), CountOf(RowsOf(before, 5, false)) + 1);
    EXPECT_EQ(CountOf(RowsOf(practice, 6, false)),
              CountOf(RowsOf(before, 6, false)) - RowsOf(before, 6, false).at("PmtAndChrg").size());
    for (int32_t p : {5, 6}) EXPECT_EQ(CountOf(RowsOf(archive, p, false)) + CountOf(RowsOf(archive, p, true)), 0u) << p;
    EXPECT_EQ(RowsOf(archive, 2, false), RowsOf(before, 2, false));
    EXPECT_EQ(CountOf(RowsOf(practice, 2, false)), 0u);
    EXPECT_FALSE(fs::exists(Archive() / app::ArchiveJournal::kFileName));
    EXPECT_EQ(summary.ending, app::RunSummary::Ending::Complete);
    EXPECT_EQ(Closing(), "Archived 1 of 3 patients; 2 skipped." + kComplete);
    ASSERT_EQ(summary.skipped.size(), 2u);
    EXPECT_EQ(summary.skipped[0].second, "changed in the practice database during the run");
    const std::string log = testing_support::ReadFile(m_dir / "Corvane.log");
    EXPECT_NE(log.find("Patient 5 was changed in the practice database while being archived: PmtAndChrg:"),
              std::string::npos);

    // Archived again, they go whole, as the other user left them.
    m_ui.calls.clear();
    m_window->SelectPatients({5, 6});
    EXPECT_EQ(app::cmdArchive_Click(*m_window).archived, 2);
    const Snapshot later = Read(Archive());
    for (int32_t p : {5, 6}) EXPECT_EQ(RowsOf(later, p, false), RowsOf(practice, p, false)) << p;
}

TEST_F(ArchiveGroupTest, AJournaledGroupIsFinishedAtTheNextStart) {
    // What a kill after the journal write leaves: complete archive copies of a group, the
    // patients listed, their practice rows still live or half deleted.
    Generate(10);
    const Snapshot before = Read(Data());
    m_window->SelectPatients({3, 4, 7});
    {
        // Archive them, then put their practice rows back as they were before the deletion:
        // restoring the practice files from a copy made before the run.
        const fs::path saved = m_dir / "saved";
        fs::create_directories(saved);
        for (const auto& entry : fs::directory_iterator(Data()))
            if (entry.is_regular_file()) fs::copy_file(entry.path(), saved / entry.path().filename());
        app::cmdArchive_Click(*m_window);
        for (const auto& entry : fs::directory_iterator(saved))
            fs::copy_file(entry.path(), Data() / entry.path().filename(), fs::copy_options::overwrite_existing);
    }
    app::ArchiveJournal(Archive().string()).Add(std::set<int32_t>{3, 4, 7});
    m_ui.calls.clear();
    m_window->ReadGrid();
    m_window->SelectPatients({1});

    app::cmdArchive_Click(*m_window);

    const Snapshot practice = Read(Data()), archive = Read(Archive());
    for (int32_t p : {1, 3, 4, 7}) {
        EXPECT_EQ(RowsOf(archive, p, false), RowsOf(before, p, false)) << p;
        EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u) << p;
    }
    EXPECT_TRUE(app::ArchiveJournal(Archive().string()).Pending().empty());
    EXPECT_EQ(Closing(), "Archived 1 of 1 patient; 0 skipped." + kComplete);
}

TEST_F(ArchiveGroupTest, TheSelectionIsTakenWhenTheRunStarts) {
    Generate(8);
    m_window->SelectPatients({2, 3, 4});
    const Snapshot before = Read(Data());
    // During the first patient the grid is sorted the other way round and half emptied.
    m_window->status.onShow = [&](const std::string& text) {
        if (text.rfind("Updating Patient:", 0) == 0) {
            std::reverse(m_window->rows.begin(), m_window->rows.end());
            m_window->rows.resize(2);
        }
    };

    app::cmdArchive_Click(*m_window);

    const Snapshot practice = Read(Data());
    for (int32_t p : {2, 3, 4}) EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u) << p;
    for (int32_t p : {1, 5, 8}) EXPECT_EQ(RowsOf(practice, p, false), RowsOf(before, p, false)) << p;
    EXPECT_EQ(Closing(), "Archived 3 of 3 patients; 0 skipped." + kComplete);
}

TEST_F(ArchiveGroupTest, TheClosingLineCountsStoppedAndAllSkippedRuns) {
    Generate(8);
    m_window->SelectPatients({2, 3, 4, 5});
    m_window->status.onShow = [&](const std::string& text) {
        if (text == "Updating Patient:  4") m_window->status.stopFlag = true;
    };
    app::cmdArchive_Click(*m_window);
    EXPECT_EQ(Closing(), "Archived 2 of 4 patients; 0 skipped; stopped by the user." + kComplete);

    // Patients 4 and 5 are gone: selecting them again skips both.
    m_window->status.onShow = nullptr;
    m_ui.calls.clear();
    m_window->rows.push_back(5);  // still shown by a grid that was not read again
    m_window->rows.push_back(4);
    m_window->SelectPatients({4, 5});
    const app::RunSummary summary = app::cmdArchive_Click(*m_window);
    EXPECT_EQ(Closing(), "Archived 0 of 2 patients; 2 skipped." + kComplete);
    ASSERT_EQ(summary.skipped.size(), 2u);
    EXPECT_EQ(summary.skipped[0], std::make_pair(5, std::string("not in the practice database")));
}

TEST_F(ArchiveGroupTest, ManyPatientsAreCommittedInGroupsAndCountedPerTable) {
    Generate(30);
    std::vector<int32_t> all;
    for (int32_t p = 1; p <= 30; ++p) all.push_back(p);
    m_window->SelectPatients(all);
    const Snapshot before = Read(Data());

    const app::RunSummary summary = app::cmdArchive_Click(*m_window);

    const Snapshot practice = Read(Data()), archive = Read(Archive());
    for (int32_t p : all) {
        EXPECT_EQ(RowsOf(archive, p, false), RowsOf(before, p, false)) << p;
        EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u) << p;
    }
    ASSERT_EQ(summary.rowsCopied.size(), PatientTables().size());
    for (size_t t = 0; t < PatientTables().size(); ++t) {
        const auto& [table, key] = PatientTables()[t];
        EXPECT_EQ(summary.rowsCopied[t].first, table);
        size_t live = 0;
        for (const Row& row : before.at(table)) live += row.deleted ? 0 : 1;
        EXPECT_EQ(summary.rowsCopied[t].second, static_cast<long>(live)) << table;
    }
    EXPECT_EQ(summary.ending, app::RunSummary::Ending::Complete);
}

}  // namespace
