// The archive run on generated practice databases with a stand-in window: rows and notes end
// up in the archive and are marked deleted in the practice, every balloon text, log line and
// message in order, stopping, a patient archived before, the delete password, rows that are
// no patients, archive creation through -create, and the journal that finishes an
// interrupted practice deletion.
#include <gtest/gtest.h>

#include <optional>
#include <cstdio>
#include <set>
#include <sstream>

#include "archive/archive_journal.h"
#include "archive_run_fixture.h"
#include "common/product.h"
#include "common/recording_ui.h"
#include "engine/dbf/table.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using namespace archive_run_testing;
using testing_support::TempDir;

const std::string kUpdating = "Updating Archive | ";
const std::string kComplete =
    "In order to achieve any performance improvements, have all\r\n"
    "users exit the system and then issue the PACK command\r\n"
    "from the Start menu as:\r\n\r\n\tStart->Programs->Corvane->Corvane Pack.";

// Rows of one table as an independent reader sees them: "L" or "D", the patient number and
// the row's values (null flags left out), one line each.
const char* kDumpScript = R"(
import sys
from dbfread import DBF
path, key = sys.argv[1], sys.argv[2].upper()
t = DBF(path, ignore_missing_memofile=True, char_decode_errors='replace')
def line(flag, r):
    values = [(k, (v.rstrip() if isinstance(v, str) else v)) for k, v in r.items() if k.upper() != '_NULLFLAGS']
    key_value = [v for k, v in r.items() if k.upper() == key][0]
    print(flag + '\t' + str(int(key_value)) + '\t' + repr(values))
for r in t.records: line('L', r)
for r in t.deleted: line('D', r)
)";

// Patient -> "L"/"D" -> table -> sorted value lines, read with dbfread.
using Dump = std::map<int32_t, std::map<std::string, std::map<std::string, std::vector<std::string>>>>;

Dump DumpWithDbfread(const fs::path& folder, const fs::path& script) {
    Dump dump;
    auto dbc = engine::Container::Open(folder / "Corvane.dbc");
    for (const auto& [table, key] : PatientTables()) {
        const std::string command =
            "/usr/bin/python3 '" + script.string() + "' '" + dbc->FindTable(table)->file.string() + "' " + key;
        FILE* pipe = popen(command.c_str(), "r");
        EXPECT_NE(pipe, nullptr);
        std::string out;
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        EXPECT_EQ(pclose(pipe), 0) << command;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            const size_t a = line.find('\t'), b = line.find('\t', a + 1);
            dump[std::stoi(line.substr(a + 1, b - a - 1))][line.substr(0, a)][table].push_back(line.substr(b + 1));
        }
    }
    for (auto& [patient, flags] : dump)
        for (auto& [flag, tables] : flags)
            for (auto& [table, rows] : tables) std::sort(rows.begin(), rows.end());
    return dump;
}

class ArchiveRunTest : public ::testing::Test {
protected:
    void SetUp() override { m_log.emplace(m_dir / "Corvane.log"); }
    void TearDown() override { m_log.reset(); }

    fs::path Data() const { return m_dir / "data"; }
    fs::path Archive() const { return m_dir / "data" / "Archive"; }

    void Generate(int patients, const std::string& password = {}) {
        MakePractice(Data(), patients, 5, password);
        MakeArchiveLike(Data(), Archive());
        m_window = std::make_unique<FakeWindow>(Data());
    }

    // Patients with live rows in at least `tables` of the patient tables, in grid order.
    std::vector<int32_t> BusyPatients(size_t tables) {
        const Snapshot snapshot = Read(Data());
        std::vector<int32_t> found;
        for (int32_t patient : m_window->rows) {
            size_t with = 0;
            for (const auto& [table, list] : RowsOf(snapshot, patient, false)) with += list.empty() ? 0 : 1;
            if (with >= tables) found.push_back(patient);
        }
        return found;
    }

    // The run's own log lines, without date and time.
    std::vector<std::string> RunLog() const {
        std::vector<std::string> lines;
        std::istringstream in(testing_support::ReadFile(m_dir / "Corvane.log"));
        std::string line;
        const std::string mark = "frmArchive/ArchiveSelectedPatients:  ";
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t at = line.find(mark);
            if (at != std::string::npos) lines.push_back(line.substr(at + mark.size()));
        }
        return lines;
    }

    // The balloon texts from the first patient on.
    std::vector<std::string> PatientEvents() const {
        const auto& events = m_window->status.events;
        auto it = std::find_if(events.begin(), events.end(),
                               [](const std::string& e) { return e.rfind(kUpdating + "Updating Patient:", 0) == 0; });
        return {it, events.end()};
    }

    static std::vector<std::string> CopyEvents(int record, int of, int32_t patient) {
        std::vector<std::string> events;
        for (const auto& [table, key] : PatientTables())
            events.push_back(kUpdating + "Record " + std::to_string(record) + " of " + std::to_string(of) +
                             ".\r\n    Acct #:  " + std::to_string(patient) +
                             "\r\nCopying patient data for table:  " + table);
        return events;
    }

    TempDir m_dir;
    ui::RecordingUi m_ui;
    std::unique_ptr<FakeWindow> m_window;
    std::optional<testing_support::LogCapture> m_log;
};

