// Writing tables: every field type round-trips, nulls and blanks, autoincrement counters,
// independent readers see what we wrote (before and after a pack), and text copied between
// two tables of one code page stays byte-exact for all 256 byte values.
#include <gtest/gtest.h>

#include "engine/dbf/codepage.h"
#include "engine/dbf/container.h"
#include "engine/dbf/table.h"
#include "engine/error.h"
#include "reader_check.h"
#include "support/requirements.h"
#include "support/temp_dir.h"

namespace {

using namespace engine;
namespace fs = std::filesystem;

Date Ymd(int y, int m, int d) { return Date{JulianDayFromYmd(y, m, d)}; }
DateTime At(int y, int m, int d, int h, int mi, int s) {
    return DateTime{JulianDayFromYmd(y, m, d), ((h * 60 + mi) * 60 + s) * 1000};
}

std::vector<FieldSpec> AllTypes() {
    return {
        {.name = "Id", .type = 'I', .autoIncrement = true},
        {.name = "Name", .type = 'C', .length = 12},
        {.name = "Nick", .type = 'V', .length = 8, .nullable = true},
        {.name = "Raw", .type = 'Q', .length = 6},
        {.name = "Count", .type = 'N', .length = 6},
        {.name = "Amount", .type = 'N', .length = 10, .decimals = 2},
        {.name = "Ratio", .type = 'F', .length = 12, .decimals = 4},
        {.name = "Active", .type = 'L'},
        {.name = "Born", .type = 'D', .nullable = true},
        {.name = "Seen", .type = 'T'},
        {.name = "Fee", .type = 'Y'},
        {.name = "Weight", .type = 'B', .decimals = 2},
        {.name = "Note", .type = 'M', .nullable = true},
        {.name = "Picture", .type = 'G'},
        {.name = "Blob", .type = 'W'},
    };
}

TEST(TableWrite, EveryTypeRoundTripsWithNullsBlanksAndCounters) {
    testing_support::TempDir dir;
    const std::vector<Value> full = {Value(),
                                     Value("Zoë Müller"),
                                     Value("Renée"),
                                     Value(Bytes{0, 1, 2, 0xFF}),
                                     Value(int64_t{-42}),
                                     Value(1234.5),
                                     Value(0.125),
                                     Value(true),
                                     Value(Ymd(1961, 2, 28)),
                                     Value(At(2024, 12, 31, 23, 59, 59)),
                                     Value(Currency{123456789}),
                                     Value(-2.5),
                                     Value("A note\r\nwith two lines ½"),
                                     Value(Bytes{7, 8, 9}),
                                     Value(Bytes{1, 2})};
    {
        auto t = Table::Create(dir / "All.dbf", AllTypes());
        EXPECT_EQ(t->Version(), 0x32);
        EXPECT_EQ(t->Append(full), 0u);
        // Nulls: nullable fields become null, the others their blank.
        std::vector<Value> nulls(full.size());
        EXPECT_EQ(t->Append(nulls, true), 1u);
        EXPECT_EQ(t->Append({Value(int64_t{10}), Value("exact width!")}), 2u);  // explicit id moves the counter on
        t->Append({});
    }
    auto t = Table::Open(dir / "All.dbf");
    ASSERT_EQ(t->RecordCount(), 4u);
    auto first = t->ReadRecord(0);
    EXPECT_FALSE(first.deleted);
    std::vector<Value> expected = full;
    expected[0] = Value(int64_t{1});
    expected[1] = Value("Zoë Müller  ");
    EXPECT_EQ(first.values, expected);

    const auto blank = t->ReadRecord(1);
    EXPECT_TRUE(blank.deleted);
    EXPECT_EQ(blank.values[0], Value(int64_t{2}));
    EXPECT_EQ(blank.values[1], Value(std::string(12, ' ')));
    EXPECT_TRUE(blank.values[2].IsNull());
    EXPECT_EQ(blank.values[3], Value(Bytes{}));
    EXPECT_EQ(blank.values[4], Value(int64_t{0}));
    EXPECT_EQ(blank.values[7], Value(false));
    EXPECT_TRUE(blank.values[8].IsNull());
    EXPECT_EQ(blank.values[9], Value(DateTime{}));
    EXPECT_TRUE(blank.values[12].IsNull());

    EXPECT_EQ(t->ReadValue(2, 0), Value(int64_t{10}));
    EXPECT_EQ(t->ReadValue(2, 1), Value("exact width!"));
    EXPECT_EQ(t->ReadValue(3, 0), Value(int64_t{11}));
    EXPECT_EQ(t->ReadValue(3, 8), Value(Date{}));  // a blank date is the empty date
    EXPECT_EQ(t->Fields()[0].autoIncNext, 12);

    // A row read back is written back as it was, empty binary values included.
    const auto last = t->ReadRecord(3).values;
    ASSERT_EQ(last[3], Value(Bytes{}));
    t->Overwrite(3, last);
    EXPECT_EQ(t->ReadRecord(3).values, last);
}

// ReadInto decodes text and bytes into the values the vector holds already: whatever the
// record before left there (longer text, a null, bytes), each record reads as ReadRecord does.
TEST(TableWrite, RecordsReadIntoOneVectorReadAsEachOnItsOwn) {
    testing_support::TempDir dir;
    auto t = Table::Create(dir / "All.dbf", AllTypes());
    t->Append({Value(), Value("a long name!"), Value("eight ch"), Value(Bytes{1, 2, 3, 4, 5, 6}), Value(int64_t{7}),
               Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(std::string(300, 'm')),
               Value(Bytes(200, 9)), Value(Bytes{3})});
    t->Append(std::vector<Value>(AllTypes().size()), true);
    t->Append({Value(), Value("Zoë"), Value("x"), Value(Bytes{0xFF}), Value(int64_t{-1}), Value(), Value(), Value(),
               Value(), Value(), Value(), Value(), Value("short")});
    std::vector<Value> values;
    for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 1u, 1u, 0u}) {
        const Record alone = t->ReadRecord(i);
        EXPECT_EQ(t->ReadInto(i, values), alone.deleted);
        EXPECT_EQ(values, alone.values) << "record " << i;
    }
}

