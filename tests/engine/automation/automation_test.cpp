// The automation server's commands, checked on real table files: folder changes, opening and
// packing the container, taking tables shared or exclusively, packing and emptying them, and
// the numbered errors for refused or unknown commands.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/api/automation.h"
#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "support/dbfread.h"
#include "support/expect_error.h"
#include "support/temp_dir.h"

namespace {

using testing_support::DbfreadCounts;

using namespace engine;
using api::FoxApplication;
namespace fs = std::filesystem;
using testing_support::ExpectError;
using testing_support::ReadFile;

// Corvane.dbc with Case (CASE.DBF: 6 rows, rows 1 and 4 marked deleted, with memos) and
// Appointment (APPOINTM.DBF: 3 rows), as the practice data keeps them.
void MakeDatabase(const fs::path& folder) {
    fs::create_directories(folder);
    auto dbc = Container::Create(folder / "Corvane.dbc");
    auto cases = dbc->CreateTable("Case", "CASE.DBF", {{.name = "PtNum", .type = 'I'}, {.name = "Note", .type = 'M'}});
    for (int i = 0; i < 6; ++i)
        cases->Append({Value(int64_t{i}), Value("note " + std::to_string(i))}, i == 1 || i == 4);
    auto appointments = dbc->CreateTable("Appointment", "APPOINTM.DBF", {{.name = "PId", .type = 'I'}});
    for (int i = 0; i < 3; ++i) appointments->Append({Value(int64_t{i})});
}

uint32_t Rows(const fs::path& file) { return Table::Open(file)->RecordCount(); }

TEST(FoxApplication, ChangesFolderOpensTheContainerAndTakesTablesByNameOrFile) {
    testing_support::TempDir dir;
    MakeDatabase(dir / "practice data");
    FoxApplication fox;
    EXPECT_TRUE(fox.Exclusive()) << "SET EXCLUSIVE starts ON";

    ExpectError([&] { fox.DoCmd("ChDir \"" + (dir / "missing").string() + "\""); }, api::err::kInvalidPath, "missing");
    fox.DoCmd("ChDir \"" + dir.Str() + "\"");
    fox.DoCmd("cd practice data");  // relative, unquoted with a blank
    EXPECT_EQ(fox.CurrentFolder(), dir / "practice data");

    fox.DoCmd("open data corvane");
    ASSERT_NE(fox.Database(), nullptr);
    EXPECT_EQ(fox.Database()->Path().filename(), "Corvane.dbc");
    fox.DoCmd("OPEN DATABASE CORVANE.DBC");  // the same container again: stays open
    ExpectError([&] { fox.DoCmd("OPEN DATA Other"); }, err::kFileNotFound, "Other");
    EXPECT_NE(fox.Database(), nullptr) << "a failed OPEN keeps the container open before";

    fox.DoCmd("USE Appointment");  // only the container knows its file is APPOINTM.DBF
    ASSERT_NE(fox.TableInUse(), nullptr);
    EXPECT_EQ(fox.TableInUse()->Path().filename(), "APPOINTM.DBF");
    EXPECT_EQ(fox.TableInUse()->Mode(), OpenMode::Exclusive);
    fox.DoCmd("use case.dbf");
    EXPECT_EQ(fox.TableInUse()->Path().filename(), "CASE.DBF");
    fox.DoCmd("Set Excl OFF");
    fox.DoCmd("USE \"Case\"");
    EXPECT_EQ(fox.TableInUse()->Mode(), OpenMode::Shared);
    fox.DoCmd("USE");
    EXPECT_EQ(fox.TableInUse(), nullptr);

    ExpectError([&] { fox.DoCmd("USE Nothing"); }, err::kFileNotFound, "Nothing");
    EXPECT_EQ(fox.TableInUse(), nullptr);

    fox.DoCmd("USE Case");
    fox.DoCmd("close all");
    EXPECT_EQ(fox.Database(), nullptr);
    EXPECT_EQ(fox.TableInUse(), nullptr);
    // Everything was released: another connection can take both exclusively.
    EXPECT_NO_THROW(Container::Open(dir / "practice data" / "Corvane.dbc", OpenMode::Exclusive));
    EXPECT_NO_THROW(Table::Open(dir / "practice data" / "CASE.DBF", OpenMode::Exclusive));
}

TEST(FoxApplication, PackNeedsExclusiveUseAndDropsOnlyTheMarkedRows) {
    testing_support::TempDir dir;
    MakeDatabase(dir.Path());
    const fs::path file = dir / "CASE.DBF";
    const std::string before = ReadFile(file);
    FoxApplication fox;
    fox.DoCmd("ChDir \"" + dir.Str() + "\"");

    ExpectError([&] { fox.DoCmd("PACK"); }, api::err::kNoTableInUse, "PACK");
    fox.DoCmd("SET EXCLUSIVE OFF");
    fox.DoCmd("USE Case");
    ExpectError([&] { fox.DoCmd("PACK"); }, api::err::kMustBeExclusive, "CASE.DBF");
    EXPECT_EQ(ReadFile(file), before);

    fox.DoCmd("SET EXCLUSIVE ON");
    fox.DoCmd("USE Case");
    fox.DoCmd("pack");
    fox.DoCmd("USE");
    auto packed = Table::Open(file);
    ASSERT_EQ(packed->RecordCount(), 4u);
    const int64_t kept[] = {0, 2, 3, 5};
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(packed->IsDeleted(i));
        EXPECT_EQ(packed->ReadValue(i, 0), Value(kept[i]));
        EXPECT_EQ(packed->ReadValue(i, 1), Value("note " + std::to_string(kept[i])));
    }
}