TEST_F(ArchiveRunTest, ThreePatientsMoveWithTheirRowsAndNotesLastSelectedFirst) {
    Generate(12);
    const auto busy = BusyPatients(5);
    ASSERT_GE(busy.size(), 3u);
    const std::vector<int32_t> chosen = {busy[0], busy[1], busy[2]};
    for (int32_t p : chosen)
        testing_support::WriteFile(Data() / "Notes" / (std::to_string(p) + ".rtf"), "notes " + std::to_string(p));
    fs::remove(Data() / "Notes" / (std::to_string(chosen[1]) + ".rtf"));  // one without notes
    m_window->SelectPatients(chosen);
    const auto script = m_dir / "dump.py";
    testing_support::WriteFile(script, kDumpScript);
    const Dump practiceBefore = DumpWithDbfread(Data(), script);
    const Snapshot before = Read(Data());

    app::cmdArchive_Click(*m_window);

    const Dump practiceAfter = DumpWithDbfread(Data(), script);
    const Dump archiveAfter = DumpWithDbfread(Archive(), script);
    for (int32_t p : chosen) {
        SCOPED_TRACE("patient " + std::to_string(p));
        const auto& live = practiceBefore.at(p).at("L");
        EXPECT_EQ(archiveAfter.at(p).at("L"), live);  // every row, values as they were
        EXPECT_EQ(archiveAfter.at(p).count("D"), 0u);
        EXPECT_EQ(practiceAfter.at(p).count("L"), 0u);  // nothing left live in the practice
        for (const auto& [table, rows] : live)
            for (const auto& row : rows) {
                const auto& deleted = practiceAfter.at(p).at("D").at(table);
                EXPECT_NE(std::find(deleted.begin(), deleted.end(), row), deleted.end()) << table;
            }
    }
    for (size_t i : {0u, 2u}) {
        const std::string name = std::to_string(chosen[i]) + ".rtf";
        EXPECT_FALSE(fs::exists(Data() / "Notes" / name));
        EXPECT_EQ(testing_support::ReadFile(Archive() / "Notes" / name), "notes " + std::to_string(chosen[i]));
    }
    // Nobody else was touched.
    const Snapshot after = Read(Data());
    for (int32_t p : m_window->rows) {
        if (std::find(chosen.begin(), chosen.end(), p) == chosen.end()) {
            EXPECT_EQ(RowsOf(after, p, false), RowsOf(before, p, false));
        }
    }

    std::vector<std::string> events;
    for (int k = 0; k < 3; ++k) {
        const int32_t p = chosen[2 - k];
        events.push_back(kUpdating + "Updating Patient:  " + std::to_string(p));
        for (auto& e : CopyEvents(k + 1, 3, p)) events.push_back(e);
    }
    events.push_back("hide");
    EXPECT_EQ(PatientEvents(), events);

    std::vector<std::string> log = RunLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "Archive = " + Archive().string());
    std::vector<std::string> expectedLog = {"Archive = " + Archive().string()};
    for (int k = 0; k < 3; ++k) {
        expectedLog.push_back("Getting selected item # " + std::to_string(3 - k));
        expectedLog.push_back("  PtNum = " + std::to_string(chosen[2 - k]));
        for (const auto& [table, key] : PatientTables()) expectedLog.push_back("Copy data for table:  " + table);
    }
    EXPECT_EQ(log, expectedLog);

    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Archived 3 of 3 patients; 0 skipped.\r\n\r\n" + kComplete);
    EXPECT_EQ(messages[0].title, "Archive Complete");
    EXPECT_EQ(messages[0].icon, ui::Icon::Information);
    EXPECT_EQ(m_window->stopButton, (std::vector<bool>{true, false}));
    EXPECT_EQ(m_window->reloads, 1);
    EXPECT_FALSE(fs::exists(Archive() / app::ArchiveJournal::kFileName));
    EXPECT_FALSE(app::ArchiveRunInProgress());
}

