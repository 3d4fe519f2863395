// Recordsets: moving, counting, BOF/EOF, bookmarks across clones, Find with the criteria the
// program sends, AddNew/Update written through to the file at once (seen by a new connection
// and by an independent reader) and synced at Close, field descriptions and value conversion.
#include <cerrno>
#include <cstdlib>

#include "api_fixture.h"
#include "engine/api/api_errors.h"
#include "engine/dbf/fault_file_system.h"
#include "engine/error.h"
#include "support/requirements.h"

namespace {

using namespace api_test;
using engine::api::Recordset;
namespace err = engine::err;

std::vector<int64_t> Column(Recordset& rs, const std::string& field) {
    std::vector<int64_t> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) out.push_back(rs.Fields().Item(field).Value().As<int64_t>());
    return out;
}

TEST_F(PracticeDatabase, MovingThroughATableSkipsMarkedRowsAndStopsAtBothEnds) {
    auto c = Connect();
    Recordset rs;
    rs.Open("IdentFil", *c, 3, 3, 2);
    EXPECT_EQ(rs.State(), 1);
    EXPECT_FALSE(rs.Bof());
    EXPECT_EQ(rs.Fields().Item("PtNum").Value(), Value(int64_t{1}));
    EXPECT_EQ(rs.RecordCount(), 4);
    EXPECT_EQ(Column(rs, "ptnum"), (std::vector<int64_t>{1, 2, 5, 5}));
    EXPECT_TRUE(rs.Eof());
    ExpectError([&] { rs.MoveNext(); }, err::kNoCurrentRecord, "EOF");
    ExpectError([&] { rs.Fields().Item(0).Value(); }, err::kNoCurrentRecord, "BOF or EOF");
    rs.MovePrevious();
    EXPECT_EQ(rs.Fields().Item("LastNam").Value(), Value("Evans Jr            "));  // trailing blanks kept
    rs.MoveFirst();
    rs.MovePrevious();
    EXPECT_TRUE(rs.Bof());
    rs.MoveLast();
    EXPECT_EQ(rs.Fields().Item(0).Value(), Value(int64_t{5}));
    rs.Close();
    EXPECT_EQ(rs.State(), 0);
    ExpectError([&] { rs.RecordCount(); }, err::kNotOpen, "closed");
}

TEST_F(PracticeDatabase, SetDeletedOffShowsMarkedRowsInQueriesAndTables) {
    auto c = Connect();
    Recordset rs;
    rs.Open("SET DELETED OFF; SELECT * FROM IdentFil WHERE PtNum = 3", *c, 3, 3, -1);
    EXPECT_EQ(rs.RecordCount(), 1);
    Recordset table;
    table.Open("IdentFil", *c, 3, 3, 2);
    EXPECT_EQ(table.RecordCount(), 5);
}

TEST_F(PracticeDatabase, AnEmptyRecordsetIsAtBothEnds) {
    auto c = Connect();
    Recordset rs;
    rs.Open("SELECT * FROM IdentFil WHERE PtNum = 99", *c, 3, 3, -1);
    EXPECT_TRUE(rs.Bof());
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 0);
    rs.MoveFirst();
    EXPECT_TRUE(rs.Eof());
    Recordset none;
    none.Open("DELETE FROM IdentFil WHERE PtNum = 99", *c, 3, 3, -1);
    EXPECT_EQ(none.State(), 0);
}