TEST(FoxApplication, DeleteAllThenPackLeavesAnEmptyTableOtherReadersAccept) {
    testing_support::TempDir dir;
    MakeDatabase(dir.Path());
    FoxApplication fox;
    fox.DoCmd("ChDir " + dir.Str());
    ExpectError([&] { fox.DoCmd("DELETE ALL"); }, api::err::kNoTableInUse, "DELETE ALL");

    // Rows another connection appended after the table was taken are marked too.
    fox.DoCmd("SET EXCLUSIVE OFF");
    fox.DoCmd("USE APPOINTM");
    Table::Open(dir / "APPOINTM.DBF")->Append({Value(int64_t{99})});
    fox.DoCmd("Dele All");
    {
        auto t = Table::Open(dir / "APPOINTM.DBF");
        ASSERT_EQ(t->RecordCount(), 4u);
        for (uint32_t i = 0; i < 4; ++i) EXPECT_TRUE(t->IsDeleted(i));
    }
    fox.DoCmd("SET EXCLUSIVE ON");
    ExpectError([&] { fox.DoCmd("USE Appointment"); }, err::kFileNotFound, "Appointment");
    fox.DoCmd("OPEN DATA CORVANE");  // the container knows the table's file
    fox.DoCmd("USE Appointment");
    fox.DoCmd("PACK");
    fox.DoCmd("CLOSE ALL");
    EXPECT_EQ(Rows(dir / "APPOINTM.DBF"), 0u);
    EXPECT_EQ(DbfreadCounts(dir / "APPOINTM.DBF"), "0 0 0");
}

TEST(FoxApplication, TablesHeldElsewhereInTheOtherModeAreRefusedByName) {
    testing_support::TempDir dir;
    MakeDatabase(dir.Path());
    FoxApplication fox;
    fox.DoCmd("ChDir \"" + dir.Str() + "\"");
    {
        auto held = Table::Open(dir / "CASE.DBF");  // another connection, shared
        ExpectError([&] { fox.DoCmd("USE Case"); }, err::kFileInUse, "CASE.DBF");
        EXPECT_EQ(fox.TableInUse(), nullptr);
        fox.DoCmd("USE Case SHARED");
        fox.DoCmd("DELETE ALL");  // marking needs no exclusive use
        ExpectError([&] { fox.DoCmd("USE Case EXCLUSIVE"); }, err::kFileInUse, "CASE.DBF");
    }
    fox.DoCmd("USE Case EXCL");
    ExpectError([&] { Table::Open(dir / "CASE.DBF"); }, err::kFileInUse, "CASE.DBF");
}