TEST_F(ArchiveRunTest, StopDuringTheSecondPatientFinishesItAndLeavesTheThird) {
    Generate(8);
    const auto busy = BusyPatients(3);
    ASSERT_GE(busy.size(), 3u);
    m_window->SelectPatients({busy[0], busy[1], busy[2]});
    m_window->status.onShow = [&](const std::string& text) {
        if (text == "Updating Patient:  " + std::to_string(busy[1])) m_window->status.stopFlag = true;
    };
    const Snapshot before = Read(Data());

    app::cmdArchive_Click(*m_window);

    const Snapshot practice = Read(Data()), archive = Read(Archive());
    for (int32_t p : {busy[2], busy[1]}) {
        EXPECT_EQ(RowsOf(archive, p, false), RowsOf(before, p, false));
        EXPECT_EQ(CountOf(RowsOf(practice, p, false)), 0u);
    }
    EXPECT_EQ(RowsOf(practice, busy[0], false), RowsOf(before, busy[0], false));
    EXPECT_EQ(CountOf(RowsOf(archive, busy[0], false)), 0u);
    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Archive Complete");
}

// Puts the patient's rows into the archive, live or marked deleted, as an earlier run would.
TEST_F(ArchiveRunTest, APatientAlreadyInTheArchiveIsReplacedNotDuplicated) {
    Generate(8);
    const auto busy = BusyPatients(4);
    ASSERT_GE(busy.size(), 2u);
    CopyIntoArchive(Data(), Archive(), busy[0], false);
    CopyIntoArchive(Data(), Archive(), busy[1], true);  // only rows marked deleted
    m_window->SelectPatients({busy[0], busy[1]});
    const Snapshot before = Read(Data());

    app::cmdArchive_Click(*m_window);

    const Snapshot archive = Read(Archive());
    for (int32_t p : {busy[0], busy[1]}) {
        EXPECT_EQ(RowsOf(archive, p, false), RowsOf(before, p, false));
        EXPECT_EQ(CountOf(RowsOf(archive, p, true)), 0u);  // packed away
    }
    // Both earlier copies go when the patients are read, before the first is copied, with one pack.
    std::vector<std::string> expected = {
        kUpdating + "Updating Patient:  " + std::to_string(busy[1]),
        kUpdating + "Deleting Patient (" + std::to_string(busy[1]) + ") from the archive.",
        kUpdating + "Deleting Patient (" + std::to_string(busy[0]) + ") from the archive.",
        kUpdating + "Packing database."};
    for (auto& e : CopyEvents(1, 2, busy[1])) expected.push_back(e);
    const auto events = PatientEvents();
    ASSERT_GE(events.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + static_cast<long>(expected.size())), expected);
    const auto log = RunLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Deleting if this information is already in the Archive."), 2);
}

TEST_F(ArchiveRunTest, RowsLeftByAnInterruptedArchivePackAreRemovedBeforeTheCopy) {
    // A run stopped while packing the archive after removing a patient: IdentFil is packed
    // already, the other tables still hold the patient's rows marked deleted. Case's
    // candidate tag counts marked rows, so copying the patient over them would fail.
    Generate(8);
    const auto busy = BusyPatients(4);
    ASSERT_GE(busy.size(), 1u);
    const int32_t patient = busy[0];
    CopyIntoArchive(Data(), Archive(), patient, true);
    engine::Table::Open(Archive() / "IdentFil.dbf", engine::OpenMode::Exclusive)->Pack();
    ASSERT_GT(CountOf(RowsOf(Read(Archive()), patient, true)), 0u);
    m_window->SelectPatients({patient});
    const Snapshot before = Read(Data());

    app::cmdArchive_Click(*m_window);

    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 1u) << messages.front().text;
    EXPECT_EQ(messages[0].title, "Archive Complete");
    const Snapshot archive = Read(Archive());
    EXPECT_EQ(RowsOf(archive, patient, false), RowsOf(before, patient, false));
    EXPECT_EQ(CountOf(RowsOf(archive, patient, true)), 0u);
    EXPECT_EQ(CountOf(RowsOf(Read(Data()), patient, false)), 0u);
}