TEST_F(PracticeDatabase, FindSearchesForwardFromTheCurrentRowWithTheProgramsCriteria) {
    auto c = Connect();
    Recordset hospitals;
    hospitals.Open("SELECT * FROM DocIdent WHERE Typ = 'C'", *c, 3, 3, -1);
    hospitals.Find("Hsp = 'MERCY'");
    ASSERT_FALSE(hospitals.Eof());
    EXPECT_EQ(hospitals.Fields().Item("name").Value(), Value("Mercy Hospital      "));
    hospitals.MoveNext();
    hospitals.Find("Hsp = 'GENERAL'");  // behind the current row: not found
    EXPECT_TRUE(hospitals.Eof());

    Recordset carriers;
    carriers.Open("InsIdent", *c, 3, 3, 2);
    carriers.Find("InsNum = 5");
    EXPECT_EQ(carriers.Fields().Item("Carrier").Value(), Value("Carrier 3           "));
    carriers.Find("InsNum = 5");  // the current row matches: stays
    EXPECT_EQ(carriers.Bookmark(), 3.0);
    carriers.MoveFirst();
    carriers.Find("InsNum = 4");
    EXPECT_TRUE(carriers.Eof());

    Recordset patients;
    patients.Open("SELECT PtNum AS [Patient Number], LastNam FROM IdentFil", *c, 3, 3, -1);
    patients.Find("[Patient Number] =5");
    EXPECT_EQ(patients.Fields().Item("LastNam").Value(), Value("Evans               "));
    Recordset grid;
    grid.Open("SELECT * FROM IdentFil", *c, 3, 3, -1);
    grid.Find("PtNum =2");
    EXPECT_EQ(grid.Fields().Item("LastNam").Value(), Value("Baker               "));
    ExpectError([&] { grid.Find("Nothing = 1"); }, err::kItemNotFound, "Nothing");
    ExpectError([&] { grid.Find("PtNum 5"); }, err::kSyntax, "5");
    ExpectError([&] { grid.Find("LastNam = 5"); }, err::kTypeMismatch, "");
}

TEST_F(PracticeDatabase, RowsAddedToARecordsetAreFoundLaterAndSeenByItsClones) {
    auto c = Connect();
    Recordset carriers;
    carriers.Open("InsIdent", *c, 3, 3, 2);
    auto clone = carriers.Clone();
    carriers.AddNew();
    carriers.Fields().Item("InsNum").SetValue(Value(int64_t{40}));
    carriers.Fields().Item("Carrier").SetValue(Value("New carrier"));
    carriers.Update();
    EXPECT_EQ(carriers.RecordCount(), 7);
    carriers.MoveFirst();
    carriers.Find("InsNum = 40");
    ASSERT_FALSE(carriers.Eof());
    const double mark = carriers.Bookmark();
    clone->SetBookmark(mark);
    EXPECT_EQ(clone->Fields().Item("Carrier").Value(), Value("New carrier         "));
    clone->MoveFirst();
    clone->Find("InsNum = 40");
    EXPECT_EQ(clone->Bookmark(), mark);

    Recordset hospitals;
    hospitals.Open("SELECT * FROM DocIdent WHERE Typ = 'C'", *c, 3, 3, -1);
    hospitals.AddNew();
    hospitals.Fields().Item("Typ").SetValue(Value("C"));
    hospitals.Fields().Item("Hsp").SetValue(Value("NEW"));
    hospitals.Update();
    hospitals.MoveFirst();
    hospitals.Find("Hsp = 'NEW'");
    EXPECT_FALSE(hospitals.Eof());
}

// A recordset's writes are synced as it closes; a sync the disk refuses is reported there,
// naming the file and the reason, and the recordset is closed all the same.
TEST_F(PracticeDatabase, ClosingReportsASyncOfItsWritesTheDiskRefused) {
    for (const char* source : {"InsIdent", "SELECT * FROM InsIdent WHERE InsNum > 0"}) {
        SCOPED_TRACE(source);
        engine::dbf::FaultyFileSystem faults;
        engine::dbf::ScopedFileSystem scoped(faults);
        auto c = Connect();
        Recordset carriers;
        carriers.Open(source, *c, 3, 3, std::string(source).starts_with("SELECT") ? -1 : 2);
        carriers.AddNew();
        carriers.Fields().Item("InsNum").SetValue(Value(int64_t{41}));
        carriers.Update();
        faults.FailCall(engine::dbf::FaultyFileSystem::Op::Sync, "InsIdent", 1, EIO);
        ExpectError([&] { carriers.Close(); }, err::kFileAccess, "Cannot flush file '");
        EXPECT_EQ(faults.FaultsInjected(), 1);
        EXPECT_EQ(carriers.State(), 0);
        c->Close();  // the writes left unsynced are synced now
    }
}

