// Statements and recordsets on a generated practice database whose tables all carry structural
// indexes: lookups and deletes by patient number answer from the tags (the process's own key
// index is never built for them), every write keeps every tag right, REINDEX repairs a broken
// index, and a whole archive run leaves tables an independent reader agrees with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../dbf/reader_check.h"
#include "api_fixture.h"
#include "engine/api/key_index.h"
#include "engine/sql/sql_errors.h"
#include "sample_writer.h"

namespace {

namespace fs = std::filesystem;
using api_test::ConnectionStringTo;
using api_test::ExpectError;
using engine::Value;
using engine::api::Connection;
using engine::api::Recordset;

struct PatientTable {
    const char* name;
    const char* key;
};

const std::vector<PatientTable> kPatientTables = {
    {"IdentFil", "PtNum"}, {"Appointment", "PId"}, {"Case", "PtNum"},   {"BillOthe", "PtNum"},
    {"MngCare", "PtNum"},  {"PostFile", "PtNum"},  {"PatIns", "PtNum"}, {"PmtAndChrg", "PtNum"},
};

// Every tag of the table is well formed and holds exactly the keys its rows give.
void ExpectIndexRight(const fs::path& file) {
    SCOPED_TRACE(file.filename().string());
    auto table = engine::Table::Open(file);
    ASSERT_FALSE(table->StructuralIndex().empty());
    EXPECT_NO_THROW(table->VerifyIndex());
    const auto tags = table->IndexTags();
    for (size_t tag = 0; tag < tags.size(); ++tag)
        EXPECT_EQ(table->IndexEntries(tag), table->ExpectedIndexEntries(tag)) << tags[tag].name;
}

// Records not marked deleted whose field holds key, found by reading every row.
std::vector<uint32_t> ScanFor(const fs::path& file, const std::string& field, int64_t key) {
    auto table = engine::Table::Open(file);
    const int f = table->FieldIndex(field);
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < table->RecordCount(); ++i) {
        if (!table->IsDeleted(i) && table->ReadValue(i, static_cast<size_t>(f)) == Value(key)) out.push_back(i);
    }
    return out;
}

class IndexedDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options options;
        options.patients = 40;
        options.seed = 11;
        sample::WriteSampleDatabase(m_dir / "live", options);
        m_dbc = m_dir / "live" / "Corvane.dbc";
        engine::api::key_index::Clear();
    }

    std::unique_ptr<Connection> Connect(const fs::path& dbc) {
        auto c = std::make_unique<Connection>();
        c->SetConnectionString(ConnectionStringTo(dbc));
        c->Open();
        return c;
    }

    fs::path FileOf(const fs::path& dbc, const std::string& table) {
        return engine::Container::Open(dbc)->FindTable(table)->file;
    }

    testing_support::TempDir m_dir;
    fs::path m_dbc;
};

TEST_F(IndexedDatabase, LookupsAndDeletesByPatientUseTheTagsAndKeepThemRight) {
    auto c = Connect(m_dbc);
    const fs::path ident = FileOf(m_dbc, "IdentFil");
    const fs::path appointment = FileOf(m_dbc, "Appointment");
    const long builds = engine::api::key_index::BuildCount();
    for (int64_t n : {1, 7, 40, 41}) {
        SCOPED_TRACE(n);
        const auto outcome = c->Execute("SELECT * FROM IdentFil WHERE PtNum = " + std::to_string(n));
        ASSERT_TRUE(outcome.rows);
        EXPECT_EQ(outcome.rows->sourceRecords, ScanFor(ident, "PtNum", n));
        const auto marked = ScanFor(appointment, "PId", n);
        EXPECT_EQ(c->Execute("DELETE FROM Appointment WHERE PId = " + std::to_string(n)).recordsAffected,
                  static_cast<long>(marked.size()));
        EXPECT_TRUE(ScanFor(appointment, "PId", n).empty());
    }
    EXPECT_EQ(engine::api::key_index::BuildCount(), builds) << "a tag answers for PtNum and PId";
    ExpectIndexRight(ident);
    ExpectIndexRight(appointment);

    // A field no tag has alone (LastNam is indexed only within UPPER(LastNam+FirstNam)) is
    // answered from the process's own key index, with the same rows as a scan.
    auto table = engine::Table::Open(ident);
    const std::string city = table->ReadValue(0, static_cast<size_t>(table->FieldIndex("City"))).As<std::string>();
    const auto byCity = c->Execute("SELECT * FROM IdentFil WHERE City = '" + city + "'");
    EXPECT_EQ(engine::api::key_index::BuildCount(), builds + 1);
    ASSERT_TRUE(byCity.rows);
    EXPECT_FALSE(byCity.rows->rows.empty());
}

