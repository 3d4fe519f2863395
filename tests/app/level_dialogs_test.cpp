// The sort and group-by dialogs on a patient grid over a generated database, driven through
// their controls as a user would.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "view_grid_fixture.h"
#include "views/frm_group_by.h"
#include "views/frm_sort.h"
#include "views/group_by_box.h"
#include "views/text_collation.h"

namespace {

using app_testing::Choose;
using app_testing::Level;
using app_testing::Order;
using testing_support::WhenShown;
using views::frmGroupBy;
using views::frmSort;
using views::GridGroup;

void Click(QWidget& dialog, const char* button) { dialog.findChild<QPushButton*>(button)->click(); }

class GroupByTest : public app_testing::ViewGridTest {
protected:
    // Opens the group-by dialog on the grid, lets user work in it, and waits until it is closed.
    void GroupGrid(std::function<void(frmGroupBy&)> user) {
        WhenShown<frmGroupBy>(std::move(user));
        frmGroupBy dialog;
        dialog.GroupGrid(grid);
    }
};

TEST_F(GroupByTest, AnUngroupedGridOpensAtNoneWithTheLevelsBelowDisabledAndTheLevelRuleCascades) {
    grid.Columns().Item(kTitle).SetColumnType(1);
    GroupGrid([&](frmGroupBy& d) {
        EXPECT_EQ(d.windowTitle(), "Group By");
        EXPECT_EQ(d.HelpContextID(), 730);
        EXPECT_EQ(d.findChild<QLabel*>("lblExpand")->text(), "Expand/Collapse:");
        EXPECT_EQ(d.cboExpand()->currentText(), "All Expanded");
        EXPECT_EQ(d.cboExpand()->itemData(1).toInt(), -1);
        // Columns of type 1 are not offered; the others are, in column order.
        EXPECT_EQ(Level(d, 0)->count(), 1 + 9);
        EXPECT_EQ(Level(d, 0)->itemText(0), "(None)");
        EXPECT_EQ(Level(d, 0)->itemText(4), "MI");
        EXPECT_EQ(Level(d, 0)->itemText(5), "Home Phone");
        EXPECT_EQ(Level(d, 3)->itemText(9), "Initial");
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Level(d, i)->currentIndex(), 0) << i;
        EXPECT_TRUE(Level(d, 0)->isEnabled());
        EXPECT_FALSE(Order(d, 0)->isEnabled());
        EXPECT_FALSE(Order(d, 1)->isEnabled());
        for (int i = 1; i < 4; ++i) EXPECT_FALSE(Level(d, i)->isEnabled()) << i;

        Choose(d, 0, kInitial);
        EXPECT_TRUE(Order(d, 0)->isEnabled());
        EXPECT_TRUE(Level(d, 1)->isEnabled());
        EXPECT_FALSE(Level(d, 2)->isEnabled());
        Order(d, 1)->click();
        Choose(d, 1, kLastName);
        Order(d, 3)->click();
        Choose(d, 2, kFirstName);
        EXPECT_TRUE(Level(d, 3)->isEnabled());
        // Another column at a level puts it back to ascending.
        Choose(d, 1, kFirstName);
        EXPECT_TRUE(Order(d, 2)->isChecked());
        // "(None)" at the top clears and disables everything beneath.
        Choose(d, 0, 0);
        for (int i = 1; i < 4; ++i) {
            EXPECT_EQ(Level(d, i)->currentIndex(), 0) << i;
            EXPECT_FALSE(Level(d, i)->isEnabled()) << i;
            EXPECT_TRUE(Order(d, 2 * i)->isChecked()) << i;
            EXPECT_FALSE(Order(d, 2 * i + 1)->isEnabled()) << i;
        }
        EXPECT_TRUE(Order(d, 0)->isChecked());
        Click(d, "cmdOK");
    });
    // What was chosen and undone is no change at all.
    EXPECT_TRUE(Groups().empty());
    EXPECT_EQ(grid.regroups, 0);
}

TEST_F(GroupByTest, OkRebuildsTheGroupsInLevelOrderAllowingOneColumnTwiceAndTheBoxSaysSo) {
    GroupGrid([&](frmGroupBy& d) {
        Choose(d, 0, kInitial);
        Choose(d, 1, kInitial);
        Order(d, 3)->click();
        d.cboExpand()->setCurrentIndex(1);
        Click(d, "cmdOK");
    });
    EXPECT_EQ(Groups(), (std::vector<GridGroup>{{kInitial, 1}, {kInitial, -1}}));
    EXPECT_EQ(grid.regroups, 1);
    EXPECT_EQ(grid.regroupedCollapsed, std::vector<bool>{true});
    EXPECT_EQ(grid.GroupBox()->text(), "Grouped by: Initial (ascending), Initial (descending)");
    // All groups start collapsed: only the outer group rows are shown.
    int outer = 0;
    for (int g = 0; g < grid.Arrangement().GroupCount(); ++g) outer += grid.Arrangement().GroupAt(g).level == 0;
    EXPECT_EQ(grid.Arrangement().DisplayCount(), outer);
}

