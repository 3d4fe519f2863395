#include <gtest/gtest.h>

#include "practice_tables.h"

using namespace sql_test;
using engine::sql::ResultSet;

namespace {

std::vector<Value> Column(const ResultSet& r, size_t column) {
    std::vector<Value> out;
    for (const auto& row : r.rows) out.push_back(row[column]);
    return out;
}

std::vector<Value> Ints(std::initializer_list<int64_t> values) {
    return std::vector<Value>(values.begin(), values.end());
}

}  // namespace

TEST(SqlStatements, PatientRowsOfOneTableSkipRowsMarkedDeleted) {
    PracticeTables db;
    const ResultSet r = db.Rows("SELECT * FROM IdentFil WHERE PtNum = 5");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0][2], Value("John           "));
    EXPECT_EQ(r.fields.size(), 9u);
    EXPECT_EQ(r.fields[0], (FieldInfo{"ptnum", 'I', 4, 0, false}));
    EXPECT_EQ(r.fields[8], (FieldInfo{"birthday", 'D', 8, 0, true}));
    EXPECT_TRUE(r.Updatable());
    EXPECT_EQ(r.sourceRecords, std::vector<engine::sql::RecordNumber>{0});

    EXPECT_EQ(db.Rows("select * from appointment where pid = 5").rows.size(), 2u);
}

TEST(SqlStatements, SetDeletedOffInTheSameTextShowsMarkedRowsAndStaysForTheConnection) {
    PracticeTables db;
    const ResultSet r = db.Rows("SET DELETED OFF; SELECT * FROM IdentFil WHERE PtNum = 5");
    EXPECT_EQ(r.sourceRecords, (std::vector<engine::sql::RecordNumber>{0, 3}));
    EXPECT_FALSE(db.session.Options().deleted);
    EXPECT_EQ(db.Rows("SELECT PtNum, DELETED() AS gone FROM IdentFil WHERE PtNum = 5").rows.size(), 2u);
    EXPECT_EQ(Column(db.Rows("SELECT DELETED() FROM IdentFil WHERE PtNum = 5"), 0), (std::vector<Value>{false, true}));

    PracticeTables other;  // another connection keeps the default
    EXPECT_TRUE(other.session.Options().deleted);
}

TEST(SqlStatements, DeleteMarksRowsThatStayUntilPacked) {
    PracticeTables db;
    EXPECT_EQ(db.Run("DELETE FROM Appointment WHERE PId = 5").recordsAffected, 2);
    const auto& records = db.Table("Appointment").records;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(records[0].deleted);
    EXPECT_FALSE(records[1].deleted);
    EXPECT_TRUE(records[2].deleted);
    EXPECT_TRUE(db.Rows("SELECT * FROM Appointment WHERE PId = 5").rows.empty());

    EXPECT_EQ(db.Run("DELETE FROM Case WHERE Ptnum = 5").recordsAffected, 1);
    db.Run("SET EXCLUSIVE ON");
    EXPECT_TRUE(db.session.Options().exclusive);
    db.Run("PACK \"/data/Archive/Case\"");
    db.Run("PACK \"/data/Archive/Appointment.dbf\"");
    db.Run("SET EXCLUSIVE OFF");
    EXPECT_EQ(db.provider.packed, (std::vector<std::string>{"/data/Archive/Case", "/data/Archive/Appointment.dbf"}));
    EXPECT_TRUE(db.Table("Case").records.empty());
    EXPECT_EQ(db.Table("Appointment").records.size(), 1u);
}

TEST(SqlStatements, PackAndReindexNeedExclusiveUse) {
    PracticeTables db;
    for (const char* text : {"PACK \"/data/Archive/Case\"", "REINDEX IdentFil", "reindex \"/data/IdentFil.dbf\""}) {
        try {
            db.Run(text);
            ADD_FAILURE() << text;
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.Number(), engine::sql::err::kMustBeExclusive) << text;
            EXPECT_NE(e.Description().find("File must be opened exclusively"), std::string::npos) << e.Description();
        }
    }
    // Nothing of a text runs when one of its statements is refused.
    EXPECT_THROW(db.Run("SET EXCLUSIVE ON; SET EXCLUSIVE OFF; REINDEX IdentFil"), engine::Error);
    EXPECT_TRUE(db.provider.packed.empty());
    EXPECT_TRUE(db.provider.reindexed.empty());
    db.Run("SET EXCLUSIVE ON; PACK \"/data/Archive/Case\"; REINDEX Case; SET EXCLUSIVE OFF");
    EXPECT_EQ(db.provider.packed.size(), 1u);
    EXPECT_EQ(db.provider.reindexed, std::vector<std::string>{"Case"});
    // REINDEX wants the table it rebuilds.
    EXPECT_THROW(db.Run("SET EXCLUSIVE ON; REINDEX"), engine::Error);
}

