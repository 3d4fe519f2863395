// The reference-data merge on generated practice and archive databases: overwrite or add by
// key for hospitals, doctors, carriers and referral sources, six-key matching of doctors'
// insurance numbers, the status and log sequence, empty tables, stopping, and key values
// that hold quotes.
#include <gtest/gtest.h>

#include <optional>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "archive/merge_tables.h"
#include "common/product.h"
#include "db/ado_tools.h"
#include "engine/dbf/container.h"
#include "sample_writer.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace {

using engine::Value;
using engine::api::Connection;
using testing_support::TempDir;

const std::string kShow = "show Updating Archive | ";

class FakeStatus : public app::StatusServices {
public:
    void ShowStatus(const std::string& title, const std::string& text, bool bringToFront) override {
        events.push_back("show " + title + " | " + text + (bringToFront ? "" : " (behind)"));
    }
    void HideStatus() override { events.push_back("hide"); }
    bool StopRequested() override { return stopAt != 0 && ++checks >= stopAt; }

    std::vector<std::string> events;
    int stopAt = 0;  // the stop check (from 1) that answers yes; 0 never
    int checks = 0;
};

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// Each row of the query as the text of its fields, trailing blanks dropped, joined by "|".
std::vector<std::string> Rows(Connection& connection, const std::string& query) {
    engine::api::Recordset rs;
    rs.Open(query, connection);
    std::vector<std::string> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::string row;
        for (auto& field : rs.Fields()) row += (row.empty() ? "" : "|") + Trimmed(AdoTools::VariantText(field.Value()));
        rows.push_back(row);
    }
    return rows;
}

class MergeTablesTest : public ::testing::Test {
protected:
    void SetUp() override { m_log.emplace(m_dir / "Corvane.log"); }
    void TearDown() override { m_log.reset(); }

    // Practice and archive generated from the same seed: equal reference tables.
    void Generate() {
        for (const char* name : {"practice", "archive"})
            sample::WriteSampleDatabase(m_dir / name, {.patients = 2, .seed = 7, .blank = false, .deletePassword = ""});
        Connect();
    }
    void Connect() {
        m_practice = AdoTools::Connect_DBC((m_dir / "practice").string(), "Corvane.dbc");
        m_archive = AdoTools::Connect_DBC((m_dir / "archive").string(), "Corvane.dbc");
    }
    void Merge() { app::MergeTables(*m_practice, *m_archive, m_status); }

    // The log lines' texts (after the date and the TAB).
    std::vector<std::string> LogLines() const { return m_log->Lines(); }

    TempDir m_dir;
    FakeStatus m_status;
    std::unique_ptr<Connection> m_practice;
    std::unique_ptr<Connection> m_archive;
    std::optional<testing_support::LogCapture> m_log;
};

TEST(TextLiteral, QuotesSoThatTheValueReadsBackWhole) {
    EXPECT_EQ(app::TextLiteral("H1   "), "'H1   '");
    EXPECT_EQ(app::TextLiteral("O'Hara"), "\"O'Hara\"");
    EXPECT_EQ(app::TextLiteral("a'b\"c"), "'a''b\"c'");
    EXPECT_EQ(app::TextLiteral(""), "''");
}

TEST_F(MergeTablesTest, FullMergeShowsEachSectionAndLogsItInOrder) {
    Generate();
    Merge();
    EXPECT_EQ(m_status.events, (std::vector<std::string>{
                                   kShow + "Updating Hospital Information.",
                                   kShow + "Updating Doctor Information.",
                                   kShow + "Updating Doctor/Insurance Information.",
                                   kShow + "Updating Insurance Information.",
                                   kShow + "Updating Referral Information.",
                                   "hide",
                               }));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "frmArchive/MergeTables:  Updating hospitals.",
                              "frmArchive/MergeTables:  Updating doctors.",
                              "frmArchive/MergeTables:  Updating doctor's insurance numbers.",
                              "frmArchive/MergeTables:  Updating insurance.",
                              "frmArchive/MergeTables:  Updating referrals.",
                          }));
    // Equal tables stay equal: every row was found, nothing was added.
    for (const char* table : {"DocIdent", "DocInsur", "InsIdent", "Ref"})
        EXPECT_EQ(Rows(*m_archive, std::string("SELECT * FROM ") + table),
                  Rows(*m_practice, std::string("SELECT * FROM ") + table))
            << table;
}

