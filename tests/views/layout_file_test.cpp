#include <gtest/gtest.h>

#include <filesystem>

#include "engine/error.h"
#include "sample_source.h"
#include "support/temp_dir.h"
#include "views/layout_file.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using views::GridViewModel;

// A grid with every part of a layout set away from its default.
void Design(GridViewModel& grid) {
    views_test::AddPatientColumns(grid);
    grid.Columns().Item(9).SetColPosition(2);
    grid.Columns().Item(4).SetVisible(false);
    grid.Columns().Item(2).SetWidth(2115);
    grid.Columns().Item(5).SetColumnType(1);
    grid.Columns().Item(3).SetCaption("Given <name> & \"more\"");
    grid.Groups().Add(10, -1);
    grid.SortKeys().Add(2, 1);
    grid.SortKeys().Add(9, -1);
    grid.SetView(1);
    grid.SetFont({"Arial", 9.75, true, false, true, false});
    grid.SetColumnHeaderFont({"Tahoma", 8.25, false, true, false, true});
    grid.SetOddRowsColor(0x00FFFFFF);
    grid.SetEvenRowsColor(0x00FFFF80);
    grid.SetBackColorGroupRows(0x80000005);
    grid.SetGridLines(0);
    grid.SetUseEvenOddColor(true);
    grid.SetRecordNavigator(true);
    grid.SetAllowRowSizing(true);
    grid.SetGroupByBoxVisible(false);
    grid.SetAllowEdit(true);
    grid.SetAllowAddNew(true);
    grid.SetMultiSelect(true);
    grid.SetRowHeight(330);
    grid.SetColumnHeaderHeight(285);
    grid.SetCardWidth(4005);
    grid.SetConnectionString("Provider=VFPOLEDB;Data Source=/data/Corvane.dbc");
    grid.SetRecordSourceSql("SELECT PtNum, LastNam FROM IdentFil WHERE LastNam > 'B' ORDER BY LastNam");
}

TEST(LayoutFile, SaveAndLoadGiveTheSameLayoutText) {
    TempDir dir;
    GridViewModel saved;
    Design(saved);
    const std::string path = (dir / "patients.lyt").string();
    saved.SaveLayoutFile(path);
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));

    GridViewModel loaded;
    loaded.LoadLayoutFile(path, true, "");
    EXPECT_EQ(loaded.LayoutText(false), saved.LayoutText(false));
    EXPECT_EQ(loaded.Columns().Item(9).ColPosition(), 2);
    EXPECT_EQ(loaded.Columns().Item(3).Caption(), "Given <name> & \"more\"");
    EXPECT_EQ(loaded.Font().Size(), 9.75);
    EXPECT_EQ(loaded.EvenRowsColor(), 0x00FFFF80u);
    EXPECT_EQ(loaded.Groups().Item(1), (views::GridGroup{10, -1}));
    EXPECT_EQ(loaded.SortKeys().Count(), 2);
    EXPECT_EQ(loaded.RecordSourceSql(), saved.RecordSourceSql());
    EXPECT_EQ(loaded.RowCount(), 0);  // no opener installed: no rows
}

TEST(LayoutFile, AnyChangeChangesTheTextAndUndoingItRestoresIt) {
    GridViewModel grid;
    Design(grid);
    const std::string before = grid.LayoutText();
    EXPECT_EQ(grid.LayoutText(), before);
    grid.Columns().Item(2).SetWidth(2130);
    EXPECT_NE(grid.LayoutText(), before);
    grid.Columns().Item(2).SetWidth(2115);
    EXPECT_EQ(grid.LayoutText(), before);
    grid.SortKeys().Item(2).SortOrder = 1;
    EXPECT_NE(grid.LayoutText(), before);
}

TEST(LayoutFile, LoadingOpensTheRecordSourceThroughTheOpener) {
    TempDir dir;
    GridViewModel saved;
    Design(saved);
    const std::string path = (dir / "grid.lyt").string();
    saved.SaveLayoutFile(path);

    std::string seenConnection, seenSql;
    views::SetRecordSourceOpener([&](const std::string& connection, const std::string& sql) {
        seenConnection = connection;
        seenSql = sql;
        return std::unique_ptr<views::RecordSource>(new views::MemoryRecordSource(*views_test::SamplePatients()));
    });
    GridViewModel grid;
    grid.LoadLayoutFile(path, true, "Data Source=/other/Corvane.dbc");
    views::SetRecordSourceOpener(nullptr);

    EXPECT_EQ(seenConnection, "Data Source=/other/Corvane.dbc");
    EXPECT_EQ(seenSql, saved.RecordSourceSql());
    EXPECT_EQ(grid.ConnectionString(), "Data Source=/other/Corvane.dbc");
    EXPECT_EQ(grid.RowCount(), 8);
    EXPECT_EQ(grid.Arrangement().GroupCount(), 3);  // grouped by initial as the layout says
    ASSERT_NE(grid.BoundRecordset(), nullptr);
}