TEST(SqlStatements, ExclusiveModeOpensTablesExclusively) {
    PracticeTables db;
    db.Run("SET EXCLUSIVE ON");
    auto holder = db.provider.Open("IdentFil", engine::sql::OpenMode::kShared);
    try {
        db.Run("SELECT * FROM IdentFil");
        FAIL();
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kFileInUse);
    }
    db.Run("SET EXCLUSIVE OFF");
    EXPECT_EQ(db.Rows("SELECT * FROM IdentFil").rows.size(), 3u);
}

TEST(SqlStatements, MergeQueriesWithTextAndLogicalLiterals) {
    PracticeTables db;
    EXPECT_EQ(Column(db.Rows("SELECT * FROM DocIdent WHERE Typ = 'C'"), 1),
              (std::vector<Value>{"GEN       ", "MERCY     "}));
    // As the merge joins its pieces: two blanks where pieces meet, a trailing blank.
    const std::string query =
        "SELECT * FROM DocInsur WHERE  Doc = 'DR1'  AND InsNum = 12  AND ProvId = 'P1'  AND Group_Id = .F.  AND "
        "Fac = .F.  AND Box24K = .T. ";
    const ResultSet r = db.Rows(query);
    ASSERT_EQ(r.sourceRecords, std::vector<engine::sql::RecordNumber>{1});
    EXPECT_EQ(db.Rows("SELECT * FROM DocInsur WHERE Group_Id = .Y. AND NOT Fac = .N.").rows.size(), 0u);
    EXPECT_EQ(db.Rows("SELECT * FROM DocInsur WHERE Group_Id .AND. .NOT. Fac").rows.size(), 1u);
}

TEST(SqlStatements, GridRecordSourceFormatsPhonesAndSortsByLastName) {
    PracticeTables db;
    const ResultSet r = db.Rows(
        "SELECT PtNum, LastNam, FirstNam, Midinit, Title1, "
        "SUBSTR(HomPhone,1,3)+'.'+SUBSTR(HomPhone,4,3)+'.'+SUBSTR(HomPhone,7) AS HomPhone, "
        "SUBSTR(BusPhone,1,3)+'.'+SUBSTR(BusPhone,4,3)+'.'+SUBSTR(BusPhone,7) AS BusPhone, "
        "SUBSTR(SSN,1,3)+'-'+SUBSTR(SSN,4,2)+'-'+SUBSTR(SSN,6) AS SSN, Birthday "
        "FROM IdentFil ORDER BY LastNam");
    EXPECT_EQ(Column(r, 0), Ints({7, 9, 5}));
    EXPECT_EQ(r.rows[2][5], Value("555.123.4567"));
    EXPECT_EQ(r.rows[2][6], Value("555.987.6543"));
    EXPECT_EQ(r.rows[0][6], Value());  // a null phone stays null
    EXPECT_EQ(r.rows[2][7], Value("123-45-6789"));
    EXPECT_EQ(r.fields[5], (FieldInfo{"HomPhone", 'C', 12, 0, false}));
    EXPECT_EQ(r.fields[6].nullable, true);
    EXPECT_EQ(r.fields[7], (FieldInfo{"SSN", 'C', 11, 0, false}));
    EXPECT_EQ(r.fields[8].name, "birthday");
    EXPECT_FALSE(r.Updatable());
    EXPECT_FALSE(db.Rows("SELECT PtNum + 1 FROM IdentFil WHERE PtNum = 99").Updatable());
    EXPECT_TRUE(db.Rows("SELECT PtNum FROM IdentFil WHERE PtNum = 99").Updatable());
    EXPECT_EQ(r.sourceFields, (std::vector<int>{0, 1, 2, 3, 4, -1, -1, -1, 8}));
}

TEST(SqlStatements, OrderByExpressionAliasColumnNumberAndDirection) {
    PracticeTables db;
    EXPECT_EQ(Column(db.Rows("SELECT PtNum FROM IdentFil ORDER BY LastNam DESC"), 0), Ints({5, 9, 7}));
    EXPECT_EQ(Column(db.Rows("SELECT PtNum, FirstNam AS f FROM IdentFil ORDER BY f"), 0), Ints({9, 5, 7}));
    EXPECT_EQ(Column(db.Rows("SELECT LastNam, PtNum FROM IdentFil ORDER BY 2 DESC"), 1), Ints({9, 7, 5}));
    EXPECT_EQ(Column(db.Rows("SELECT PtNum FROM IdentFil ORDER BY RIGHT(HomPhone, 4) ASC"), 0), Ints({7, 9, 5}));
    // Nulls sort first; equal keys keep table order.
    EXPECT_EQ(Column(db.Rows("SELECT PtNum FROM IdentFil ORDER BY Birthday"), 0), Ints({7, 5, 9}));
    EXPECT_EQ(Column(db.Rows("SELECT PtNum FROM IdentFil ORDER BY Title1 = 'Mr', PtNum DESC"), 0), Ints({9, 7, 5}));
}