TEST_F(GroupByTest, OkWithoutAChangeOrWithOnlyExpandCollapseChangedAppliesNothing) {
    grid.Groups().Add(kInitial, 1);
    grid.Groups().Add(kLastName, -1);
    grid.Regroup(false);
    grid.regroups = 0;
    for (int expand : {0, 1}) {
        GroupGrid([&](frmGroupBy& d) {
            EXPECT_EQ(Level(d, 0)->currentData().toInt(), kInitial);
            EXPECT_TRUE(Order(d, 0)->isChecked());
            EXPECT_EQ(Level(d, 1)->currentData().toInt(), kLastName);
            EXPECT_TRUE(Order(d, 3)->isChecked());
            EXPECT_EQ(Level(d, 2)->currentIndex(), 0);
            EXPECT_TRUE(Level(d, 2)->isEnabled());
            EXPECT_FALSE(Level(d, 3)->isEnabled());
            EXPECT_FALSE(d.findChild<QLabel*>("lblTrimmed")->isVisibleTo(&d));
            d.cboExpand()->setCurrentIndex(expand);
            Click(d, "cmdOK");
        });
    }
    EXPECT_EQ(grid.regroups, 0);
    EXPECT_EQ(Groups(), (std::vector<GridGroup>{{kInitial, 1}, {kLastName, -1}}));
}

TEST_F(GroupByTest, ClearingTheTopLevelRemovesAllGroupsAndCancelChangesNothing) {
    grid.Groups().Add(kInitial, 1);
    grid.Groups().Add(kLastName, -1);
    grid.Regroup(false);
    grid.regroups = 0;
    GroupGrid([&](frmGroupBy& d) {
        Choose(d, 0, kFirstName);
        Click(d, "cmdCancel");
    });
    EXPECT_EQ(grid.regroups, 0);
    EXPECT_EQ(Groups().size(), 2u);

    GroupGrid([&](frmGroupBy& d) {
        Click(d, "cmdClearAll");
        EXPECT_FALSE(Level(d, 1)->isEnabled());
        Click(d, "cmdOK");
    });
    EXPECT_TRUE(Groups().empty());
    EXPECT_EQ(grid.regroups, 1);
    EXPECT_EQ(grid.Arrangement().GroupCount(), 0);
}

TEST_F(GroupByTest, AGroupingTheListsCannotShowWholeIsShownInPartAndKeptUnlessChanged) {
    grid.Columns().Item(kTitle).SetColumnType(1);
    // Five levels, one of them on a column that cannot be grouped by.
    for (int colIndex : {kInitial, kTitle, kLastName, kFirstName, 1, 4})
        grid.Groups().Add(static_cast<int16_t>(colIndex), 1);
    grid.Regroup(false);
    grid.regroups = 0;
    const auto before = Groups();
    GroupGrid([&](frmGroupBy& d) {
        EXPECT_EQ(Level(d, 0)->currentData().toInt(), kInitial);
        EXPECT_EQ(Level(d, 1)->currentData().toInt(), kLastName);
        EXPECT_EQ(Level(d, 3)->currentData().toInt(), 1);
        QLabel* note = d.findChild<QLabel*>("lblTrimmed");
        EXPECT_TRUE(note->isVisibleTo(&d));
        EXPECT_TRUE(note->text().contains("6 groups")) << note->text().toStdString();
        Click(d, "cmdOK");
    });
    EXPECT_EQ(grid.regroups, 0);
    EXPECT_EQ(Groups(), before);

    GroupGrid([&](frmGroupBy& d) {
        Order(d, 7)->click();
        Click(d, "cmdOK");
    });
    EXPECT_EQ(Groups(), (std::vector<GridGroup>{{kInitial, 1}, {kLastName, 1}, {kFirstName, 1}, {1, -1}}));
    EXPECT_EQ(grid.regroups, 1);
}

TEST_F(GroupByTest, TheGroupByBoxButtonOpensTheDialogAndADroppedHeadingAddsALevel) {
    grid.SetGroupByBoxVisible(true);
    EXPECT_TRUE(grid.GroupBox()->text().startsWith("Not grouped."));
    grid.AddGroupLevel(kInitial);
    EXPECT_EQ(grid.GroupBox()->text(), "Grouped by: Initial (ascending)");
    WhenShown<frmGroupBy>([&](frmGroupBy& d) {
        EXPECT_EQ(Level(d, 0)->currentData().toInt(), kInitial);
        Choose(d, 1, kFirstName);
        Click(d, "cmdOK");
    });
    grid.GroupBox()->GroupByButton()->click();
    EXPECT_EQ(Groups(), (std::vector<GridGroup>{{kInitial, 1}, {kFirstName, 1}}));
    EXPECT_EQ(grid.GroupBox()->text(), "Grouped by: Initial (ascending), First Name (ascending)");
}

