// The record grid under the user's hands: text order by collation, the right button and the
// selection, the group-by box (its text, its button, headings dropped on it), a click on a
// group row's expander, the navigator without a current record, the heading's sort arrow.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include "sample_source.h"
#include "views/grid_table_model.h"
#include "views/group_by_box.h"
#include "views/header_drag.h"
#include "views/record_grid.h"
#include "views/record_navigator.h"
#include "views/text_collation.h"

namespace {

using engine::Value;
using views::RecordGrid;

constexpr int kLastName = 2;
constexpr int kInitial = 10;

class GridInteractionTest : public ::testing::Test {
protected:
    void SetUp() override {
        views_test::AddPatientColumns(grid);
        grid.SetMultiSelect(true);
        grid.SetRecordNavigator(true);
        grid.SetBoundRecordset(views_test::SamplePatients());
        grid.resize(900, 400);
        grid.show();
    }
    QString Cell(int row, int column) const { return grid.Model()->index(row, column).data().toString(); }
    QPoint RowPoint(int row) const { return grid.Table()->visualRect(grid.Model()->index(row, 2)).center(); }
    std::vector<int> SelectedPositions() const {
        std::vector<int> out;
        const views::SelectedRowList rows = grid.SelectedRows();
        for (int i = 1; i <= rows.Count(); ++i) out.push_back(rows.Item(i).Position);
        return out;
    }

    RecordGrid grid;
};

TEST(TextCollation, AccentedAndLowerCaseTextSortsAmongItsLetters) {
    const std::vector<std::string> texts = {"Zoe", "Ángel", "Celik", "Çelik", "angel", "Dubois", "Angel", "Zoe"};
    std::vector<const std::string*> pointers;
    for (const std::string& text : texts) pointers.push_back(&text);
    const std::vector<int> ranks = views::CollationRanks(pointers);
    EXPECT_EQ(ranks, (std::vector<int>{6, 2, 3, 4, 0, 5, 1, 6}));
    EXPECT_LT(views::CollateTexts("Çelik", "Dubois"), 0);
    EXPECT_EQ(views::CollateTexts("Zoe", "Zoe"), 0);
}

TEST_F(GridInteractionTest, RowsSortAndGroupByCollation) {
    auto source = std::make_shared<views::MemoryRecordSource>(std::vector<std::string>{"LastNam", "Initial"});
    for (const char* name : {"Zoe", "Çelik", "Brown", "Ángel", "Celik", "adams"}) {
        source->AddRecord({Value(name), Value(std::string(name).substr(0, std::string(name)[0] & 0x80 ? 2 : 1))});
    }
    RecordGrid names;
    names.Columns().Add("Last Name", "LastNam");
    names.Columns().Add("Initial", "Initial");
    names.SetBoundRecordset(source);
    names.SortKeys().Add(1, 1);
    names.Resort();
    std::vector<QString> order;
    for (int row = 0; row < 6; ++row) order.push_back(names.Model()->index(row, 0).data().toString());
    EXPECT_EQ(order, (std::vector<QString>{"adams", "Ángel", "Brown", "Celik", "Çelik", "Zoe"}));

    names.Groups().Add(2, 1);
    names.Regroup(false);
    std::vector<QString> groups;
    for (int g = 0; g < names.Arrangement().GroupCount(); ++g) groups.push_back(names.Model()->GroupCaption(g));
    ASSERT_EQ(groups.size(), 6u);  // a, Á, B, C, Ç, Z
    EXPECT_TRUE(groups[1].contains(QString::fromUtf8("Initial: Á"))) << groups[1].toStdString();
    EXPECT_TRUE(groups[4].contains(QString::fromUtf8("Initial: Ç"))) << groups[4].toStdString();
}

TEST_F(GridInteractionTest, ARightClickKeepsASelectionHoldingTheRowAndOtherwiseSelectsThatRowAlone) {
    for (int position : {2, 3, 5}) grid.SetRowSelected(position, true);
    QSignalSpy mouseUp(&grid, &RecordGrid::MouseUp);
    QTest::mouseClick(grid.Table()->viewport(), Qt::RightButton, {}, RowPoint(2));  // row at position 3
    EXPECT_EQ(SelectedPositions(), (std::vector<int>{2, 3, 5}));
    EXPECT_EQ(mouseUp.count(), 1);

    QTest::mouseClick(grid.Table()->viewport(), Qt::RightButton, {}, RowPoint(6));
    EXPECT_EQ(SelectedPositions(), std::vector<int>{7});
    EXPECT_EQ(grid.CurrentRowIndex(), 7);
    EXPECT_EQ(mouseUp.count(), 2);

    // The left button still selects as usual.
    QTest::mouseClick(grid.Table()->viewport(), Qt::LeftButton, {}, RowPoint(0));
    EXPECT_EQ(SelectedPositions(), std::vector<int>{1});
}

TEST_F(GridInteractionTest, AClickOnAGroupRowsExpanderTogglesItAndElsewhereOnlySelects) {
    grid.Groups().Add(kInitial, 1);
    grid.Regroup(false);
    ASSERT_EQ(grid.Model()->rowCount(), 11);
    const QRect groupRow = grid.Table()->visualRect(grid.Model()->index(0, 0));
    const QPoint expander(groupRow.left() + 8, groupRow.center().y());
    QTest::mouseClick(grid.Table()->viewport(), Qt::LeftButton, {},
                      QPoint(groupRow.left() + 300, groupRow.center().y()));
    EXPECT_EQ(grid.Model()->rowCount(), 11);
    QTest::mouseClick(grid.Table()->viewport(), Qt::LeftButton, {}, expander);
    EXPECT_EQ(grid.Model()->rowCount(), 7);
    EXPECT_TRUE(Cell(0, 0).startsWith(QString::fromUtf8("\u25B8")));
    QTest::mouseClick(grid.Table()->viewport(), Qt::LeftButton, {}, expander);
    EXPECT_EQ(grid.Model()->rowCount(), 11);
    // A double click there is two clicks: the group ends as it was.
    QTest::mouseDClick(grid.Table()->viewport(), Qt::LeftButton, {}, expander);
    EXPECT_EQ(grid.Model()->rowCount(), 11);
    // A record row has no expander.
    QTest::mouseClick(grid.Table()->viewport(), Qt::LeftButton, {}, QPoint(groupRow.left() + 8, RowPoint(1).y()));
    EXPECT_EQ(grid.Model()->rowCount(), 11);
}

TEST_F(GridInteractionTest, TheGroupByBoxStatesTheGroupingAndTakesDroppedHeadings) {
    views::GroupByBox& box = *grid.GroupBox();
    EXPECT_TRUE(box.text().startsWith("Not grouped."));
    EXPECT_EQ(box.GroupByButton()->text(), "Group By...");
    // Loading groups the way a layout does: the box follows the regroup.
    grid.Groups().Add(kInitial, 1);
    grid.Regroup(false);
    EXPECT_EQ(box.text(), "Grouped by: Initial (ascending)");

    // A heading dragged from the header carries its column; dropped on the box it becomes the
    // next level.
    std::unique_ptr<QMimeData> data(views::HeaderDrag::MimeFor(kLastName));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&box, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&box, &drop);
    EXPECT_EQ(grid.Groups().All(), (std::vector<views::GridGroup>{{kInitial, 1}, {kLastName, 1}}));
    EXPECT_EQ(box.text(), "Grouped by: Initial (ascending), Last Name (ascending)");
    EXPECT_GT(grid.Arrangement().GroupCount(), 3);

