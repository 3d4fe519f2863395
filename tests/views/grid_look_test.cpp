// The grid's look: live font objects, OLE and system colours, row sizing, the font
// description and the card width conversions of the format dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include "sample_source.h"
#include "views/format_view_dialog.h"
#include "views/frm_card_view.h"
#include "views/grid_table_model.h"
#include "views/qt_look.h"
#include "views/record_grid.h"
#include "views/record_navigator.h"

namespace {

using views::FormatViewDialog;
using views::frmCardView;
using views::GridFont;
using views::RecordGrid;

TEST(GridLook, EditingAFontObjectRedrawsTheGridAtOnceAndACopyStaysAsItWas) {
    RecordGrid grid;
    views_test::AddPatientColumns(grid);
    grid.SetBoundRecordset(views_test::SamplePatients());
    const GridFont saved = grid.Font();

    grid.Font().SetSize(14);
    grid.Font().SetBold(true);
    grid.ColumnHeaderFont().SetName("Courier New");
    grid.ColumnHeaderFont().SetItalic(true);
    EXPECT_EQ(grid.Table()->font().pointSizeF(), 14);
    EXPECT_TRUE(grid.Table()->font().bold());
    EXPECT_TRUE(grid.Table()->horizontalHeader()->font().italic());
    EXPECT_EQ(grid.Model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().family(), "Courier New");
    EXPECT_EQ(saved.Size, 8.25);
    EXPECT_FALSE(saved.Bold);

    grid.SetFont(saved);
    EXPECT_EQ(grid.Font(), saved);
    EXPECT_EQ(grid.Table()->font().pointSizeF(), 8.25);
}

TEST(GridLook, OleColoursAreBgrAndSystemColoursFollowThePalette) {
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Button, QColor(4, 5, 6));
    palette.setColor(QPalette::Dark, QColor(7, 8, 9));
    palette.setColor(QPalette::ButtonText, QColor(10, 11, 12));
    palette.setColor(QPalette::Highlight, QColor(13, 14, 15));
    EXPECT_EQ(views::ToQColor(0x80000005, palette), QColor(1, 2, 3));
    EXPECT_EQ(views::ToQColor(0x8000000F, palette), QColor(4, 5, 6));
    EXPECT_EQ(views::ToQColor(0x80000010, palette), QColor(7, 8, 9));
    EXPECT_EQ(views::ToQColor(0x80000012, palette), QColor(10, 11, 12));
    EXPECT_EQ(views::ToQColor(0x8000000D, palette), QColor(13, 14, 15));  // selected item
    EXPECT_EQ(views::ToQColor(0x00C1D7B0, palette), QColor(0xB0, 0xD7, 0xC1));
    EXPECT_EQ(views::ToOleColor(QColor(0xB0, 0xD7, 0xC1)), 0x00C1D7B0u);
    EXPECT_EQ(views::ToOleColor(QColor(255, 0, 0, 7)), 0x000000FFu);
}

TEST(GridLook, DraggingARowSetsTheHeightOfEveryRowAndResizeRowsPutsTheDefaultBack) {
    RecordGrid grid;
    views_test::AddPatientColumns(grid);
    grid.SetBoundRecordset(views_test::SamplePatients());
    QHeaderView* rows = grid.Table()->verticalHeader();
    const int standard = rows->sectionSize(0);

    rows->resizeSection(2, standard + 10);  // row sizing off: the drag does not count
    EXPECT_EQ(grid.RowHeight(), -1);
    grid.SetAllowRowSizing(true);
    EXPECT_EQ(rows->sectionResizeMode(0), QHeaderView::Interactive);
    rows->resizeSection(2, 40);
    EXPECT_EQ(grid.RowHeight(), 600);
    EXPECT_EQ(rows->sectionSize(0), 40);
    EXPECT_EQ(rows->sectionSize(5), 40);

    grid.SetRowHeight(-1);
    grid.Refresh();
    EXPECT_EQ(rows->sectionSize(2), standard);
    EXPECT_EQ(rows->sectionSize(5), standard);
    // A new font changes the default height without fixing a height of its own.
    grid.Font().SetSize(20);
    EXPECT_GT(rows->sectionSize(0), standard);
    EXPECT_EQ(grid.RowHeight(), -1);
}

TEST(GridLook, TheNavigatorStripShowsTheInfoTextColours) {
    RecordGrid grid;
    grid.SetBackColorInfoText(0x00112233);
    grid.SetForeColorInfoText(0x00445566);
    EXPECT_EQ(grid.Navigator()->palette().color(QPalette::Window), QColor(0x33, 0x22, 0x11));
    EXPECT_EQ(grid.Navigator()->palette().color(QPalette::WindowText), QColor(0x66, 0x55, 0x44));
    EXPECT_TRUE(grid.Navigator()->autoFillBackground());
}

TEST(FormatDialogs, FontDescriptionsRoundHalvesToEven) {
    auto described = [](double size) { return FormatViewDialog::FontDescription({"Tahoma", size}); };
    EXPECT_EQ(described(8.25), "8 pt. Tahoma");
    EXPECT_EQ(described(9.5), "10 pt. Tahoma");
    EXPECT_EQ(described(8.5), "8 pt. Tahoma");
    EXPECT_EQ(described(10.75), "11 pt. Tahoma");
    EXPECT_EQ(FormatViewDialog::FontDescription({"Courier New", 12, true}), "12 pt. Courier New");
}

TEST(FormatDialogs, CardWidthsGoFromTwipsToPixelsAndBack) {
    EXPECT_EQ(frmCardView::CardWidthText(3000, 15), "200");
    EXPECT_EQ(frmCardView::CardWidthText(2990, 15), "199.3333");
    EXPECT_EQ(frmCardView::CardWidthText(3000, 12), "250");
    EXPECT_EQ(frmCardView::CardWidthTwips("201", 15), 3015);
    EXPECT_EQ(frmCardView::CardWidthTwips(" 199.5 ", 15), 2992);  // 2992.5: halves to even
    EXPECT_EQ(frmCardView::CardWidthTwips("199.7", 15), 2996);    // 2995.5 in single precision
    EXPECT_EQ(frmCardView::CardWidthTwips("abc", 15), std::nullopt);
    EXPECT_EQ(frmCardView::CardWidthTwips("", 15), std::nullopt);
    EXPECT_EQ(frmCardView::CardWidthTwips("-5", 15), std::nullopt);
    EXPECT_EQ(frmCardView::CardWidthTwips("1e30", 15), std::nullopt);
}

}  // namespace
