// The main window's popup menu on the patient grid: its entries, when it opens, and the view
// dialogs it opens on a grid over a generated database.
#include "app/grid_popup.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/frm_archive.h"
#include "engine/error.h"
#include "view_grid_fixture.h"
#include "views/format_dialog_hook.h"
#include "views/frm_group_by.h"
#include "views/frm_showfields.h"
#include "views/frm_sort.h"
#include "views/frm_summary.h"
#include "views/frm_tableview.h"

namespace {

using app_testing::Choose;
using app_testing::CountingGrid;
using testing_support::ShownDialog;
using testing_support::WhenShown;

class GridPopupTest : public ::testing::Test {
protected:
    static constexpr int kFirstName = 3;
    static constexpr int kInitial = 10;

    void SetUp() override {
        ui::Install(&rec);
        grid = new CountingGrid;
        app_testing::OpenPatientGrid(*grid, data);
        window.ReplaceGrid(grid);
        window.show();
    }
    void TearDown() override { ui::Install(nullptr); }
    QMenu* Menu() const { return window.GridMenu()->mnuPopGrid(); }
    QPoint RowPoint(int row) const { return grid->Table()->visualRect(grid->Model()->index(row, 1)).center(); }
    // Centred on the recording user interface's 1920 x 1080 screen.
    static QPoint Centred(const QWidget& dialog) {
        return QPoint((1920 - dialog.width()) / 2, (1080 - dialog.height()) / 2);
    }

    ui::RecordingUi rec;
    app_testing::PracticeData data;
    app::frmArchive window{app::StartupEnvironment{}};
    CountingGrid* grid = nullptr;
};

TEST_F(GridPopupTest, TheMenuHoldsTheViewCommandsInOrder) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (QAction* action : Menu()->actions()) {
        entries.emplace_back(action->objectName().toStdString(),
                             action->isSeparator() ? "-" : action->text().toStdString());
    }
    EXPECT_EQ(entries, (std::vector<std::pair<std::string, std::string>>{
                           {"mnuPopShow", "Show Fields..."},
                           {"mnuPopSort", "Sort..."},
                           {"mnuPopGroupBy", "Group By..."},
                           {"mnuPopFormatView", "Format View..."},
                           {"mnuPopExCol", "Expand/Collapse Groups"},
                           {"", "-"},
                           {"mnuPopSummary", "View Summary..."},
                       }));
    QMenu* sub = window.GridMenu()->mnuPopExCol();
    ASSERT_EQ(sub->actions().size(), 2);
    EXPECT_EQ(sub->actions()[0]->objectName(), "mnuPopColAll");
    EXPECT_EQ(sub->actions()[0]->text(), "Collapse All");
    EXPECT_EQ(sub->actions()[1]->objectName(), "mnuPopExAll");
    EXPECT_EQ(sub->actions()[1]->text(), "Expand All");
}

TEST_F(GridPopupTest, ARightClickOpensTheMenuAtThePointerAndALeftClickOpensNothing) {
    QTest::mouseClick(grid->Table()->viewport(), Qt::LeftButton, {}, RowPoint(3));
    EXPECT_FALSE(Menu()->isVisible());
    EXPECT_EQ(ShownDialog<QDialog>(), nullptr);

    for (int position : {2, 3, 4}) grid->SetRowSelected(position, true);
    QTest::mouseClick(grid->Table()->viewport(), Qt::RightButton, {}, RowPoint(2));
    ASSERT_TRUE(Menu()->isVisible());
    EXPECT_EQ(Menu()->pos(), grid->Table()->viewport()->mapToGlobal(RowPoint(2)));
    EXPECT_EQ(grid->SelectedRows().Count(), 3);  // the right click kept the selection
    Menu()->hide();
}

TEST_F(GridPopupTest, SortOpensCentredAndItsChoiceResortsTheGrid) {
    WhenShown<views::frmSort>([&](views::frmSort& d) {
        EXPECT_EQ(d.pos(), Centred(d));
        Choose(d, 0, kFirstName);
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    window.GridMenu()->mnuPopSort()->trigger();
    EXPECT_EQ(grid->resorts, 1);
    EXPECT_EQ(grid->SortKeys().All(), (std::vector<views::GridGroup>{{kFirstName, 1}}));
    EXPECT_EQ(grid->Table()->horizontalHeader()->sortIndicatorSection(), 2);
}

TEST_F(GridPopupTest, ShowFieldsGroupByExpandCollapseAndSummaryWorkOnTheGrid) {
    WhenShown<views::frmShowfields>([&](views::frmShowfields& d) {
        EXPECT_EQ(d.pos(), Centred(d));
        d.cmdRemove()->click();  // Patient Number
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    window.GridMenu()->mnuPopShow()->trigger();
    EXPECT_EQ(grid->Model()->columnCount(), 8);
    EXPECT_EQ(grid->Model()->headerData(0, Qt::Horizontal).toString(), "Last Name");

    WhenShown<views::frmGroupBy>([&](views::frmGroupBy& d) {
        Choose(d, 0, kInitial);
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    window.GridMenu()->mnuPopGroupBy()->trigger();
    EXPECT_EQ(grid->regroups, 1);
    const int groups = grid->Arrangement().GroupCount();
    ASSERT_GT(groups, 1);
    window.GridMenu()->mnuPopColAll()->trigger();
    EXPECT_EQ(grid->Model()->rowCount(), groups);
    window.GridMenu()->mnuPopExAll()->trigger();
    EXPECT_EQ(grid->Model()->rowCount(), groups + grid->RowCount());

    WhenShown<views::frmSummary>([&](views::frmSummary& d) {
        EXPECT_EQ(d.lblGroups()->text(), "Initial (ascending)");
        d.findChild<QPushButton*>("cmdOK")->click();
    });
    window.GridMenu()->mnuPopSummary()->trigger();
}

TEST_F(GridPopupTest, FormatViewAsksForTheTableFormatEvenInCardViewAndErrorsAreIgnored) {
    grid->SetView(1);
    std::vector<views::FormatDialogRequest> requests;
    views::SetFormatDialogOpener([&](const views::FormatDialogRequest& request) {
        requests.push_back(request);
        throw engine::Error(1, "The dialog failed.");
    });
    EXPECT_NO_THROW(window.GridMenu()->mnuPopFormatView()->trigger());
    views::SetFormatDialogOpener({});
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].cards);
    EXPECT_EQ(requests[0].grid, grid);
    EXPECT_FALSE(requests[0].topLeft.has_value());
    // Without an opener of a test's own, the entry opens the program's Format Table View.
    bool shown = false;
    WhenShown<views::frmTableview>([&](views::frmTableview& d) {
        shown = true;
        EXPECT_EQ(d.windowTitle(), "Format Table View");
        d.findChild<QPushButton*>("cmdCancel")->click();
    });
    window.GridMenu()->mnuPopFormatView()->trigger();
    EXPECT_TRUE(shown);
}

}  // namespace