TEST(TableWrite, OverwriteKeepsUnchangedMemosAndRejectsOverflow) {
    testing_support::TempDir dir;
    auto t = Table::Create(dir / "m.dbf", {{.name = "N", .type = 'N', .length = 3}, {.name = "Memo", .type = 'M'}});
    t->Append({Value(int64_t{1}), Value("first")});
    const auto size = fs::file_size(dir / "m.fpt");
    t->Overwrite(0, {Value(int64_t{2}), Value("first")});
    EXPECT_EQ(fs::file_size(dir / "m.fpt"), size);
    t->Overwrite(0, {Value(int64_t{3}), Value("second")});
    EXPECT_EQ(t->ReadRecord(0).values, (std::vector<Value>{Value(int64_t{3}), Value("second")}));
    try {
        t->Overwrite(0, {Value(int64_t{1000}), Value("x")});
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), err::kValueTooLarge);
        EXPECT_NE(e.Description().find("N"), std::string::npos);
    }
    EXPECT_EQ(t->ReadValue(0, 0), Value(int64_t{3}));
}

std::vector<FieldSpec> PlainTypes() {
    return {{.name = "PtNum", .type = 'I'},
            {.name = "LastNam", .type = 'C', .length = 20},
            {.name = "Balance", .type = 'N', .length = 10, .decimals = 2},
            {.name = "Score", .type = 'F', .length = 8, .decimals = 3},
            {.name = "Active", .type = 'L'},
            {.name = "Birthday", .type = 'D'},
            {.name = "Seen", .type = 'T'},
            {.name = "Fee", .type = 'Y'},
            {.name = "Weight", .type = 'B', .decimals = 2},
            {.name = "Notes", .type = 'M'}};
}