// Sets the key count of the root node of the table's integer tag on field to more than a node
// holds.
void BreakTagRoot(const fs::path& index, const std::string& field) {
    std::string bytes = testing_support::ReadFile(index);
    bool broken = false;
    for (size_t off = 0; off + 1024 <= bytes.size() && !broken; off += 512) {
        const std::string expr = bytes.substr(off + 512, field.size() + 1);
        if (!std::equal(field.begin(), field.end(), expr.begin(),
                        [](char a, char b) {
                            return std::toupper(static_cast<unsigned char>(a)) ==
                                   std::toupper(static_cast<unsigned char>(b));
                        }) ||
            expr.back() != '\0' || static_cast<uint8_t>(bytes[off + 12]) != 4)
            continue;
        uint32_t root = 0;
        std::memcpy(&root, bytes.data() + off, 4);
        ASSERT_LT(root + 4, bytes.size());
        bytes[root + 2] = '\xFF';
        bytes[root + 3] = '\x7F';
        broken = true;
    }
    ASSERT_TRUE(broken) << "no tag on " << field << " in " << index;
    testing_support::WriteFile(index, bytes);
}

TEST_F(IndexedDatabase, BrokenIndexIsReportedNamingItsFileAndReindexRepairsIt) {
    const fs::path ident = FileOf(m_dbc, "IdentFil");
    const fs::path cdx = engine::Table::Open(ident)->StructuralIndex();
    BreakTagRoot(cdx, "PtNum");
    const std::string name = cdx.filename().string();
    auto c = Connect(m_dbc);

    // Reads keep working without the broken tag (the rows are found as a scan finds them);
    // writes are refused naming the index file.
    const long builds = engine::api::key_index::BuildCount();
    const auto before = c->Execute("SELECT * FROM IdentFil WHERE PtNum = 7");
    ASSERT_TRUE(before.rows);
    EXPECT_EQ(before.rows->sourceRecords, ScanFor(ident, "PtNum", 7));
    EXPECT_EQ(engine::api::key_index::BuildCount(), builds + 1);
    ExpectError([&] { c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (900, 'Late')"); },
                engine::err::kCorruptIndex, name);
    ExpectError([&] { c->Execute("REINDEX IdentFil"); }, engine::sql::err::kMustBeExclusive, "REINDEX 'IdentFil'");
    {
        // Nobody else may hold the table while it is rebuilt.
        auto holder = engine::Table::Open(ident);
        ExpectError([&] { c->Execute("SET EXCLUSIVE ON; REINDEX IdentFil"); }, engine::err::kFileInUse, "IdentFil");
        c->Execute("SET EXCLUSIVE OFF");
    }
    c->Execute("SET EXCLUSIVE ON; REINDEX IdentFil; SET EXCLUSIVE OFF");
    ExpectIndexRight(ident);
    engine::api::key_index::Clear();
    const long rebuilt = engine::api::key_index::BuildCount();
    c->Execute("INSERT INTO IdentFil (PtNum, LastNam) VALUES (900, 'Late')");
    const auto found = c->Execute("SELECT * FROM IdentFil WHERE PtNum = 900");
    ASSERT_TRUE(found.rows);
    EXPECT_EQ(found.rows->sourceRecords, ScanFor(ident, "PtNum", 900));
    EXPECT_EQ(engine::api::key_index::BuildCount(), rebuilt) << "the repaired tag answers again";
    ExpectIndexRight(ident);

    // A quoted path names the table as well.
    c->Execute("SET EXCLUSIVE ON; REINDEX \"" + ident.string() + "\"; SET EXCLUSIVE OFF");
    ExpectIndexRight(ident);
}

// The statements of an archive run for one patient: read the patient's rows of every patient
// table, copy them into an empty archive database row by row through recordsets, mark them
// deleted in the live database, and pack every live table.
TEST_F(IndexedDatabase, ArchiveRunLeavesEveryTagRightAndTheRowsWhereTheyBelong) {
    sample::Options blank;
    blank.blank = true;
    sample::WriteSampleDatabase(m_dir / "archive", blank);
    const fs::path archiveDbc = m_dir / "archive" / "Corvane.dbc";
    auto live = Connect(m_dbc);
    auto archive = Connect(archiveDbc);
    const int64_t n = 7;
    const std::string where = " = " + std::to_string(n);

    std::map<std::string, size_t> moved, remaining;
    const long builds = engine::api::key_index::BuildCount();
    for (const auto& t : kPatientTables) {
        SCOPED_TRACE(t.name);
        const fs::path file = FileOf(m_dbc, t.name);
        moved[t.name] = ScanFor(file, t.key, n).size();
        auto all = engine::Table::Open(file);
        size_t visible = 0;
        for (uint32_t i = 0; i < all->RecordCount(); ++i) visible += !all->IsDeleted(i);
        remaining[t.name] = visible - moved[t.name];

        Recordset source;
        source.Open(std::string("SELECT * FROM ") + t.name + " WHERE " + t.key + where, *live, 3, 3, -1);
        EXPECT_EQ(source.RecordCount(), static_cast<long>(moved[t.name]));
        Recordset target;
        target.Open(t.name, *archive, 3, 3, 2);
        for (; !source.Eof(); source.MoveNext()) {
            target.AddNew();
            for (auto& field : source.Fields()) target.Fields().Item(field.Name()).SetValue(field.Value());
            target.Update();
        }
        target.Close();
        source.Close();
        if (std::string(t.name) == "IdentFil") {
            Recordset check;
            check.Open("SET DELETED OFF; SELECT * FROM IdentFil WHERE PtNum" + where, *live, 3, 3, -1);
            EXPECT_GE(check.RecordCount(), 1);
            live->Execute("SET DELETED ON");
        }
        EXPECT_EQ(live->Execute(std::string("DELETE FROM ") + t.name + " WHERE " + t.key + where).recordsAffected,
                  static_cast<long>(moved[t.name]));
    }
    EXPECT_EQ(engine::api::key_index::BuildCount(), builds) << "every patient table has a tag on its key";
    live->Execute("SET EXCLUSIVE ON");
    for (const auto& t : kPatientTables) live->Execute("PACK \"" + FileOf(m_dbc, t.name).string() + "\"");
    live->Execute("SET EXCLUSIVE OFF");

    // python3-dbfread reads the same rows: none of the patient's left in the live tables, all
    // of them in the archive, the others untouched.
    const bool reader = dbf_test::PythonModuleAvailable("dbfread");
    for (const auto& t : kPatientTables) {
        SCOPED_TRACE(t.name);
        const fs::path liveFile = FileOf(m_dbc, t.name);
        const fs::path archiveFile = FileOf(archiveDbc, t.name);
        ExpectIndexRight(liveFile);
        ExpectIndexRight(archiveFile);
        EXPECT_EQ(engine::Table::Open(liveFile)->RecordCount(), remaining[t.name]);
        EXPECT_EQ(ScanFor(archiveFile, t.key, n).size(), moved[t.name]);
        if (!reader) continue;
        for (const fs::path& file : {liveFile, archiveFile}) {
            const auto compared = dbf_test::CompareWithReader("dbfread", file);
            EXPECT_EQ(compared.exitCode, 0) << compared.output;
        }
        const std::string count =
            "/usr/bin/python3 -c \"import sys, dbfread\n"
            "rows = [dict((k.upper(), v) for k, v in r.items()) for r in dbfread.DBF(sys.argv[1], load=False, "
            "ignore_missing_memofile=True)]\n"
            "print(len(rows), sum(1 for r in rows if r[sys.argv[2]] == int(sys.argv[3])))\" ";
        const std::string key = t.key;
        std::string upperKey(key.size(), ' ');
        std::transform(key.begin(), key.end(), upperKey.begin(), [](unsigned char ch) { return std::toupper(ch); });
        const auto liveRows =
            dbf_test::RunCommand(count + "'" + liveFile.string() + "' " + upperKey + " " + std::to_string(n));
        EXPECT_EQ(liveRows.output, std::to_string(remaining[t.name]) + " 0\n");
        const auto archived =
            dbf_test::RunCommand(count + "'" + archiveFile.string() + "' " + upperKey + " " + std::to_string(n));
        EXPECT_EQ(archived.output, std::to_string(moved[t.name]) + " " + std::to_string(moved[t.name]) + "\n");
    }
}

}  // namespace