TEST_F(PracticeDatabase, BookmarksStayWithTheirRowsAndBadOnesAreRefused) {
    auto c = Connect();
    Recordset rs;
    rs.Open("IdentFil", *c, 3, 3, 2);
    rs.MoveNext();
    const double second = rs.Bookmark();
    rs.MoveLast();
    rs.SetBookmark(second);
    EXPECT_EQ(rs.Fields().Item("PtNum").Value(), Value(int64_t{2}));
    auto clone = rs.Clone();
    EXPECT_EQ(clone->Fields().Item("PtNum").Value(), Value(int64_t{1}));
    clone->SetBookmark(second);
    EXPECT_EQ(clone->Fields().Item("PtNum").Value(), Value(int64_t{2}));
    ExpectError([&] { rs.SetBookmark(3.0); }, err::kBadArgument, "bookmark");  // the marked row
    ExpectError([&] { rs.SetBookmark(99.0); }, err::kBadArgument, "bookmark");
    Recordset query;
    query.Open("SELECT * FROM IdentFil WHERE PtNum = 5", *c, 3, 3, -1);
    query.MoveLast();
    const double last = query.Bookmark();
    auto queryClone = query.Clone();
    queryClone->SetBookmark(last);
    EXPECT_EQ(queryClone->Fields().Item("LastNam").Value(), Value("Evans Jr            "));
}

TEST_F(PracticeDatabase, ValueAtReadsAnyRowByBookmarkWithoutMovingTheCursor) {
    auto c = Connect();
    for (const char* source : {"IdentFil", "SELECT PtNum, LastNam FROM IdentFil"}) {
        Recordset rs;
        rs.Open(source, *c, 3, 3, -1);
        rs.MoveLast();
        const double last = rs.Bookmark();
        rs.MoveFirst();
        const double first = rs.Bookmark();
        rs.Fields().Item("LastNam").SetValue(Value("Edited"));  // an edit under way is not read
        EXPECT_EQ(rs.ValueAt(last, 0), Value(int64_t{5})) << source;
        EXPECT_EQ(rs.ValueAt(first, 1), Value("Adams               ")) << source;
        EXPECT_EQ(rs.Bookmark(), first) << source;
        ExpectError([&] { rs.ValueAt(99.0, 0); }, err::kBadArgument, "bookmark");
        ExpectError([&] { rs.ValueAt(first, 7); }, err::kItemNotFound, "Item 7");
        rs.CancelUpdate();
    }
}