TEST(LayoutFile, AnOpenerFailurePassesUpAndABrokenFileLeavesTheGridAlone) {
    TempDir dir;
    GridViewModel grid;
    Design(grid);
    const std::string before = grid.LayoutText();

    WriteFile(dir / "broken.lyt", "<GridLayout><Columns>");
    try {
        grid.LoadLayoutFile((dir / "broken.lyt").string(), true, "");
        FAIL() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kSyntax);
    }
    WriteFile(dir / "other.lyt", "<?xml version=\"1.0\"?><Settings/>");
    EXPECT_THROW(grid.LoadLayoutFile((dir / "other.lyt").string(), true, ""), engine::Error);
    try {
        grid.LoadLayoutFile((dir / "missing.lyt").string(), true, "");
        FAIL() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kFileNotFound);
    }
    EXPECT_EQ(grid.LayoutText(), before);

    grid.SaveLayoutFile((dir / "good.lyt").string());
    views::SetRecordSourceOpener([](const std::string&, const std::string&) -> std::unique_ptr<views::RecordSource> {
        throw engine::Error(engine::err::kUnknownTable, "File 'identfil.dbf' does not exist.");
    });
    EXPECT_THROW(grid.LoadLayoutFile((dir / "good.lyt").string(), true, ""), engine::Error);
    views::SetRecordSourceOpener(nullptr);
}

TEST(LayoutFile, ColumnsAreOrderedByPositionWhateverNumbersTheFileHolds) {
    GridViewModel grid;
    views::ReadLayout(grid, R"(<GridLayout version="1"><Columns>
        <Column Index="1" Position="2147483647" Caption="Last"/>
        <Column Index="2" Position="-2147483648" Caption="First"/>
        <Column Index="3" Position="5" Caption="Middle"/>
        <Column Index="4" Position="5" Caption="AfterMiddle"/>
      </Columns></GridLayout>)");
    ASSERT_EQ(grid.Columns().Count(), 4);
    EXPECT_EQ(grid.Columns().Item(1).ColPosition(), 4);
    EXPECT_EQ(grid.Columns().Item(2).ColPosition(), 1);
    EXPECT_EQ(grid.Columns().Item(3).ColPosition(), 2);
    EXPECT_EQ(grid.Columns().Item(4).ColPosition(), 3);
}

TEST(LayoutFile, SavingIntoAMissingFolderFailsWithoutLeavingAFile) {
    TempDir dir;
    GridViewModel grid;
    const std::string path = (dir / "no" / "such.lyt").string();
    try {
        grid.SaveLayoutFile(path);
        FAIL() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::err::kFileAccess);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LayoutFile, SavingReplacesAnExistingFileWhole) {
    TempDir dir;
    const auto path = dir / "grid.lyt";
    WriteFile(path, std::string(100000, 'x'));
    GridViewModel grid;
    Design(grid);
    grid.SaveLayoutFile(path.string());
    EXPECT_EQ(ReadFile(path), grid.LayoutText());
}

TEST(LayoutFile, TheDemoLayoutsLoad) {
    const std::filesystem::path etc = std::filesystem::path(ARCHIVE_SOURCE_DIR) / "demo" / "etc";
    for (const char* name : {"patients.lyt", "active.lyt", "birthdays.lyt"}) {
        SCOPED_TRACE(name);
        GridViewModel grid;
        grid.LoadLayoutFile((etc / name).string(), true, "");
        EXPECT_GE(grid.Columns().Count(), 9);
        EXPECT_EQ(grid.Columns().Item(1).Caption(), "Patient Number");
        EXPECT_EQ(grid.Columns().Item(9).Format(), "General Date");
        EXPECT_NE(grid.RecordSourceSql().find("FROM IdentFil"), std::string::npos);
    }
    GridViewModel patients;
    patients.LoadLayoutFile((etc / "patients.lyt").string(), true, "");
    EXPECT_EQ(patients.SortKeys().Count(), 1);
    EXPECT_EQ(patients.SortKeys().Item(1), (views::GridGroup{2, 1}));
    EXPECT_EQ(patients.EvenRowsColor(), 0x00FFFF80u);
    EXPECT_EQ(patients.OddRowsColor(), 0x00FFFFFFu);
    EXPECT_TRUE(patients.MultiSelect());
    EXPECT_TRUE(patients.RecordNavigator());
    EXPECT_FALSE(patients.GroupByBoxVisible());
    EXPECT_FALSE(patients.AllowEdit());
}

}  // namespace
