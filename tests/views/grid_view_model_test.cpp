#include <gtest/gtest.h>

#include "engine/error.h"
#include "sample_source.h"
#include "views/value_text.h"

namespace {

using views::GridViewModel;

// Last names of the record rows in row-index order, group rows left out.
std::vector<std::string> LastNames(const GridViewModel& grid) {
    std::vector<std::string> out;
    for (int row = 1; row <= grid.RowCount(); ++row) out.push_back(views::ValueText(grid.CellValue(row, 2)));
    return out;
}

// What the rows shown read: "[B]" for a group row by its key, else the first name.
std::string Shown(const GridViewModel& grid) {
    const views::RowArrangement& rows = grid.Arrangement();
    std::string out;
    for (int display = 0; display < rows.DisplayCount(); ++display) {
        if (!out.empty()) out += ' ';
        if (rows.IsGroupRow(display)) {
            const auto& group = rows.GroupAt(rows.GroupOfDisplay(display));
            out += "[" + views::ValueText(grid.CellValue(group.first + 1, 10)) + "]";
        } else {
            out += views::ValueText(grid.CellValue(rows.OrdinalOfDisplay(display) + 1, 3));
        }
    }
    return out;
}

class GridViewModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        views_test::AddPatientColumns(grid);
        grid.SetBoundRecordset(views_test::SamplePatients());
    }
    GridViewModel grid;
};

TEST_F(GridViewModelTest, RowsKeepTheSourceOrderUntilSorted) {
    EXPECT_EQ(grid.RowCount(), 8);
    EXPECT_EQ(LastNames(grid),
              (std::vector<std::string>{"Baker", "Adams", "Clark", "Adams", "Baker", "Adams", "Alder", "Baxter"}));
    EXPECT_EQ(grid.RowBookmark(3), 3);
}

TEST_F(GridViewModelTest, ResortOrdersByEveryKeyAndKeepsEqualRowsInSourceOrder) {
    grid.SortKeys().Add(2, 1);
    grid.Resort();
    EXPECT_EQ(Shown(grid), "Bob Al Cal Dee Ann Bea Eve Cy");
    grid.SortKeys().Add(9, -1);  // then by birthday, youngest first
    grid.Resort();
    EXPECT_EQ(Shown(grid), "Cal Al Bob Dee Ann Bea Eve Cy");
    grid.SortKeys().Clear();
    grid.SortKeys().Add(1, -1);
    grid.Resort();
    EXPECT_EQ(views::ValueText(grid.CellValue(1, 1)), "108");
    EXPECT_EQ(grid.RowBookmark(1), 8);
    EXPECT_EQ(grid.RowIndexOfBookmark(8), 1);
}

TEST_F(GridViewModelTest, RegroupBuildsNestedGroupsThatCollapseAndExpand) {
    grid.Groups().Add(10, 1);
    grid.SortKeys().Add(3, 1);
    grid.Regroup(false);
    EXPECT_EQ(Shown(grid), "[A] Al Bob Cal Dee [B] Ann Bea Eve [C] Cy");
    EXPECT_EQ(grid.Arrangement().GroupCount(), 3);

    grid.CollapseAll();
    EXPECT_EQ(Shown(grid), "[A] [B] [C]");
    EXPECT_EQ(grid.RowCount(), 8);  // collapsed records keep their row indices
    grid.SetGroupCollapsed(1, false);
    EXPECT_EQ(Shown(grid), "[A] [B] Ann Bea Eve [C]");
    grid.ExpandAll();
    EXPECT_EQ(Shown(grid), "[A] Al Bob Cal Dee [B] Ann Bea Eve [C] Cy");

    grid.Groups().Item(1).SortOrder = -1;
    grid.Regroup(true);
    EXPECT_EQ(Shown(grid), "[C] [B] [A]");

    grid.Groups().Add(2, 1);  // then by the whole last name
    grid.Regroup(false);
    EXPECT_EQ(Shown(grid), "[C] [C] Cy [B] [B] Ann Bea [B] Eve [A] [A] Al Bob Cal [A] Dee");
    EXPECT_EQ(grid.Arrangement().GroupAt(0).children.size(), 1u);
}

TEST_F(GridViewModelTest, ResortKeepsTheGroupsAndTheirCollapsedState) {
    grid.Groups().Add(10, 1);
    grid.Regroup(true);
    grid.SortKeys().Add(3, -1);
    grid.Resort();
    EXPECT_EQ(Shown(grid), "[A] [B] [C]");
    grid.ExpandAll();
    EXPECT_EQ(Shown(grid), "[A] Dee Cal Bob Al [B] Eve Bea Ann [C] Cy");
}

TEST_F(GridViewModelTest, RowBookmarkRefusesGroupRowsAndUnknownRows) {
    EXPECT_THROW(grid.RowBookmark(0), engine::Error);
    EXPECT_THROW(grid.RowBookmark(-1), engine::Error);
    EXPECT_THROW(grid.RowBookmark(9), engine::Error);
    EXPECT_EQ(grid.RowIndexOfBookmark(99), 0);
}

TEST_F(GridViewModelTest, AGroupOnAColumnWithoutAFieldGroupsEverythingTogether) {
    grid.Columns().Add("Nothing", "NoSuchField");
    grid.Groups().Add(11, 1);
    grid.Regroup(false);
    EXPECT_EQ(grid.Arrangement().GroupCount(), 1);
    EXPECT_EQ(grid.Arrangement().DisplayCount(), 9);
}

