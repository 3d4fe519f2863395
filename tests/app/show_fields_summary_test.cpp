// The field chooser and the view summary on a patient grid over a generated database.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "view_grid_fixture.h"
#include "views/format_dialog_hook.h"
#include "views/frm_showfields.h"
#include "views/frm_sort.h"
#include "views/frm_summary.h"

namespace {

using app_testing::Choose;
using testing_support::WhenShown;
using views::frmShowfields;
using views::frmSort;
using views::frmSummary;

std::vector<std::string> Texts(const QListWidget* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
    return out;
}

class ShowFieldsTest : public app_testing::ViewGridTest {
protected:
    bool ShowFields(std::function<void(frmShowfields&)> user) {
        WhenShown<frmShowfields>(std::move(user));
        frmShowfields dialog;
        return dialog.ShowFields(grid);
    }
    // The visible captions in display order, as the grid shows its headings.
    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (const views::GridColumn* column : grid.Columns().VisibleInOrder()) out.push_back(column->Caption());
        return out;
    }
};

TEST_F(ShowFieldsTest, ListsStartInDisplayOrderAndTheButtonsFollowTheSelections) {
    grid.Columns().Item(kTitle).SetVisible(false);
    grid.Columns().Item(kFirstName).SetColPosition(1);
    EXPECT_FALSE(ShowFields([&](frmShowfields& d) {
        EXPECT_EQ(d.windowTitle(), "Show Fields");
        EXPECT_EQ(d.HelpContextID(), 710);
        EXPECT_EQ(d.findChild<QLabel*>("lblAvail")->text(), "Available fields:");
        EXPECT_EQ(d.findChild<QLabel*>("lblVisible")->text(), "Show these fields in this order:");
        EXPECT_EQ(Texts(d.lstAvail()), (std::vector<std::string>{"Title", "Initial"}));
        EXPECT_EQ(Texts(d.lstVisible()), (std::vector<std::string>{"First Name", "Patient Number", "Last Name", "MI",
                                                                   "Home Phone", "Work Phone", "SSN", "Birthday"}));
        EXPECT_EQ(d.lstAvail()->currentRow(), 0);
        EXPECT_EQ(d.lstVisible()->currentRow(), 0);
        EXPECT_TRUE(d.cmdAdd()->isEnabled());
        EXPECT_TRUE(d.cmdRemove()->isEnabled());
        EXPECT_FALSE(d.cmdUp()->isEnabled());
        EXPECT_TRUE(d.cmdDown()->isEnabled());

        // A removed field goes to the end of the available list, selected there.
        d.cmdRemove()->click();
        EXPECT_EQ(Texts(d.lstAvail()), (std::vector<std::string>{"Title", "Initial", "First Name"}));
        EXPECT_EQ(d.lstAvail()->currentRow(), 2);
        EXPECT_EQ(d.lstVisible()->currentItem()->text(), "Patient Number");
        d.cmdDown()->click();
        EXPECT_EQ(d.lstVisible()->item(1)->text(), "Patient Number");
        EXPECT_TRUE(d.cmdUp()->isEnabled());
        d.lstVisible()->setCurrentRow(6);  // Birthday, the last
        d.lstVisible()->itemClicked(d.lstVisible()->currentItem());
        EXPECT_FALSE(d.cmdDown()->isEnabled());
        d.cmdUp()->click();
        EXPECT_EQ(d.lstVisible()->item(5)->text(), "Birthday");

        // Adding the last available field leaves the new last one selected.
        d.cmdAdd()->click();
        EXPECT_EQ(d.lstVisible()->currentItem()->text(), "First Name");
        EXPECT_EQ(d.lstAvail()->currentItem()->text(), "Initial");
        d.cmdAdd()->click();
        d.cmdAdd()->click();
        EXPECT_EQ(d.lstAvail()->count(), 0);
        EXPECT_FALSE(d.cmdAdd()->isEnabled());

        // With nothing selected, Move Down is enabled and does nothing.
        d.lstVisible()->clearSelection();
        d.UpdateButtons();
        EXPECT_TRUE(d.cmdDown()->isEnabled());
        EXPECT_FALSE(d.cmdRemove()->isEnabled());
        const auto before = Texts(d.lstVisible());
        d.cmdDown()->click();
        EXPECT_EQ(Texts(d.lstVisible()), before);
        d.findChild<QPushButton*>("cmdCancel")->click();
    }));
    // Cancel: the grid is as it was.
    EXPECT_EQ(Shown(), (std::vector<std::string>{"First Name", "Patient Number", "Last Name", "MI", "Home Phone",
                                                 "Work Phone", "SSN", "Birthday"}));
}

TEST_F(ShowFieldsTest, OkWritesEveryColumnsVisibilityAndThePositionsOfTheShownOnes) {
    EXPECT_TRUE(ShowFields([&](frmShowfields& d) {
        d.lstVisible()->setCurrentRow(2);  // First Name
        d.cmdRemove()->click();
        d.lstVisible()->setCurrentRow(7);  // Birthday
        for (int i = 0; i < 7; ++i) d.cmdUp()->click();
        d.findChild<QPushButton*>("cmdOK")->click();
    }));
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Birthday", "Patient Number", "Last Name", "MI", "Title", "Home Phone",
                                                 "Work Phone", "SSN"}));
    EXPECT_FALSE(grid.Columns().Item(kFirstName).Visible());
    EXPECT_FALSE(grid.Columns().Item(kInitial).Visible());
    EXPECT_EQ(grid.Columns().Item(9).ColPosition(), 1);
    EXPECT_EQ(grid.Columns().Item(8).ColPosition(), 8);
    EXPECT_EQ(grid.Model()->columnCount(), 8);
    EXPECT_EQ(grid.Model()->headerData(0, Qt::Horizontal).toString(), "Birthday");
}