void FillPlain(Table& t, int rows) {
    for (int i = 0; i < rows; ++i) {
        t.Append(
            {Value(int64_t{i + 1}), Value(i % 3 ? "Ñúñez" : "O'Brien"), Value(i * 10.25), Value(i / 8.0),
             Value(i % 2 == 0), Value(i % 5 ? Ymd(1950 + i, 1 + i % 12, 1 + i % 28) : Date{}),
             Value(At(2020, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0)), Value(Currency{i * 12345}), Value(i * 1.5),
             Value(i % 4 ? std::string(static_cast<size_t>(i * 37 % 300), 'x') + "é" : std::string())},
            i % 7 == 3);
    }
}

TEST(TableWrite, IndependentReadersSeeWhatWeWroteBeforeAndAfterPack) {
    ARCHIVE_REQUIRE(testing_support::MissingPythonModule("dbfread"));
    testing_support::TempDir dir;
    {
        auto t = Table::Create(dir / "plain.dbf", PlainTypes());
        FillPlain(*t, 60);
        EXPECT_EQ(t->Version(), 0x30);
    }
    auto check = [&](const fs::path& file, bool pgdbf) {
        auto r = dbf_test::CompareWithReader("dbfread", file);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        if (file.extension() == ".dbf" && dbf_test::PythonModuleAvailable("dbf")) {
            r = dbf_test::CompareWithReader("dbf", file);
            EXPECT_EQ(r.exitCode, 0) << r.output;
        }
        if (pgdbf && dbf_test::RunCommand("command -v pgdbf >/dev/null").exitCode == 0) {
            auto memo = file;
            memo.replace_extension(".fpt");
            r = dbf_test::RunCommand("pgdbf -m '" + memo.string() + "' '" + file.string() + "' 2>&1");
            EXPECT_EQ(r.exitCode, 0) << r.output;
            EXPECT_NE(r.output.find("O'Brien"), std::string::npos);
        }
    };
    check(dir / "plain.dbf", true);
    {
        auto t = Table::Open(dir / "plain.dbf", OpenMode::Exclusive);
        t->Pack();
        EXPECT_EQ(t->RecordCount(), 60u - 9u);
        for (uint32_t i = 0; i < t->RecordCount(); ++i) EXPECT_FALSE(t->IsDeleted(i));
    }
    check(dir / "plain.dbf", true);

    // 0x31: an autoincrement field.
    {
        auto t = Table::Create(dir / "auto.dbf", {{.name = "Id", .type = 'I', .autoIncrement = true},
                                                  {.name = "Txt", .type = 'C', .length = 5}});
        for (int i = 0; i < 5; ++i) t->Append({Value(), Value("row")});
        EXPECT_EQ(t->Version(), 0x31);
    }
    check(dir / "auto.dbf", false);

    // A container built by the engine reads as a table too.
    {
        auto dbc = Container::Create(dir / "Corvane.dbc");
        dbc->CreateTable("IdentFil", "IdentFil.dbf", PlainTypes());
    }
    check(dir / "Corvane.dbc", false);
}

