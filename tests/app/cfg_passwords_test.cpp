#include "archive/cfg_passwords.h"

#include <gtest/gtest.h>

#include "engine/error.h"
#include "password_db.h"
#include "support/temp_dir.h"

namespace {

using CfgPasswords::DecodePassword;
using CfgPasswords::ReadPasswords;
using engine::Value;
using passwords_testing::Connect;
using passwords_testing::MakeDemoDb;
using passwords_testing::MakePasswordsDb;
using testing_support::TempDir;

TEST(DecodePassword, TurnsDigitPairsIntoCharactersThirtyAboveThem) {
    EXPECT_EQ(DecodePassword("857169847186"), "secret");
    EXPECT_EQ(DecodePassword("5371"), "Se");
    EXPECT_EQ(DecodePassword(""), "");
    // The ends of the range: 00 is code 30, 99 is code 129; 98 is 128, the euro sign in 1252.
    EXPECT_EQ(DecodePassword("00"), "\x1e");
    EXPECT_EQ(DecodePassword("98"), "\u20ac");
    EXPECT_EQ(DecodePassword("99"), "\u0081");
}

TEST(DecodePassword, DecodesALastSingleDigitOnItsOwn) {
    EXPECT_EQ(DecodePassword("857"), "s%");  // 7 + 30 is "%"
    EXPECT_EQ(DecodePassword("3"), "!");
}

TEST(DecodePassword, RaisesOnAPieceThatIsNoNumber) {
    for (const char* stored : {"85x1", "8a", "x", "85 1", "-5"}) {
        try {
            DecodePassword(stored);
            ADD_FAILURE() << stored << " decoded";
        } catch (const engine::Error& e) {
            EXPECT_EQ(e.Number(), engine::err::kTypeMismatch) << stored;
        }
    }
}

TEST(ReadPasswords, ReadsAndDecodesTheFourPasswordsOfTheDemoDatabase) {
    TempDir dir;
    MakeDemoDb(dir.Path(), 2, "Secret");
    auto connection = Connect(dir.Path());
    std::string deletePwd, systemPwd, reportPwd, backupPwd;
    EXPECT_TRUE(ReadPasswords(connection.get(), deletePwd, systemPwd, reportPwd, backupPwd));
    EXPECT_EQ(deletePwd, "Secret");
    EXPECT_EQ(systemPwd, "system");
    EXPECT_EQ(reportPwd, "report");
    EXPECT_EQ(backupPwd, "backup");
}

TEST(ReadPasswords, TrimsBlanksTakesNullAsEmptyAndReadsOnlyTheFirstRow) {
    TempDir dir;
    MakePasswordsDb(dir.Path(), {{Value("  857169  "), Value(), Value(""), Value("   ")},
                                 {Value("5371"), Value("5371"), Value("5371"), Value("5371")}});
    auto connection = Connect(dir.Path());
    std::string deletePwd = "x", systemPwd = "x", reportPwd = "x", backupPwd = "x";
    EXPECT_TRUE(ReadPasswords(connection.get(), deletePwd, systemPwd, reportPwd, backupPwd));
    EXPECT_EQ(deletePwd, "sec");
    EXPECT_EQ(systemPwd, "");
    EXPECT_EQ(reportPwd, "");
    EXPECT_EQ(backupPwd, "");
}

TEST(ReadPasswords, AnEmptyTableIsReadAndLeavesThePasswordsAlone) {
    TempDir dir;
    MakePasswordsDb(dir.Path(), {});
    auto connection = Connect(dir.Path());
    std::string deletePwd = "d", systemPwd = "s", reportPwd = "r", backupPwd = "b";
    EXPECT_TRUE(ReadPasswords(connection.get(), deletePwd, systemPwd, reportPwd, backupPwd));
    EXPECT_EQ(deletePwd + systemPwd + reportPwd + backupPwd, "dsrb");
}

TEST(ReadPasswords, FailsWithoutAConnectionOrTable) {
    std::string deletePwd, systemPwd, reportPwd, backupPwd;
    EXPECT_FALSE(ReadPasswords(nullptr, deletePwd, systemPwd, reportPwd, backupPwd));

    TempDir dir;
    MakePasswordsDb(dir.Path(), {}, false);
    auto connection = Connect(dir.Path());
    EXPECT_FALSE(ReadPasswords(connection.get(), deletePwd, systemPwd, reportPwd, backupPwd));
}

TEST(ReadPasswords, StopsAtABadStoredFormKeepingWhatWasReadBefore) {
    TempDir dir;
    MakePasswordsDb(dir.Path(), {{Value("5371"), Value("53x1"), Value("5371"), Value("5371")}});
    auto connection = Connect(dir.Path());
    std::string deletePwd, systemPwd = "s", reportPwd = "r", backupPwd = "b";
    EXPECT_FALSE(ReadPasswords(connection.get(), deletePwd, systemPwd, reportPwd, backupPwd));
    EXPECT_EQ(deletePwd, "Se");
    EXPECT_EQ(systemPwd + reportPwd + backupPwd, "srb");
}

}  // namespace