    // Anything else dragged over the box is refused.
    QMimeData text;
    text.setText("Last Name");
    QDragEnterEvent other(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    other.setAccepted(false);
    QApplication::sendEvent(&box, &other);
    EXPECT_FALSE(other.isAccepted());
}

TEST_F(GridInteractionTest, TheNavigatorWithoutACurrentRecordAndTheSortArrow) {
    const auto buttons = grid.Navigator()->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 4);
    EXPECT_EQ(grid.NavigatorText(), "No current record (8 records)");
    EXPECT_FALSE(buttons[0]->isEnabled());  // first
    EXPECT_FALSE(buttons[1]->isEnabled());  // previous
    EXPECT_TRUE(buttons[2]->isEnabled());   // next goes to the first record
    buttons[2]->click();
    EXPECT_EQ(grid.NavigatorText(), "Record 1 of 8");
    EXPECT_FALSE(buttons[0]->isEnabled());
    buttons[3]->click();
    EXPECT_TRUE(buttons[0]->isEnabled());

    RecordGrid empty;
    EXPECT_EQ(empty.NavigatorText(), "No records");

    // Qt's header draws Qt::DescendingOrder as the upward arrow that means ascending.
    grid.SortKeys().Add(kLastName, 1);
    grid.Resort();
    EXPECT_EQ(grid.Table()->horizontalHeader()->sortIndicatorSection(), 1);
    EXPECT_EQ(grid.Table()->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
}

}  // namespace