TEST(FoxApplication, PackDatabaseCompactsTheContainerWhenNobodyElseHoldsIt) {
    testing_support::TempDir dir;
    MakeDatabase(dir.Path());
    const fs::path dbc = dir / "Corvane.dbc";
    {
        // Drop the Appointment table from the container by marking its records.
        auto raw = Table::Open(dbc, OpenMode::Exclusive);
        const int typeField = raw->FieldIndex("OBJECTNAME");
        for (uint32_t i = 0; i < raw->RecordCount(); ++i) {
            std::string name = raw->ReadValue(i, typeField).As<std::string>();
            name.erase(name.find_last_not_of(' ') + 1);
            if (name == "Appointment" || name == "pid") raw->SetDeleted(i, true);
        }
    }
    const uint32_t recordsBefore = Rows(dbc);
    FoxApplication fox;
    fox.DoCmd("ChDir \"" + dir.Str() + "\"");
    ExpectError([&] { fox.DoCmd("PACK DATABASE"); }, api::err::kNoDatabase, "PACK DATABASE");

    fox.DoCmd("SET EXCLUSIVE OFF");
    fox.DoCmd("OPEN DATA CORVANE.DBC");
    {
        auto other = Container::Open(dbc);
        ExpectError([&] { fox.DoCmd("PACK DATABASE"); }, err::kFileInUse, "Corvane.dbc");
    }
    fox.DoCmd("PACK DATABASE");
    fox.DoCmd("CLOSE ALL");
    EXPECT_EQ(Rows(dbc), recordsBefore - 2);
    auto reopened = Container::Open(dbc);
    ASSERT_EQ(reopened->Tables().size(), 1u);
    EXPECT_EQ(reopened->Tables()[0].name, "Case");
    EXPECT_EQ(reopened->Tables()[0].fieldNames, (std::vector<std::string>{"ptnum", "note"}));
}

TEST(FoxApplication, UnknownOrMalformedCommandsRaiseNamedErrorsAndChangeNothing) {
    testing_support::TempDir dir;
    MakeDatabase(dir.Path());
    FoxApplication fox;
    fox.DoCmd("ChDir \"" + dir.Str() + "\"");
    ExpectError([&] { fox.DoCmd("BROWSE LAST"); }, api::err::kUnrecognizedCommand, "BROWSE LAST");
    ExpectError([&] { fox.DoCmd("SET TALK OFF"); }, api::err::kUnrecognizedCommand, "SET TALK OFF");
    ExpectError([&] { fox.DoCmd("  "); }, err::kSyntax, "");
    ExpectError([&] { fox.DoCmd("OPEN DATA"); }, err::kSyntax, "OPEN DATA");
    ExpectError([&] { fox.DoCmd("OPEN TABLE Case"); }, err::kSyntax, "OPEN TABLE Case");
    ExpectError([&] { fox.DoCmd("SET EXCLUSIVE MAYBE"); }, err::kSyntax, "MAYBE");
    EXPECT_TRUE(fox.Exclusive());
    ExpectError([&] { fox.DoCmd("USE \"Case"); }, err::kSyntax, "Case");
    ExpectError([&] { fox.DoCmd("PACK MEMO"); }, err::kSyntax, "PACK MEMO");
    ExpectError([&] { fox.DoCmd("DELETE FOR PtNum = 1"); }, err::kSyntax, "DELETE FOR");
    ExpectError([&] { fox.DoCmd("CLOSE"); }, err::kSyntax, "CLOSE");
    ExpectError([&] { fox.DoCmd("ChDir"); }, api::err::kInvalidPath, "ChDir");
    EXPECT_EQ(fox.CurrentFolder(), dir.Path());
    EXPECT_EQ(Rows(dir / "CASE.DBF"), 6u);
}

}  // namespace