TEST_F(ArchiveRunTest, AWrongPasswordChangesNothing) {
    Generate(6, "Secret");
    m_window->SelectPatients({m_window->rows[0], m_window->rows[1]});
    m_window->prompt.answer = "secret";
    const Snapshot practice = Read(Data()), archive = Read(Archive());

    app::cmdArchive_Click(*m_window);

    EXPECT_EQ(m_window->prompt.asked, 1);
    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "You must have DELETE privileges to archive.\r\nArchive aborted!");
    EXPECT_EQ(messages[0].title, "Archive aborted.");
    EXPECT_EQ(messages[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(Read(Data()), practice);
    EXPECT_EQ(Read(Archive()), archive);
    EXPECT_TRUE(m_window->stopButton.empty());

    const int32_t first = m_window->rows[0];
    m_window->prompt.answer = "Secret";
    app::cmdArchive_Click(*m_window);
    EXPECT_EQ(CountOf(RowsOf(Read(Data()), first, false)), 0u);
}

TEST_F(ArchiveRunTest, GroupRowsAreSkippedAndARowWithoutPatientNumberEndsTheRun) {
    Generate(6);
    const int32_t first = m_window->rows[0], second = m_window->rows[1];
    m_window->SelectPatients({first, second});
    m_window->selection.push_back(-1);  // a group heading, visited first
    const Snapshot before = Read(Data());
    app::cmdArchive_Click(*m_window);
    EXPECT_EQ(CountOf(RowsOf(Read(Archive()), first, false)), CountOf(RowsOf(before, first, false)));
    EXPECT_EQ(CountOf(RowsOf(Read(Archive()), second, false)), CountOf(RowsOf(before, second, false)));
    EXPECT_EQ(m_ui.Messages().size(), 1u);

    m_ui.calls.clear();
    m_window->rows.push_back(0);  // a row whose recordset has no patient number
    const int32_t third = m_window->rows[2];
    m_window->SelectPatients({third, 0});
    m_window->selection[1] = static_cast<long>(m_window->rows.size());
    const Snapshot practice = Read(Data());
    app::cmdArchive_Click(*m_window);
    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "Something is terribly wrong with the patient list.");
    EXPECT_EQ(messages[0].icon, ui::Icon::Exclamation);
    EXPECT_EQ(messages[1].title, "Archive Complete");
    EXPECT_EQ(Read(Data()), practice);  // the third patient was not reached
}

TEST_F(ArchiveRunTest, AMissingArchiveIsCreatedByTheProgramItselfFirst) {
    MakePractice(Data(), 4);
    MakeArchiveLike(Data(), m_dir / "prepared");
    m_window = std::make_unique<FakeWindow>(Data());
    const auto program = m_dir / "Archive";
    testing_support::WriteFile(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + (m_dir / "args").string() +
                                            "'\ncp -r '" + (m_dir / "prepared").string() + "/.' '" +
                                            Archive().string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);
    m_window->programPath = program.string();
    const int32_t patient = m_window->rows[0];
    m_window->SelectPatients({patient});
    const Snapshot before = Read(Data());

    app::cmdArchive_Click(*m_window);

    EXPECT_EQ(testing_support::ReadFile(m_dir / "args"), "-create" + m_window->DatabasePath() + "\n");
    EXPECT_EQ(RowsOf(Read(Archive()), patient, false), RowsOf(before, patient, false));
}

TEST_F(ArchiveRunTest, AJournaledPatientKeepsItsArchiveCopyAndLeavesThePractice) {
    // The state a kill during the practice deletion leaves: a complete archive copy, the
    // patient journaled, seven tables' rows marked deleted in the practice, IdentFil live.
    Generate(6);
    const auto busy = BusyPatients(5);
    ASSERT_GE(busy.size(), 1u);
    const int32_t patient = busy[0];
    const Snapshot before = Read(Data());
    CopyIntoArchive(Data(), Archive(), patient, false);
    app::ArchiveJournal(Archive().string()).Add(patient);
    {
        auto practice = AdoTools::Connect_DBC(Data().string(), "Corvane.dbc");
        deletion::DeletePatientRecords(*practice, patient);
    }
    m_window->SelectPatients({patient});  // the grid still shows the patient

    app::cmdArchive_Click(*m_window);

    EXPECT_EQ(RowsOf(Read(Archive()), patient, false), RowsOf(before, patient, false));
    EXPECT_EQ(CountOf(RowsOf(Read(Data()), patient, false)), 0u);
    EXPECT_TRUE(app::ArchiveJournal(Archive().string()).Pending().empty());
    const auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Archive Complete");
}

TEST(ArchiveJournal, ListsPatientsUntilRemovedAndLeavesNoFileWhenEmpty) {
    TempDir dir;
    app::ArchiveJournal journal(dir.Path().string());
    EXPECT_TRUE(journal.Pending().empty());
    journal.Add(7);
    journal.Add(12);
    EXPECT_EQ(app::ArchiveJournal(dir.Path().string()).Pending(), (std::set<int32_t>{7, 12}));
    journal.Remove(7);
    EXPECT_EQ(journal.Pending(), (std::set<int32_t>{12}));
    journal.Remove(12);
    EXPECT_FALSE(fs::exists(journal.FilePath()));
}

}  // namespace