TEST(SqlStatements, ResultColumnNames) {
    PracticeTables db;
    const ResultSet r = db.Rows("SELECT PtNum, PtNum * 2, UPPER(LastNam) AS Big, .T. FROM IdentFil WHERE PtNum = 9");
    ASSERT_EQ(r.fields.size(), 4u);
    EXPECT_EQ(r.fields[0].name, "ptnum");
    EXPECT_EQ(r.fields[1].name, "Exp_2");
    EXPECT_EQ(r.fields[2].name, "Big");
    EXPECT_EQ(r.fields[3].name, "Exp_4");
    EXPECT_EQ(r.rows[0], (std::vector<Value>{9, int64_t{18}, "JONES               ", true}));
    EXPECT_EQ(r.fields[1].type, 'N');
    EXPECT_EQ(r.fields[2], (FieldInfo{"Big", 'C', 20, 0, false}));
    EXPECT_EQ(r.fields[3], (FieldInfo{"Exp_4", 'L', 1, 0, false}));
}

TEST(SqlStatements, TablesNamedByReservedWordsQuotedNamesPathsAndAliases) {
    PracticeTables db;
    EXPECT_EQ(db.Rows("SELECT * FROM Case").rows.size(), 1u);
    EXPECT_EQ(db.Rows("SELECT * FROM \"expense categories\"").rows.size(), 1u);
    EXPECT_EQ(db.Rows("SELECT * FROM \"/data/expense categories.dbf\"").rows.size(), 1u);
    EXPECT_EQ(db.Rows("SELECT i.PtNum FROM IdentFil i WHERE i.LastNam = 'Jones'").rows.size(), 1u);
    EXPECT_EQ(db.Rows("SELECT IdentFil.PtNum FROM IdentFil WHERE IdentFil.PtNum = 7").rows.size(), 1u);
    EXPECT_EQ(db.Rows("SELECT * FROM corvane!IdentFil").rows.size(), 3u);
    EXPECT_EQ(db.Rows("sElEcT ptnum FrOm identfil wHeRe PTNUM = 7 OrDeR bY lastnam").rows.size(), 1u);
}

TEST(SqlStatements, InsertWithAndWithoutFieldList) {
    PracticeTables db;
    EXPECT_EQ(db.Run("INSERT INTO Appointment (PId, When) VALUES (11, {^2024-05-06 10:30:00})").recordsAffected, 1);
    EXPECT_EQ(db.Table("Appointment").records.back().values,
              (std::vector<Value>{int64_t{11}, engine::DateTime{Ymd(2024, 5, 6).julianDay, 37800000}}));

    db.Run("INSERT INTO IdentFil (PtNum, LastNam) VALUES (12, 'New')");
    const auto& added = db.Table("IdentFil").records.back().values;
    EXPECT_EQ(added[1], Value("New"));
    EXPECT_EQ(added[2], Value(""));  // not nullable: blank
    EXPECT_EQ(added[6], Value());    // nullable: null
    EXPECT_EQ(added[8], Value());

    db.Run("INSERT INTO Case VALUES (12, 10.5)");
    EXPECT_EQ(db.Table("Case").records.back().values, (std::vector<Value>{int64_t{12}, engine::Currency{105000}}));
}

TEST(SqlStatements, UpdateComputesFromTheOldValues) {
    PracticeTables db;
    EXPECT_EQ(db.Run("UPDATE IdentFil SET FirstNam = LastNam, LastNam = FirstNam WHERE PtNum = 9").recordsAffected, 1);
    const auto& row = db.Table("IdentFil").records[2].values;
    EXPECT_EQ(row[1], Value("Ann            "));
    EXPECT_EQ(row[2], Value("Jones               "));
    db.Run("UPDATE Case SET Amount = Amount * 2");
    EXPECT_EQ(db.Table("Case").records[0].values[1], Value(engine::Currency{250000}));
    // The marked record is out of reach with DELETED ON.
    EXPECT_EQ(db.Run("UPDATE IdentFil SET Title1 = 'Dr' WHERE PtNum = 5").recordsAffected, 1);
    EXPECT_EQ(db.Table("IdentFil").records[3].values[4], Value("Mr  "));
}

TEST(SqlStatements, SeveralStatementsGiveTheLastSelect) {
    PracticeTables db;
    const auto outcome =
        db.Run("SELECT * FROM Case; DELETE FROM Appointment WHERE PId = 7;; SELECT PId FROM Appointment;");
    ASSERT_TRUE(outcome.rows);
    EXPECT_EQ(Column(*outcome.rows, 0), Ints({5, 5}));
    EXPECT_FALSE(db.Run("SET DELETED ON").rows);
}