TEST_F(MergeTablesTest, HospitalsAndDoctorsAreOverwrittenByKeyOrAddedOnce) {
    Generate();
    m_practice->Execute("UPDATE DocIdent SET Name = 'Lakeside Clinic', Phone = '5550001111' WHERE Hsp = 'H2'");
    m_practice->Execute("UPDATE DocIdent SET Name = 'Renamed', FirstName = 'Dana' WHERE Doc = 'D3'");
    // The same new hospital twice: the second finds the row the first added and overwrites it.
    m_practice->Execute("INSERT INTO DocIdent (Typ, Hsp, Name) VALUES ('C', 'H9', 'First Name')");
    m_practice->Execute("INSERT INTO DocIdent (Typ, Hsp, Name) VALUES ('C', 'H9', 'Second Name')");
    m_practice->Execute("INSERT INTO DocIdent (Typ, Doc, Name) VALUES ('A', 'D99', 'Newman')");
    const size_t before = Rows(*m_archive, "SELECT * FROM DocIdent").size();

    Merge();

    EXPECT_EQ(Rows(*m_archive, "SELECT Name, Phone FROM DocIdent WHERE Hsp = 'H2'"),
              (std::vector<std::string>{"Lakeside Clinic|5550001111"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT Name, FirstName FROM DocIdent WHERE Doc = 'D3'"),
              (std::vector<std::string>{"Renamed|Dana"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT Name FROM DocIdent WHERE Hsp = 'H9'"),
              (std::vector<std::string>{"Second Name"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT Typ, Name FROM DocIdent WHERE Doc = 'D99'"),
              (std::vector<std::string>{"A|Newman"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT * FROM DocIdent").size(), before + 2);

    // An independent reader sees the same archive table.
    const std::string script =
        "import dbfread,sys\n"
        "for r in dbfread.DBF(sys.argv[1], encoding='cp1252'):\n"
        "    if r['HSP'].strip() in ('H2', 'H9'): print(r['HSP'].strip() + '|' + r['NAME'].strip())\n";
    const auto scriptFile = m_dir / "read.py";
    testing_support::WriteFile(scriptFile, script);
    const std::string command =
        "/usr/bin/python3 " + scriptFile.string() + " " + (m_dir / "archive" / "DocIdent.dbf").string();
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(out, "H2|Lakeside Clinic\nH9|Second Name\n");
}

TEST_F(MergeTablesTest, CarriersAndReferralSourcesMatchByNumber) {
    Generate();
    m_practice->Execute("UPDATE InsIdent SET CorpName = 'Renamed Mutual' WHERE InsNum = 2");
    m_practice->Execute("INSERT INTO InsIdent (InsNum, CorpName) VALUES (99, 'Brand New Health')");
    m_practice->Execute("UPDATE Ref SET Ref_Last = 'Okafor' WHERE RefNum = 5");
    m_practice->Execute("INSERT INTO Ref (RefNum, Ref_Last) VALUES (50, 'Lindqvist')");

    Merge();

    EXPECT_EQ(Rows(*m_archive, "SELECT InsNum, CorpName FROM InsIdent WHERE InsNum = 2 OR InsNum = 99"),
              (std::vector<std::string>{"2|Renamed Mutual", "99|Brand New Health"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT RefNum, Ref_Last FROM Ref WHERE RefNum = 5 OR RefNum = 50"),
              (std::vector<std::string>{"5|Okafor", "50|Lindqvist"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT * FROM InsIdent"), Rows(*m_practice, "SELECT * FROM InsIdent"));
    EXPECT_EQ(Rows(*m_archive, "SELECT * FROM Ref"), Rows(*m_practice, "SELECT * FROM Ref"));
}

TEST_F(MergeTablesTest, EmptyPracticeCarriersShowNothingAndEmptyArchiveReferralsReceiveAll) {
    Generate();
    const auto carriers = Rows(*m_archive, "SELECT * FROM InsIdent");
    m_practice->Execute("DELETE FROM InsIdent");
    // Packed as well: rows only marked deleted still hold their keys in the candidate index.
    m_archive->Execute("SET EXCLUSIVE ON; DELETE FROM Ref; PACK \"Ref\"; SET EXCLUSIVE OFF");

    Merge();

    EXPECT_EQ(std::count(m_status.events.begin(), m_status.events.end(), kShow + "Updating Insurance Information."), 0);
    EXPECT_EQ(m_status.events.back(), "hide");
    const auto log = LogLines();
    EXPECT_EQ(std::count(log.begin(), log.end(), "frmArchive/MergeTables:  Updating insurance."), 0);
    EXPECT_EQ(log.back(), "frmArchive/MergeTables:  Updating referrals.");
    EXPECT_EQ(Rows(*m_archive, "SELECT * FROM InsIdent"), carriers);
    const auto referrals = Rows(*m_practice, "SELECT * FROM Ref");
    EXPECT_EQ(referrals.size(), 20u);
    EXPECT_EQ(Rows(*m_archive, "SELECT * FROM Ref"), referrals);
}

TEST_F(MergeTablesTest, StopDuringDoctorsSkipsTheRestAndHidesTheBalloon) {
    Generate();
    const int hospitals = static_cast<int>(Rows(*m_practice, "SELECT Hsp FROM DocIdent WHERE Typ = 'C'").size());
    m_practice->Execute("UPDATE DocIdent SET Name = 'Merged' WHERE Doc = 'D1'");
    m_practice->Execute("UPDATE DocIdent SET Name = 'Not merged' WHERE Doc = 'D5'");
    m_practice->Execute("INSERT INTO DocInsur (Doc, InsNum, ProvId) VALUES ('D1', 77, 'P77')");
    m_practice->Execute("INSERT INTO InsIdent (InsNum, CorpName) VALUES (99, 'Later')");
    m_practice->Execute("INSERT INTO Ref (RefNum, Ref_Last) VALUES (50, 'Later')");
    m_status.stopAt = hospitals + 3;  // before the third doctor

    Merge();

    EXPECT_EQ(m_status.events, (std::vector<std::string>{kShow + "Updating Hospital Information.",
                                                         kShow + "Updating Doctor Information.", "hide"}));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"frmArchive/MergeTables:  Updating hospitals.",
                                                    "frmArchive/MergeTables:  Updating doctors."}));
    EXPECT_EQ(Rows(*m_archive, "SELECT Name FROM DocIdent WHERE Doc = 'D1'"), (std::vector<std::string>{"Merged"}));
    EXPECT_NE(Rows(*m_archive, "SELECT Name FROM DocIdent WHERE Doc = 'D5'"), (std::vector<std::string>{"Not merged"}));
    EXPECT_TRUE(Rows(*m_archive, "SELECT * FROM DocInsur WHERE InsNum = 77").empty());
    EXPECT_TRUE(Rows(*m_archive, "SELECT * FROM InsIdent WHERE InsNum = 99").empty());
    EXPECT_TRUE(Rows(*m_archive, "SELECT * FROM Ref WHERE RefNum = 50").empty());
}

TEST_F(MergeTablesTest, KeyValuesWithQuotesMatchTheirOwnRowsOnly) {
    Generate();
    for (Connection* c : {m_practice.get(), m_archive.get()}) {
        c->Execute("UPDATE DocIdent SET Hsp = \"O'H\" WHERE Hsp = 'H1'");
        c->Execute("UPDATE DocIdent SET Doc = 'D''\"1' WHERE Doc = 'D1'");  // D'"1
        c->Execute("INSERT INTO DocInsur (Doc, InsNum, ProvId, Group_Id) VALUES ('D''\"1', 3, \"P'3\", .T.)");
    }
    m_practice->Execute("UPDATE DocIdent SET Name = 'Quoted Hospital' WHERE Hsp = \"O'H\"");
    m_practice->Execute("UPDATE DocIdent SET Name = 'Quoted Doctor' WHERE Doc = 'D''\"1'");
    m_practice->Execute("INSERT INTO DocIdent (Typ, Doc, Name) VALUES ('A', \"D'9\", 'Added')");
    // Read with its quote as a bare delimiter, this provider number would match every row.
    m_practice->Execute("INSERT INTO DocInsur (Doc, InsNum, ProvId) VALUES ('D2', 1, \"x' OR .T. OR '\")");
    const size_t hospitals = Rows(*m_archive, "SELECT * FROM DocIdent WHERE Typ = 'C'").size();
    const size_t numbers = Rows(*m_archive, "SELECT * FROM DocInsur").size();

    Merge();

    EXPECT_EQ(Rows(*m_archive, "SELECT Name FROM DocIdent WHERE Hsp = \"O'H\""),
              (std::vector<std::string>{"Quoted Hospital"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT * FROM DocIdent WHERE Typ = 'C'").size(), hospitals);
    EXPECT_EQ(Rows(*m_archive, "SELECT Name FROM DocIdent WHERE Doc = 'D''\"1'"),
              (std::vector<std::string>{"Quoted Doctor"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT Name FROM DocIdent WHERE Doc = \"D'9\""), (std::vector<std::string>{"Added"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT ProvId FROM DocInsur WHERE Doc = 'D''\"1' AND InsNum = 3"),
              (std::vector<std::string>{"P'3"}));
    EXPECT_EQ(
        Rows(*m_archive, "SELECT ProvId FROM DocInsur WHERE Doc = 'D2' AND InsNum = 1 AND ProvId = \"x' OR .T. OR '\""),
        (std::vector<std::string>{"x' OR .T. OR '"}));
    EXPECT_EQ(Rows(*m_archive, "SELECT * FROM DocInsur").size(), numbers + 1);
}

// Practice and archive whose DocInsur carries a field outside the six keys.
void WriteNumbersDatabase(const std::filesystem::path& folder, const std::vector<std::vector<Value>>& numbers) {
    std::filesystem::create_directories(folder);
    auto dbc = engine::Container::Create(folder / "Corvane.dbc");
    using F = engine::FieldSpec;
    dbc->CreateTable("DocIdent", "DocIdent.dbf",
                     {F{.name = "Typ", .length = 1}, F{.name = "Hsp", .length = 5}, F{.name = "Doc", .length = 5}});
    auto docInsur = dbc->CreateTable(
        "DocInsur", "DocInsur.dbf",
        {F{.name = "Doc", .length = 5}, F{.name = "InsNum", .type = 'I'}, F{.name = "ProvId", .length = 15},
         F{.name = "Group_Id", .type = 'L'}, F{.name = "Fac", .type = 'L'}, F{.name = "Box24K", .type = 'L'},
         F{.name = "Note", .length = 20}});
    for (const auto& row : numbers) docInsur->Append(row);
    dbc->CreateTable("InsIdent", "InsIdent.dbf", {F{.name = "InsNum", .type = 'I'}});
    dbc->CreateTable("Ref", "Ref.dbf", {F{.name = "RefNum", .type = 'I'}});
}

TEST_F(MergeTablesTest, DoctorsInsuranceNumbersEqualInAllSixKeysAreLeftAlone) {
    const auto row = [](bool group, bool fac, bool box, const char* note) {
        return std::vector<Value>{Value("D1"), Value(4),   Value("P123"), Value(group),
                                  Value(fac),  Value(box), Value(note)};
    };
    WriteNumbersDatabase(m_dir / "practice",
                         {row(true, false, true, "practice note"), row(true, false, false, "box differs"),
                          row(false, false, true, "group differs"), row(true, true, true, "fac differs")});
    WriteNumbersDatabase(m_dir / "archive", {row(true, false, true, "archive note")});
    Connect();

    Merge();

    EXPECT_EQ(Rows(*m_archive, "SELECT Group_Id, Fac, Box24K, Note FROM DocInsur"),
              (std::vector<std::string>{"True|False|True|archive note", "True|False|False|box differs",
                                        "False|False|True|group differs", "True|True|True|fac differs"}));
    // Empty hospitals, doctors, carriers and referral sources: only the first three balloons.
    EXPECT_EQ(m_status.events, (std::vector<std::string>{kShow + "Updating Hospital Information.",
                                                         kShow + "Updating Doctor Information.",
                                                         kShow + "Updating Doctor/Insurance Information.", "hide"}));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"frmArchive/MergeTables:  Updating doctor's insurance numbers."}));
}

}  // namespace