TEST(GridViewModelProperties, EveryPropertyHoldsWhatIsWritten) {
    GridViewModel grid;
    views_test::AddPatientColumns(grid);
    for (int i = 0; i < views::kColorAreaCount; ++i) {
        EXPECT_EQ(grid.Color(static_cast<views::ColorArea>(i)), views::kColorAreas[i].defaultColor);
        grid.SetColor(static_cast<views::ColorArea>(i), 0x00010203u + i);
    }
    for (int i = 0; i < views::kColorAreaCount; ++i) {
        EXPECT_EQ(grid.Color(static_cast<views::ColorArea>(i)), 0x00010203u + i);
    }
    grid.SetForeColorGroupRows(0x8000000F);
    EXPECT_EQ(grid.ForeColorGroupRows(), 0x8000000Fu);
    grid.SetOddRowsColor(0x00FFFF80);
    EXPECT_EQ(grid.Color(views::ColorArea::OddRowsColor), 0x00FFFF80u);

    views::GridFont font{"Courier New", 9.5, true, true, true, true};
    grid.SetFont(font);
    EXPECT_EQ(grid.Font(), font);
    grid.ColumnHeaderFont().SetSize(12);
    grid.ColumnHeaderFont().SetBold(true);
    EXPECT_EQ(grid.ColumnHeaderFont().Size(), 12);
    EXPECT_TRUE(grid.ColumnHeaderFont().Bold());

    grid.SetGridLines(0);
    EXPECT_EQ(grid.GridLines(), 0);
    grid.SetGridLines(-1);
    EXPECT_EQ(grid.GridLines(), -1);
    for (auto [set, get] : std::vector<std::pair<void (GridViewModel::*)(bool), bool (GridViewModel::*)() const>>{
             {&GridViewModel::SetUseEvenOddColor, &GridViewModel::UseEvenOddColor},
             {&GridViewModel::SetRecordNavigator, &GridViewModel::RecordNavigator},
             {&GridViewModel::SetAllowRowSizing, &GridViewModel::AllowRowSizing},
             {&GridViewModel::SetGroupByBoxVisible, &GridViewModel::GroupByBoxVisible},
             {&GridViewModel::SetAllowEdit, &GridViewModel::AllowEdit},
             {&GridViewModel::SetAllowAddNew, &GridViewModel::AllowAddNew},
             {&GridViewModel::SetMultiSelect, &GridViewModel::MultiSelect}}) {
        (grid.*set)(true);
        EXPECT_TRUE((grid.*get)());
        (grid.*set)(false);
        EXPECT_FALSE((grid.*get)());
    }
    grid.SetRowHeight(-1);
    EXPECT_EQ(grid.RowHeight(), -1);
    grid.SetRowHeight(300);
    EXPECT_EQ(grid.RowHeight(), 300);
    grid.SetCardWidth(3015);
    EXPECT_EQ(grid.CardWidth(), 3015);
    grid.SetView(1);
    EXPECT_EQ(grid.View(), 1);

    views::GridColumn& column = grid.Columns().Item(4);
    column.SetCaption("Middle");
    column.SetVisible(false);
    column.SetWidth(777);
    column.SetColumnType(1);
    column.SetFormat("Fixed");
    EXPECT_EQ(column.Caption(), "Middle");
    EXPECT_FALSE(column.Visible());
    EXPECT_EQ(column.Width(), 777);
    EXPECT_EQ(column.ColumnType(), 1);
    EXPECT_EQ(column.Format(), "Fixed");
    EXPECT_EQ(column.Index(), 4);
}

TEST(GridViewModelColumns, PositionsStayAPermutationWhenAColumnMoves) {
    GridViewModel grid;
    views_test::AddPatientColumns(grid);
    grid.Columns().Item(9).SetColPosition(1);
    EXPECT_EQ(grid.Columns().Item(9).ColPosition(), 1);
    EXPECT_EQ(grid.Columns().Item(1).ColPosition(), 2);
    EXPECT_EQ(grid.Columns().ItemByPosition(1).Caption(), "Birthday");
    EXPECT_EQ(grid.Columns().ItemByPosition(10).Caption(), "Initial");

    // The field chooser's way: visible columns numbered 1, 2, ... in list order.
    const int order[] = {3, 2, 1};
    for (int n = 0; n < 3; ++n) grid.Columns().Item(order[n]).SetColPosition(static_cast<int16_t>(n + 1));
    EXPECT_EQ(grid.Columns().ItemByPosition(1).Index(), 3);
    EXPECT_EQ(grid.Columns().ItemByPosition(2).Index(), 2);
    EXPECT_EQ(grid.Columns().ItemByPosition(3).Index(), 1);
    std::vector<int> seen;
    for (int p = 1; p <= grid.Columns().Count(); ++p) seen.push_back(grid.Columns().ItemByPosition(p).Index());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_THROW(grid.Columns().Item(11), engine::Error);
    EXPECT_THROW(grid.Columns().ItemByPosition(0), engine::Error);
}

TEST(GridViewModelGroups, GroupsAndSortKeysKeepTheirOrder) {
    GridViewModel grid;
    grid.Groups().Add(3, 1);
    grid.Groups().Add(1, -1);
    grid.Groups().Add(3, -1);
    ASSERT_EQ(grid.Groups().Count(), 3);
    EXPECT_EQ(grid.Groups().Item(1), (views::GridGroup{3, 1}));
    EXPECT_EQ(grid.Groups().Item(2), (views::GridGroup{1, -1}));
    EXPECT_EQ(grid.Groups().Item(3), (views::GridGroup{3, -1}));
    EXPECT_THROW(grid.Groups().Item(4), engine::Error);
    grid.Groups().Clear();
    EXPECT_EQ(grid.Groups().Count(), 0);
    EXPECT_EQ(grid.SortKeys().Count(), 0);
}

}  // namespace
