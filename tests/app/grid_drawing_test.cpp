// What the record grid draws for its look properties: pixels of a grab of the patient grid
// over a generated database. With ARCHIVE_FORMAT_SCREENSHOTS set, the format dialogs and the
// grid are also saved as pictures in that folder.
#include <QHeaderView>
#include <QListView>
#include <QTableView>
#include <QTest>

#include "format_grid_fixture.h"
#include "views/frm_card_view.h"
#include "views/frm_tableview.h"
#include "views/record_navigator.h"

namespace app_testing {
namespace {

constexpr views::OleColor kOdd = 0x00C8E6FF;        // red FF, green E6, blue C8
constexpr views::OleColor kEven = 0x00FFE6C8;       // red C8, green E6, blue FF
constexpr views::OleColor kHeader = 0x008C3C28;     // red 28, green 3C, blue 8C
constexpr views::OleColor kLines = 0x00FF00FF;      // magenta
constexpr views::OleColor kGroupRows = 0x0078FAFA;  // pale yellow
constexpr views::OleColor kNonCell = 0x005A5A5A;    // dark grey
constexpr views::OleColor kMask = 0x000AC80A;       // green
constexpr views::OleColor kInfo = 0x00000078;       // dark red

class GridDrawingTest : public FormatGridTest {
protected:
    void SetUp() override {
        FormatGridTest::SetUp();
        grid->SetOddRowsColor(kOdd);
        grid->SetEvenRowsColor(kEven);
        grid->SetBackColorHeader(kHeader);
        grid->SetGridLinesColor(kLines);
        grid->SetBackColorGroupRows(kGroupRows);
        grid->SetBackColorNonCellArea(kNonCell);
        grid->SetMaskColor(kMask);
        grid->SetBackColorInfoText(kInfo);
        grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
    }
    QImage Grab() {
        grid->Table()->clearSelection();
        grid->Table()->setCurrentIndex({});
        QTest::qWait(20);
        return grid->grab().toImage();
    }
    // A point of a widget inside the grid, in the grid's coordinates.
    QPoint At(QWidget* widget, QPoint point) const { return widget->mapTo(grid.get(), point); }
    // The colour of the empty right end of a cell (Last Name is left-aligned and wide).
    QColor CellPixel(const QImage& image, int row, int column = 1) const {
        const QRect cell = grid->Table()->visualRect(grid->Model()->index(row, column));
        return image.pixelColor(At(grid->Table()->viewport(), QPoint(cell.right() - 3, cell.center().y())));
    }
};

TEST_F(GridDrawingTest, CellsHeadersRowsGroupRowsAndGridLinesCarryTheirColours) {
    QImage image = Grab();
    QTableView* table = grid->Table();
    EXPECT_EQ(CellPixel(image, 2), QColor(0xFF, 0xE6, 0xC8));  // the third row: odd
    EXPECT_EQ(CellPixel(image, 3), QColor(0xC8, 0xE6, 0xFF));  // the fourth: even
    QHeaderView* header = table->horizontalHeader();
    EXPECT_EQ(image.pixelColor(At(header, QPoint(header->sectionViewportPosition(1) + 3, 3))),
              QColor(0x28, 0x3C, 0x8C));
    const QRect cell = table->visualRect(grid->Model()->index(3, 1));
    EXPECT_EQ(image.pixelColor(At(table->viewport(), QPoint(cell.right() + 1, cell.center().y()))),
              QColor(255, 0, 255));
    const QRect lastRow = table->visualRect(grid->Model()->index(grid->Model()->rowCount() - 1, 1));
    ASSERT_LT(lastRow.bottom() + 10, table->viewport()->height());
    EXPECT_EQ(image.pixelColor(At(table->viewport(), QPoint(5, lastRow.bottom() + 8))), QColor(0x5A, 0x5A, 0x5A));
    EXPECT_EQ(image.pixelColor(At(table->verticalHeader(), QPoint(5, cell.top() + 3))), QColor(0x0A, 0xC8, 0x0A));
    views::RecordNavigatorBar* navigator = grid->Navigator();
    EXPECT_EQ(image.pixelColor(At(navigator, QPoint(navigator->width() - 4, navigator->height() / 2))),
              QColor(0x78, 0, 0));

    // Without alternating colours every cell is BackColor; without grid lines none are drawn.
    grid->SetBackColor(0x00E6FFE6);
    grid->SetUseEvenOddColor(false);
    grid->SetGridLines(0);
    image = Grab();
    EXPECT_EQ(CellPixel(image, 2), QColor(0xE6, 0xFF, 0xE6));
    EXPECT_EQ(CellPixel(image, 3), QColor(0xE6, 0xFF, 0xE6));
    const QRect wide = table->visualRect(grid->Model()->index(3, 1));
    EXPECT_NE(image.pixelColor(At(table->viewport(), QPoint(wide.right(), wide.center().y()))), QColor(255, 0, 255));

    // A group row takes BackColorGroupRows across the table.
    grid->SetGridLines(-1);
    grid->Groups().Add(5, 1);  // Title
    grid->Regroup(false);
    ASSERT_TRUE(grid->Model()->index(0, 0).data(views::GridTableModel::IsGroupRole).toBool());
    image = Grab();
    const QRect group = table->visualRect(grid->Model()->index(0, 0));
    EXPECT_EQ(image.pixelColor(At(table->viewport(), QPoint(group.right() - 4, group.center().y()))),
              QColor(0xFA, 0xFA, 0x78));
}

TEST_F(GridDrawingTest, CardsDrawTheirWidthHeadingAndFrameColours) {
    grid->SetBackColorGroupBy(0x00FF0000);  // card headings: blue
    grid->SetCardWidth(2400);
    grid->SetView(1);
    const QImage image = Grab();
    QListView* cards = grid->Cards();
    const QRect first = cards->visualRect(grid->Model()->index(0, 0));
    EXPECT_EQ(first.width(), 160 + 8);
    const QRect card = first.adjusted(4, 4, -4, -4);
    EXPECT_EQ(image.pixelColor(At(cards->viewport(), card.topLeft() + QPoint(card.width() - 3, 3))), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(At(cards->viewport(), QPoint(card.left(), card.center().y()))),
              QColor(0x0A, 0xC8, 0x0A));
    EXPECT_EQ(image.pixelColor(At(cards->viewport(), QPoint(first.left() + 1, first.top() + 1))),
              QColor(0x5A, 0x5A, 0x5A));
}

// Pictures of the two dialogs and of the grid after "Defaults", after a picked colour and as
// cards; saved only when a folder is named.
TEST_F(GridDrawingTest, Screenshots) {
    const QString folder = ScreenshotFolder();
    if (folder.isEmpty()) GTEST_SKIP() << "ARCHIVE_FORMAT_SCREENSHOTS names no folder";
    grid->move(0, 0);
    views::frmTableview table(nullptr, "/app/Corvane.chm");
    table.SetPickers(&pickers);
    pickers.colors = {0x00D0E8FF};
    WhenShown(table, [&] {
        QTest::qWait(20);
        EXPECT_TRUE(table.grab().save(folder + "/k-table-dialog.png"));
        table.findChild<QPushButton*>("cmdDefaultColors")->click();
        EXPECT_TRUE(Grab().save(folder + "/k-grid-defaults.png"));
        table.findChild<QComboBox*>("cboFgColors")->setCurrentIndex(7);  // "Odd Rows"
        table.findChild<QPushButton*>("cmdForegroundColors")->click();
        EXPECT_TRUE(Grab().save(folder + "/k-grid-colour.png"));
        table.findChild<QPushButton*>("cmdOK")->click();
    });
    table.FormatGrid(*grid);

    grid->SetView(1);
    views::frmCardView card(nullptr, "/app/Corvane.chm");
    WhenShown(card, [&] {
        QTest::qWait(20);
        EXPECT_TRUE(card.grab().save(folder + "/k-card-dialog.png"));
        card.findChild<QPushButton*>("cmdOK")->click();
    });
    card.FormatGrid(*grid);
    EXPECT_TRUE(Grab().save(folder + "/k-grid-card.png"));
}

}  // namespace
}  // namespace app_testing
