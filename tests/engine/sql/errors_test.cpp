#include <gtest/gtest.h>

#include "engine/sql/sql_errors.h"
#include "practice_tables.h"

using namespace sql_test;

namespace {

// Runs the text, expects an error, and returns it.
engine::Error Failure(PracticeTables& db, const std::string& text) {
    try {
        db.Run(text);
    } catch (const engine::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error for: " << text;
    return engine::Error(0, "");
}

std::string Snapshot(PracticeTables& db) {
    std::string out;
    for (const char* name : {"IdentFil", "Appointment", "DocIdent", "Case"}) {
        for (const auto& r : db.Table(name).records) {
            out += r.deleted ? "*" : " ";
            for (const auto& v : r.values) out += std::to_string(v.Raw().index()) + ",";
            if (auto* s = r.values[1].If<std::string>()) out += *s;
            out += "\n";
        }
    }
    return out;
}

}  // namespace

TEST(SqlErrors, BadTextNamesTheProblemAndItsPlace) {
    PracticeTables db;
    struct Case {
        std::string text;
        long number;
        std::string fragment;
    };
    const std::vector<Case> cases = {
        {"SELECT * FROM Nowhere", engine::err::kUnknownTable, "Nowhere"},
        {"SELECT Nope FROM IdentFil", engine::err::kUnknownField, "Column 'Nope' is not found at position 8"},
        {"SELECT * FROM IdentFil WHERE x.PtNum = 1", engine::err::kUnknownField, "Alias 'x'"},
        {"SELECT * FROM IdentFil WHERE PtNum = ", engine::err::kSyntax, "near 'end of text' at position 38"},
        {"SELECT * FRM IdentFil", engine::err::kSyntax, "near 'FRM' at position 10: expected FROM"},
        {"SELECT * FROM IdentFil WHERE LastNam = 'Smith", engine::err::kSyntax, "Unterminated string"},
        {"SELECT * FROM IdentFil WHERE LastNam = [Smith", engine::err::kSyntax, "Unterminated ["},
        {"SELECT * FROM IdentFil WHERE PtNum = 5 5", engine::err::kSyntax, "near '5' at position 40"},
        {"SELECT SUBSTR(LastNam) FROM IdentFil", engine::err::kArgumentCount, "SUBSTR at position 8: 1 given, 2 to 3"},
        {"SELECT FOO(1) FROM IdentFil", engine::err::kSyntax, "Unknown function 'FOO'"},
        {"SELECT * FROM IdentFil WHERE PtNum = 'five'", engine::err::kTypeMismatch, "position 36"},
        {"SELECT LastNam + 1 FROM IdentFil", engine::err::kTypeMismatch, "character and numeric"},
        {"SELECT * FROM IdentFil WHERE LastNam", engine::err::kTypeMismatch, "WHERE condition must be logical"},
        {"SELECT UPPER(PtNum) FROM IdentFil", engine::err::kTypeMismatch, "UPPER argument 1 must be character"},
        {"SELECT * FROM IdentFil WHERE Birthday = {^2023-02-29}", engine::sql::err::kInvalidDate, "{^2023-02-29}"},
        // Digit runs far longer than any year are refused without reading them as a number.
        {"SELECT * FROM IdentFil WHERE Birthday = {^1950Pt99999999999-01-0A}", engine::sql::err::kInvalidDate,
         "{^1950Pt99999999999-01-0A}"},
        {"SELECT {^1950-01-02 12:99999999999999999999} FROM IdentFil", engine::sql::err::kInvalidDate, "position 8"},
        {"SELECT * FROM IdentFil ORDER BY 12", engine::err::kSyntax, "ORDER BY column number 12"},
        {"INSERT INTO Case (PtNum) VALUES (1, 2)", engine::err::kSyntax, "2 values for 1 fields"},
        {"INSERT INTO Case (Nope) VALUES (1)", engine::err::kUnknownField, "'Nope'"},
        {"UPDATE IdentFil SET Birthday = 'x'", engine::err::kTypeMismatch, "field 'BIRTHDAY' is date"},
        {"SET NOTHING ON", engine::err::kSyntax, "expected DELETED, EXCLUSIVE or AUTOINCERROR"},
        {"DROP TABLE IdentFil", engine::err::kSyntax, "near 'DROP' at position 1"},
    };
    for (const Case& c : cases) {
        const engine::Error e = Failure(db, c.text);
        EXPECT_EQ(e.Number(), c.number) << c.text << ": " << e.Description();
        EXPECT_NE(e.Description().find(c.fragment), std::string::npos) << c.text << ": " << e.Description();
    }
}

TEST(SqlErrors, AnErrorAnywhereInTheTextWritesNothing) {
    PracticeTables db;
    const std::string before = Snapshot(db);
    for (const std::string text : {
             "DELETE FROM Appointment WHERE PId = 5; DELETE FROM Nowhere WHERE PtNum = 5",
             "INSERT INTO Case (PtNum) VALUES (8); UPDATE IdentFil SET LastNam = 'X' WHERE PtNum = 'x'",
             "UPDATE IdentFil SET LastNam = 'X'; SELECT * FROM IdentFil WHERE",
             "SET DELETED OFF; DELETE FROM IdentFil; PACK \"/data/IdentFil\"",  // PACK without exclusive use
         }) {
        Failure(db, text);
        EXPECT_EQ(Snapshot(db), before) << text;
        EXPECT_TRUE(db.session.Options().deleted) << text;
    }
    // A value that fails only when computed: the statement computes every change first.
    Failure(db, "UPDATE IdentFil SET BusPhone = NULL, Ssn = IIF(PtNum = 9, NULL, Ssn)");
    EXPECT_EQ(Snapshot(db), before);
    Failure(db, "UPDATE Case SET Amount = 1 / (PtNum - 5)");
    EXPECT_EQ(Snapshot(db), before);
}

TEST(SqlErrors, RuntimeFailuresCarryTheirNumbers) {
    PracticeTables db;
    EXPECT_EQ(Failure(db, "SELECT PtNum / 0 FROM IdentFil").Number(), engine::sql::err::kDivisionByZero);
    const engine::Error e = Failure(db, "INSERT INTO Case (PtNum, Amount) VALUES (1, NULL)");
    EXPECT_EQ(e.Number(), engine::sql::err::kNullNotAllowed);
    EXPECT_NE(e.Description().find("AMOUNT"), std::string::npos);
}

TEST(SqlErrors, ExpressionsNestedDeeperThanAnyQueryAreRefusedWithoutExhaustingTheStack) {
    PracticeTables db;
    auto repeat = [](const std::string& piece, int times) {
        std::string out;
        for (int i = 0; i < times; ++i) out += piece;
        return out;
    };
    const std::string deep[] = {
        "SELECT " + repeat("(", 100000) + "1" + repeat(")", 100000) + " FROM IdentFil",
        "SELECT " + repeat("1+", 100000) + "1 FROM IdentFil",
        "SELECT * FROM IdentFil WHERE " + repeat("NOT ", 100000) + ".T.",
        "SELECT " + repeat("-", 100000) + "1 FROM IdentFil",
        "SELECT " + repeat("2^", 100000) + "1 FROM IdentFil",
        "SELECT * FROM IdentFil WHERE " + repeat("PtNum = 1 OR ", 100000) + "PtNum = 2",
        "SELECT " + repeat("ALLTRIM(", 100000) + "'x'" + repeat(")", 100000) + " FROM IdentFil",
    };
    for (const auto& text : deep) {
        const engine::Error e = Failure(db, text);
        EXPECT_EQ(e.Number(), engine::err::kSyntax);
        EXPECT_NE(e.Description().find("the expression is nested too deeply"), std::string::npos) << e.Description();
    }
    // Nesting and chains as deep as real queries go still run.
    EXPECT_EQ(db.Rows("SELECT " + repeat("(", 150) + "PtNum" + repeat(")", 150) + " FROM IdentFil WHERE " +
                      repeat("PtNum = 0 OR ", 400) + "PtNum = 7")
                  .rows.size(),
              1u);
}

TEST(SqlErrors, ANumberPastTheLargestDoubleIsRefusedAndOneTooSmallIsZero) {
    PracticeTables db;
    const engine::Error e = Failure(db, "SELECT * FROM IdentFil WHERE PtNum = 1E5555");
    EXPECT_EQ(e.Number(), engine::err::kValueTooLarge);
    EXPECT_NE(e.Description().find("'1E5555' at position 38 is too large"), std::string::npos) << e.Description();
    EXPECT_EQ(db.Rows("SELECT 1e-5555 FROM IdentFil").rows.at(0).at(0), engine::Value(0.0));
}