TEST_F(ShowFieldsTest, OkWithoutAChangeStillWritesAndAllVisibleStartsWithAddDisabled) {
    grid.Columns().Item(kInitial).SetVisible(true);
    grid.Columns().Item(kInitial).SetColPosition(3);
    const std::string layout = grid.LayoutText();
    EXPECT_TRUE(ShowFields([&](frmShowfields& d) {
        EXPECT_EQ(d.lstAvail()->count(), 0);
        EXPECT_FALSE(d.cmdAdd()->isEnabled());
        d.findChild<QPushButton*>("cmdOK")->click();
    }));
    EXPECT_EQ(grid.LayoutText(), layout);
    for (int position = 1; position <= 10; ++position)
        EXPECT_EQ(grid.Columns().ItemByPosition(position).ColPosition(), position);
}

class SummaryTest : public app_testing::ViewGridTest {
protected:
    void ShowSummary(std::function<void(frmSummary&)> user) {
        WhenShown<frmSummary>(std::move(user));
        frmSummary dialog;
        dialog.ShowSummary(grid);
    }
};

TEST_F(SummaryTest, FourLinesDescribeFieldsGroupsSortAndFormat) {
    for (int index = 1; index <= grid.Columns().Count(); ++index)
        grid.Columns().Item(index).SetVisible(index == 2 || index == 3);
    grid.Groups().Add(kInitial, -1);
    grid.SortKeys().Clear();
    grid.Regroup(false);
    ShowSummary([&](frmSummary& d) {
        EXPECT_EQ(d.windowTitle(), "View Summary");
        EXPECT_EQ(d.HelpContextID(), 750);
        EXPECT_EQ(d.font().family(), "Tahoma");
        EXPECT_EQ(d.lblFields()->text(), "Last Name, First Name");
        EXPECT_EQ(d.lblGroups()->text(), "Initial (descending)");
        EXPECT_EQ(d.lblSort()->text(), "None");
        EXPECT_EQ(d.lblformat()->text(), "Fonts and other Table View settings");
        EXPECT_TRUE(d.cmdGroup()->isEnabled());
        d.findChild<QPushButton*>("cmdOK")->click();
    });

    for (int index = 1; index <= grid.Columns().Count(); ++index) grid.Columns().Item(index).SetVisible(false);
    grid.Groups().Clear();
    grid.SortKeys().Add(kLastName, 1);
    grid.SortKeys().Add(kFirstName, -1);
    grid.SetView(1);
    ShowSummary([&](frmSummary& d) {
        EXPECT_EQ(d.lblFields()->text(), "None");
        EXPECT_EQ(d.lblGroups()->text(), "None");
        EXPECT_EQ(d.lblSort()->text(), "Last Name (ascending), First Name (descending)");
        EXPECT_EQ(d.lblformat()->text(), "Fonts and other Card View settings");
        EXPECT_FALSE(d.cmdGroup()->isEnabled());
        d.findChild<QPushButton*>("cmdOK")->click();
    });
}

TEST_F(SummaryTest, ButtonsOpenTheirDialogsBesideTheSummaryAndRebuildTheirLines) {
    std::vector<views::FormatDialogRequest> formats;
    views::SetFormatDialogOpener([&](const views::FormatDialogRequest& request) { formats.push_back(request); });
    ShowSummary([&](frmSummary& d) {
        d.move(200, 150);
        // 100 twips at 15 twips a pixel (the recording screen) is 6 pixels.
        WhenShown<frmSort>([&](frmSort& sort) {
            EXPECT_EQ(sort.pos(), QPoint(206, 156));
            Choose(sort, 1, kFirstName);
            sort.findChild<QPushButton*>("cmdOK")->click();
        });
        d.findChild<QPushButton*>("cmdSort")->click();
        EXPECT_EQ(d.lblSort()->text(), "Last Name (ascending), First Name (ascending)");

        // Cancelling the field chooser leaves the fields line as it was.
        const QString fields = d.lblFields()->text();
        WhenShown<frmShowfields>([&](frmShowfields& chooser) {
            chooser.cmdRemove()->click();
            chooser.findChild<QPushButton*>("cmdCancel")->click();
        });
        d.findChild<QPushButton*>("cmdFields")->click();
        EXPECT_EQ(d.lblFields()->text(), fields);
        WhenShown<frmShowfields>([&](frmShowfields& chooser) {
            chooser.cmdRemove()->click();  // Patient Number, the first shown
            chooser.findChild<QPushButton*>("cmdOK")->click();
        });
        d.findChild<QPushButton*>("cmdFields")->click();
        EXPECT_TRUE(d.lblFields()->text().startsWith("Last Name, First Name")) << d.lblFields()->text().toStdString();

        d.findChild<QPushButton*>("cmdFormat")->click();
        ASSERT_EQ(formats.size(), 1u);
        EXPECT_FALSE(formats[0].cards);
        EXPECT_EQ(formats[0].grid, &grid);
        EXPECT_EQ(formats[0].topLeft, QPoint(206, 156));
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    views::SetFormatDialogOpener({});
    EXPECT_EQ(grid.resorts, 1);
    EXPECT_FALSE(grid.Columns().Item(1).Visible());
}

}  // namespace