TEST_F(PracticeDatabase, AddNewAndUpdateWriteThroughAtOnce) {
    auto c = Connect();
    Recordset rs;
    rs.Open("IdentFil", *c, 3, 3, 2);
    rs.AddNew();
    rs.Fields().Item("PtNum").SetValue(Value(int64_t{9}));
    rs.Fields().Item("LastNam").SetValue(Value("Young"));
    EXPECT_TRUE(rs.Fields().Item("Birthday").Value().IsNull());
    rs.Update();
    EXPECT_EQ(rs.Fields().Item("Balance").Value(), Value(0.0));  // the stored blank reads back
    auto fresh = Connect();
    auto seen = fresh->Execute("SELECT LastNam, Birthday FROM IdentFil WHERE PtNum = 9");
    ASSERT_EQ(seen.rows->rows.size(), 1u);
    EXPECT_EQ(seen.rows->rows[0][0], Value("Young               "));
    EXPECT_TRUE(seen.rows->rows[0][1].IsNull());

    // Update alone saves changes to the current row; moving away saves them too.
    rs.MoveFirst();
    rs.Fields().Item("Balance").SetValue(Value("7.75"));
    rs.Update();
    rs.Fields().Item("LastNam").SetValue(Value("Adamson"));
    rs.MoveNext();
    auto after = fresh->Execute("SELECT LastNam, Balance FROM IdentFil WHERE PtNum = 1").rows->rows;
    EXPECT_EQ(after[0][0], Value("Adamson             "));
    EXPECT_EQ(after[0][1], Value(7.75));

    // Through an updatable SELECT.
    Recordset query;
    query.Open("SELECT PtNum, LastNam FROM IdentFil WHERE PtNum = 2", *c, 3, 3, -1);
    query.Fields().Item("LastNam").SetValue(Value("Barker"));
    query.Update();
    EXPECT_EQ(fresh->Execute("SELECT * FROM IdentFil WHERE LastNam = 'Barker'").rows->rows.size(), 1u);
    query.CancelUpdate();

    Recordset computed;
    computed.Open("SELECT PtNum, UPPER(LastNam) AS up FROM IdentFil", *c, 3, 3, -1);
    ExpectError([&] { computed.AddNew(); }, engine::api::err::kNotUpdatable, "cannot be updated");
    ExpectError([&] { computed.Fields().Item(0).SetValue(Value(int64_t{3})); }, engine::api::err::kNotUpdatable,
                "cannot be updated");
}

TEST_F(PracticeDatabase, AnIndependentReaderSeesRowsTheRecordsetAdded) {
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    auto c = Connect();
    Recordset rs;
    rs.Open("InsIdent", *c, 3, 3, 2);
    rs.AddNew();
    rs.Fields().Item("InsNum").SetValue(Value(int64_t{77}));
    rs.Fields().Item("Carrier").SetValue(Value("Reader check"));
    rs.Fields().Item("Group_Id").SetValue(Value(true));
    rs.Update();
    const auto out = m_dir / "out.txt";
    const std::string command = "/usr/bin/python3 -c \"import dbfread; r = list(dbfread.DBF('" +
                                (m_dir / "InsIdent.dbf").string() +
                                "'))[-1]; print(r['INSNUM'], r['CARRIER'], r['GROUP_ID'])\" > " + out.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(testing_support::ReadFile(out), "77 Reader check True\n");
}

TEST_F(PracticeDatabase, OpeningATableToAppendReadsNoRow) {
    // Without its memo file the first row cannot be read; appending must not need it.
    auto c = Connect();
    std::filesystem::remove(m_dir / "alltypes.fpt");
    Recordset rs;
    rs.Open("AllTypes", *c, 3, 3, 2);
    rs.AddNew();
    rs.Fields().Item("Int").SetValue(Value(int64_t{8}));
    rs.Update();
    EXPECT_EQ(engine::Table::Open(m_dir / "alltypes.dbf")->ReadValue(1, 5), Value(int64_t{8}));
    rs.MoveFirst();
    EXPECT_THROW(rs.Fields().Item("Mem").Value(), engine::Error);
}