TEST_F(GroupByTest, GroupsOfAccentedInitialsSitAmongTheirLetters) {
    grid.AddGroupLevel(kInitial);
    std::vector<std::string> initials;
    for (int g = 0; g < grid.Arrangement().GroupCount(); ++g) {
        initials.push_back(Cell(grid.Arrangement().GroupAt(g).first + 1, kInitial));
    }
    ASSERT_GE(initials.size(), 3u);
    for (size_t i = 1; i < initials.size(); ++i) EXPECT_LT(views::CollateTexts(initials[i - 1], initials[i]), 0);
    // The generated last names include Çelik, which groups between B and D, not after Z.
    const auto cedilla = std::find(initials.begin(), initials.end(), "Ç");
    ASSERT_NE(cedilla, initials.end());
    EXPECT_LT(*(cedilla - 1), "D");
    EXPECT_EQ(*(cedilla + 1), "D");
}

class SortTest : public app_testing::ViewGridTest {
protected:
    void SortGrid(std::function<void(frmSort&)> user) {
        WhenShown<frmSort>(std::move(user));
        frmSort dialog;
        dialog.SortGrid(grid);
    }
    std::vector<std::string> Column(int colIndex) const {
        std::vector<std::string> values;
        for (int row = 1; row <= grid.RowCount(); ++row) values.push_back(Cell(row, colIndex));
        return values;
    }
};

TEST_F(SortTest, AGridSortedByOneKeyOpensWithItAndOkWithoutChangeDoesNotResort) {
    grid.Columns().Item(kTitle).SetColumnType(1);
    SortGrid([&](frmSort& d) {
        EXPECT_EQ(d.windowTitle(), "Sort");
        EXPECT_EQ(d.HelpContextID(), 720);
        EXPECT_EQ(d.findChild<QWidget*>("cboExpand"), nullptr);
        EXPECT_EQ(Level(d, 0)->count(), 1 + 10);  // every column, type 1 included
        EXPECT_EQ(Level(d, 0)->currentData().toInt(), kLastName);
        EXPECT_TRUE(Order(d, 0)->isChecked());
        EXPECT_TRUE(Level(d, 1)->isEnabled());
        EXPECT_EQ(Level(d, 1)->currentIndex(), 0);
        EXPECT_FALSE(Level(d, 2)->isEnabled());
        EXPECT_FALSE(Level(d, 3)->isEnabled());
        Click(d, "cmdOK");
    });
    EXPECT_EQ(grid.resorts, 0);
    EXPECT_EQ(SortKeys(), (std::vector<GridGroup>{{kLastName, 1}}));
}

TEST_F(SortTest, FlippingTheDirectionOrPickingAnotherColumnResortsTheRowsInReadingOrder) {
    SortGrid([&](frmSort& d) {
        Order(d, 1)->click();
        Click(d, "cmdOK");
    });
    EXPECT_EQ(grid.resorts, 1);
    EXPECT_EQ(SortKeys(), (std::vector<GridGroup>{{kLastName, -1}}));
    const auto last = Column(kLastName);
    for (size_t i = 1; i < last.size(); ++i) ASSERT_GE(views::CollateTexts(last[i - 1], last[i]), 0) << i;
    // Çelik sorts among the C's: after the D's and before the B's when descending, not first.
    const auto at = [&](const char* name) {
        return std::find_if(last.begin(), last.end(), [&](const std::string& s) { return s.rfind(name, 0) == 0; });
    };
    ASSERT_NE(at("Çelik"), last.end());
    ASSERT_NE(at("Dubois"), last.end());
    ASSERT_NE(at("Brown"), last.end());
    EXPECT_LT(at("Dubois"), at("Çelik"));
    EXPECT_LT(at("Çelik"), at("Brown"));

    SortGrid([&](frmSort& d) {
        Choose(d, 0, kFirstName);
        Choose(d, 1, kLastName);
        Click(d, "cmdOK");
    });
    EXPECT_EQ(grid.resorts, 2);
    EXPECT_EQ(SortKeys(), (std::vector<GridGroup>{{kFirstName, 1}, {kLastName, 1}}));
    const auto first = Column(kFirstName);
    for (size_t i = 1; i < first.size(); ++i) ASSERT_LE(views::CollateTexts(first[i - 1], first[i]), 0) << i;
}

TEST_F(SortTest, ClearAllThenOkRemovesEveryKey) {
    SortGrid([&](frmSort& d) {
        Click(d, "cmdClearAll");
        EXPECT_EQ(Level(d, 0)->currentIndex(), 0);
        Click(d, "cmdOK");
    });
    EXPECT_TRUE(SortKeys().empty());
    EXPECT_EQ(grid.resorts, 1);
}

}  // namespace