TEST(TableWrite, CopyingRowsBetweenTablesOfOneCodePageIsByteExact) {
    testing_support::TempDir dir;
    const std::vector<FieldSpec> fields = {{.name = "Low", .type = 'C', .length = 128},
                                           {.name = "High", .type = 'C', .length = 128},
                                           {.name = "Var", .type = 'V', .length = 200},
                                           {.name = "Memo", .type = 'M'}};
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    const dbf::CodePage cp1252(0x03);
    for (uint8_t mark : {uint8_t{0x03}, uint8_t{0xC9}, uint8_t{0x01}, uint8_t{0x00}}) {
        SCOPED_TRACE(int(mark));
        const dbf::CodePage cp(mark);
        TableOptions options;
        options.codePageMark = mark;
        auto a = Table::Create(dir / ("a" + std::to_string(mark) + ".dbf"), fields, options);
        auto b = Table::Create(dir / ("b" + std::to_string(mark) + ".dbf"), fields, options);
        a->Append({Value(cp.Decode(all.substr(0, 128))), Value(cp.Decode(all.substr(128))),
                   Value(cp.Decode(all.substr(56, 199))), Value(cp.Decode(all))});
        b->Append(a->ReadRecord(0).values);
        const auto recA = b->ReadRecord(0);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(cp.Encode(recA.values[i].As<std::string>()), i == 0   ? all.substr(0, 128)
                                                                   : i == 1 ? all.substr(128)
                                                                   : i == 2 ? all.substr(56, 199)
                                                                            : all);
        a->Close();
        b->Close();
        const std::string fa = testing_support::ReadFile(dir / ("a" + std::to_string(mark) + ".dbf"));
        const std::string fb = testing_support::ReadFile(dir / ("b" + std::to_string(mark) + ".dbf"));
        ASSERT_EQ(fa.size(), fb.size());
        EXPECT_EQ(fa.substr(fa.size() - 500), fb.substr(fb.size() - 500));  // the record, byte for byte
        EXPECT_EQ(testing_support::ReadFile(dir / ("a" + std::to_string(mark) + ".fpt")),
                  testing_support::ReadFile(dir / ("b" + std::to_string(mark) + ".fpt")));
    }
    EXPECT_EQ(cp1252.Decode("\x81\x8D\x8F\x90\x9D"), "\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(cp1252.Encode("€ and 中"), "\x80 and ?");
    // An unknown mark reads as 1252 and says so, also when its shared tables were built before.
    for (int round = 0; round < 2; ++round) {
        const dbf::CodePage unknown(0xEE);
        EXPECT_TRUE(unknown.Substituted());
        EXPECT_EQ(unknown.Number(), 1252);
        EXPECT_EQ(unknown.Decode("\x80"), "€");
        EXPECT_FALSE(dbf::CodePage(0x03).Substituted());
        EXPECT_FALSE(dbf::CodePage(0x00).Substituted());
        EXPECT_EQ(dbf::CodePage(0x00).Number(), 0);
    }
}

TEST(TableWrite, FindFileNoCaseMatchesAnyCase) {
    testing_support::TempDir dir;
    testing_support::WriteFile(dir / "CASE.DBF", "x");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "Case.dbf"), dir / "CASE.DBF");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "case.fpt"), fs::path());
    // Files that come and go after a lookup are seen by the next one.
    testing_support::WriteFile(dir / "CASE.FPT", "x");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "case.fpt"), dir / "CASE.FPT");
    fs::remove(dir / "CASE.DBF");
    testing_support::WriteFile(dir / "case.Dbf", "x");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "Case.dbf"), dir / "case.Dbf");
    fs::remove(dir / "case.Dbf");
    EXPECT_EQ(FindFileNoCase(dir.Path(), "Case.dbf"), fs::path());
}

TEST(TableWrite, ContainerGetsTablesWithBackLinksAndPacks) {
    testing_support::TempDir dir;
    {
        auto dbc = Container::Create(dir / "Corvane.dbc");
        auto t = dbc->CreateTable("Case", "CASE.DBF", {{.name = "PtNum", .type = 'I'}, {.name = "Memo", .type = 'M'}});
        EXPECT_EQ(t->ContainerLink(), "corvane.dbc");
        t->Append({Value(int64_t{7}), Value("kept")});
        dbc->CreateTable("Ref", "Ref.dbf",
                         {{.name = "RefNum", .type = 'I'}, {.name = "Ref_Last", .type = 'C', .length = 20}});
    }
    auto dbc = Container::Open(dir / "corvane.dbc", OpenMode::Exclusive);
    const auto tables = dbc->Tables();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].name, "Case");
    EXPECT_EQ(tables[0].file, dir / "CASE.DBF");
    EXPECT_EQ(tables[1].fieldNames, (std::vector<std::string>{"refnum", "ref_last"}));
    EXPECT_THROW(dbc->AddTable("case", dir / "CASE.DBF"), Error);
    dbc->Pack();
    EXPECT_EQ(dbc->Tables().size(), 2u);
    EXPECT_EQ(Table::Open(dir / "CASE.DBF")->ReadValue(0, 1), Value("kept"));
}

}  // namespace