TEST_F(PracticeDatabase, FieldsDescribeEveryTypeAsAdoDoes) {
    auto c = Connect();
    Recordset rs;
    rs.Open("AllTypes", *c, 3, 3, 2);
    struct Expect {
        const char* name;
        int type;
        long size;
        int precision;
        int scale;
    };
    const Expect expected[] = {{"chr", 129, 8, 255, 255},
                               {"vch", 200, 10, 255, 255},
                               {"mem", 201, 2147483647, 255, 255},
                               {"num", 131, 8, 8, 3},
                               {"flt", 131, 12, 12, 4},
                               {"int", 3, 4, 10, 255},
                               {"cur", 6, 8, 19, 4},
                               {"dbl", 5, 8, 15, 2},
                               {"lgc", 11, 2, 255, 255},
                               {"dat", 133, 6, 255, 255},
                               {"dtm", 135, 16, 255, 255},
                               {"gen", 205, 2147483647, 255, 255},
                               {"blb", 205, 2147483647, 255, 255},
                               {"vbn", 204, 6, 255, 255}};
    ASSERT_EQ(rs.Fields().Count(), 14);
    for (long i = 0; i < 14; ++i) {
        auto& f = rs.Fields().Item(i);
        EXPECT_EQ(f.Name(), expected[i].name);
        EXPECT_EQ(f.Type(), expected[i].type) << f.Name();
        EXPECT_EQ(f.DefinedSize(), expected[i].size) << f.Name();
        EXPECT_EQ(f.Precision(), expected[i].precision) << f.Name();
        EXPECT_EQ(f.NumericScale(), expected[i].scale) << f.Name();
    }
    EXPECT_EQ(rs.Fields().Item("VCH").Value(), Value("vc"));
    EXPECT_EQ(rs.Fields().Item("Cur").Value(), Value(engine::Currency{12345}));
    EXPECT_EQ(rs.Fields().Item("Dtm").Value(), Value(engine::DateTime{engine::JulianDayFromYmd(2024, 2, 29), 3600000}));
    ExpectError([&] { rs.Fields().Item("Nope"); }, err::kItemNotFound, "Nope");
    ExpectError([&] { rs.Fields().Item(14); }, err::kItemNotFound, "14");
}

TEST_F(PracticeDatabase, AssignedValuesAreConvertedToTheFieldsType) {
    auto c = Connect();
    Recordset rs;
    rs.Open("AllTypes", *c, 3, 3, 2);
    auto& f = rs.Fields();
    rs.AddNew();
    f.Item("Chr").SetValue(Value(int64_t{42}));
    f.Item("Num").SetValue(Value(" 12.5 "));
    f.Item("Int").SetValue(Value(3.6));
    f.Item("Cur").SetValue(Value(int64_t{2}));
    f.Item("Lgc").SetValue(Value(".T."));
    f.Item("Dat").SetValue(Value("03/15/2021"));
    f.Item("Dtm").SetValue(Value("2021-03-15T13:45:00"));
    f.Item("Mem").SetValue(Value());
    EXPECT_EQ(f.Item("Chr").Value(), Value("42"));
    EXPECT_EQ(f.Item("Num").Value(), Value(12.5));
    EXPECT_EQ(f.Item("Int").Value(), Value(int64_t{4}));
    EXPECT_EQ(f.Item("Cur").Value(), Value(engine::Currency{20000}));
    EXPECT_EQ(f.Item("Lgc").Value(), Value(true));
    EXPECT_EQ(f.Item("Dat").Value(), Value(Ymd(2021, 3, 15)));
    EXPECT_EQ(f.Item("Dtm").Value(), Value(engine::DateTime{engine::JulianDayFromYmd(2021, 3, 15), 49500000}));
    const long conversion = engine::api::err::kConversion;
    ExpectError([&] { f.Item("Num").SetValue(Value("abc")); }, conversion, "'abc' to Numeric for field 'num'");
    ExpectError([&] { f.Item("Dat").SetValue(Value("02/30/2021")); }, conversion, "Date");
    ExpectError([&] { f.Item("Lgc").SetValue(Value("maybe")); }, conversion, "Logical");
    ExpectError([&] { f.Item("Int").SetValue(Value(Ymd(2021, 1, 1))); }, conversion, "Integer");
    ExpectError([&] { f.Item("Int").SetValue(Value(5e12)); }, conversion, "Integer");
    rs.Update();
    auto back = Connect()->Execute("SELECT Chr, Num, Dat, Mem FROM AllTypes WHERE Int = 4").rows->rows;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0][0], Value("42      "));
    EXPECT_EQ(back[0][1], Value(12.5));
    EXPECT_EQ(back[0][2], Value(Ymd(2021, 3, 15)));
    EXPECT_TRUE(back[0][3].IsNull());
}

}  // namespace
