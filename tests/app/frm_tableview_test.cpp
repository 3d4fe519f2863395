// "Format Table View" driven offscreen on the patient grid over a generated database.
#include "views/frm_tableview.h"

#include <QHeaderView>
#include <QTableView>
#include <QTest>

#include "format_grid_fixture.h"
#include "views/group_by_box.h"
#include "views/record_navigator.h"

namespace app_testing {
namespace {

using views::ColorArea;
using views::GridFont;
using views::OleColor;

class FrmTableviewTest : public FormatGridTest {
protected:
    void SetUp() override {
        FormatGridTest::SetUp();
        dialog.SetPickers(&pickers);
    }
    template <typename T>
    T* Control(const char* name) {
        return Find<T>(dialog, name);
    }
    // Runs user inside the shown dialog, then presses the button named last.
    void Format(std::function<void()> user, const char* closeWith) {
        WhenShown(dialog, [this, user, closeWith] {
            user();
            if (closeWith) Control<QPushButton>(closeWith)->click();
        });
        dialog.FormatGrid(*grid);
        EXPECT_FALSE(dialog.isVisible());
    }
    std::array<OleColor, views::kColorAreaCount> Colors() const {
        std::array<OleColor, views::kColorAreaCount> colors{};
        for (int i = 0; i < views::kColorAreaCount; ++i) colors[i] = grid->Color(static_cast<ColorArea>(i));
        return colors;
    }

    views::frmTableview dialog{nullptr, "/app/Corvane.chm"};
};

TEST_F(FrmTableviewTest, OpensFromTheGridAndEverySwitchActsAtOnce) {
    grid->SetRowHeight(600);
    grid->SetAllowEdit(true);
    grid->SetAllowAddNew(true);
    Format(
        [this] {
            EXPECT_EQ(dialog.windowTitle(), "Format Table View");
            EXPECT_EQ(dialog.HelpContextID(), 740);
            EXPECT_FALSE(Control<QCheckBox>("chknewrow")->isVisible());
            EXPECT_TRUE(Control<QCheckBox>("chknewrow")->isChecked());
            EXPECT_FALSE(Control<QCheckBox>("chkAllowed")->isVisible());
            EXPECT_TRUE(Control<QCheckBox>("chkAllowed")->isChecked());
            EXPECT_EQ(Control<QComboBox>("cboGridlines")->currentText(), "Grid lines");
            EXPECT_TRUE(Control<QCheckBox>("chkgrouphead")->isChecked());
            EXPECT_TRUE(Control<QCheckBox>("chkOddEven")->isChecked());
            EXPECT_TRUE(Control<QCheckBox>("chkRecordNav")->isChecked());
            EXPECT_FALSE(Control<QCheckBox>("chkRowSizing")->isChecked());
            EXPECT_FALSE(Control<QCheckBox>("chkGroupBy")->isChecked());
            for (const char* list : {"cboFgColors", "cboBgColors"}) {
                EXPECT_EQ(Control<QComboBox>(list)->currentText(), "Cell Area");
                EXPECT_EQ(Control<QComboBox>(list)->currentIndex(), -1);
            }
            EXPECT_EQ(Control<QComboBox>("cboFgColors")->count(), 8);
            EXPECT_EQ(Control<QComboBox>("cboBgColors")->count(), 6);
            EXPECT_EQ(Control<QLabel>("lblForegroundColor")->palette().color(QPalette::Window),
                      Drawn(grid->ForeColor()));
            EXPECT_EQ(Control<QLabel>("lblBackgroundColor")->palette().color(QPalette::Window),
                      Drawn(grid->BackColor()));
            EXPECT_EQ(Control<QLabel>("lblcurrfont_0")->text(), "8 pt. Tahoma");
            EXPECT_EQ(Control<QLabel>("lblcurrfont_1")->text(), "8 pt. Tahoma");

            Control<QCheckBox>("chkGroupBy")->click();
            EXPECT_TRUE(grid->GroupByBoxVisible());
            EXPECT_TRUE(grid->GroupBox()->isVisibleTo(grid.get()));
            Control<QCheckBox>("chkRecordNav")->click();
            EXPECT_FALSE(grid->RecordNavigator());
            EXPECT_FALSE(grid->Navigator()->isVisibleTo(grid.get()));
            Control<QCheckBox>("chkRowSizing")->click();
            EXPECT_TRUE(grid->AllowRowSizing());
            EXPECT_EQ(grid->Table()->verticalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
            Control<QCheckBox>("chkOddEven")->click();
            EXPECT_FALSE(grid->UseEvenOddColor());
            EXPECT_EQ(CellBackground(1), Drawn(grid->BackColor()));
            Control<QComboBox>("cboGridlines")->setCurrentIndex(1);
            EXPECT_EQ(grid->GridLines(), 0);
            EXPECT_FALSE(grid->Table()->showGrid());
            EXPECT_EQ(grid->Table()->verticalHeader()->sectionSize(0), 40);
            Control<QPushButton>("cmdResizeRows")->click();
            EXPECT_EQ(grid->RowHeight(), -1);
            EXPECT_LT(grid->Table()->verticalHeader()->sectionSize(0), 40);
            // Shading group headings waits for OK.
            Control<QCheckBox>("chkgrouphead")->click();
            EXPECT_EQ(grid->BackColorGroupRows(), 0x8000000Fu);
        },
        "cmdOK");
    EXPECT_TRUE(grid->GroupByBoxVisible());
    EXPECT_FALSE(grid->RecordNavigator());
    EXPECT_TRUE(grid->AllowRowSizing());
    EXPECT_FALSE(grid->UseEvenOddColor());
    EXPECT_EQ(grid->GridLines(), 0);
    EXPECT_EQ(grid->RowHeight(), -1);
    EXPECT_TRUE(grid->AllowEdit());
    EXPECT_EQ(grid->BackColorGroupRows(), 0x80000005u);
}

TEST_F(FrmTableviewTest, CancelPutsBackFontsColoursLinesAndEditingButNotTheSwitches) {
    grid->SetRowHeight(450);
    grid->SetForeColorHeader(0x00102030);
    const GridFont rowFont = grid->Font();
    const GridFont headerFont = grid->ColumnHeaderFont();
    const auto colors = Colors();
    pickers.colors = {0x000000FF, 0x0000FF00, 0x00FF0000};
    pickers.fonts = {views::FontChoice{{"Courier New", 12, true, false, false, false}, 0x00800000},
                     views::FontChoice{{"Times New Roman", 9.5, false, true, true, true}, 0x00008000}};
    Format(
        [&] {
            // "Even Rows" foreground: the swatch shows it, the picker starts from it, the rows take it.
            auto* fg = Control<QComboBox>("cboFgColors");
            fg->setCurrentIndex(6);
            EXPECT_EQ(Shown(Control<QLabel>("lblForegroundColor")), grid->EvenRowsColor());
            Control<QPushButton>("cmdForegroundColors")->click();
            EXPECT_EQ(pickers.colorPresets.back(), colors[static_cast<int>(ColorArea::EvenRowsColor)]);
            EXPECT_EQ(grid->EvenRowsColor(), 0x000000FFu);
            EXPECT_EQ(CellBackground(1), QColor(255, 0, 0));
            EXPECT_EQ(Shown(Control<QLabel>("lblForegroundColor")), 0x000000FFu);
            // "Header" background.
            Control<QComboBox>("cboBgColors")->setCurrentIndex(2);
            Control<QPushButton>("cmdBackgroundColors")->click();
            EXPECT_EQ(grid->BackColorHeader(), 0x0000FF00u);
            fg->setCurrentIndex(4);  // "Grid Lines"
            Control<QPushButton>("cmdForegroundColors")->click();
            EXPECT_EQ(grid->GridLinesColor(), 0x00FF0000u);

            // Rows font: the picker starts from the grid's font and ForeColor; the grid takes the
            // new font at once, ForeColor the chosen colour, and the description follows.
            Control<QPushButton>("cmdfont_1")->click();
            EXPECT_EQ(pickers.fontPresets.back().font, rowFont);
            EXPECT_EQ(pickers.fontPresets.back().color, colors[static_cast<int>(ColorArea::ForeColor)]);
            EXPECT_EQ(grid->Font().Name(), "Courier New");
            EXPECT_EQ(grid->Table()->font().pointSizeF(), 12);
            EXPECT_EQ(grid->ForeColor(), 0x00800000u);
            EXPECT_EQ(Shown(Control<QLabel>("lblForegroundColor")), 0x00800000u);
            auto* rowsLabel = Control<QLabel>("lblcurrfont_1");
            EXPECT_EQ(rowsLabel->text(), "12 pt. Courier New");
            EXPECT_TRUE(rowsLabel->font().bold());
            EXPECT_EQ(Shown(rowsLabel, QPalette::WindowText), 0x00800000u);
            // Headings font: 9.5 points reads 10, styled as the font, coloured as the headings.
            Control<QPushButton>("cmdfont_0")->click();
            EXPECT_EQ(pickers.fontPresets.back().color, 0x00102030u);
            auto* headLabel = Control<QLabel>("lblcurrfont_0");
            EXPECT_EQ(headLabel->text(), "10 pt. Times New Roman");
            EXPECT_TRUE(headLabel->font().italic());
            EXPECT_TRUE(headLabel->font().underline());
            EXPECT_TRUE(headLabel->font().strikeOut());
            EXPECT_EQ(Shown(headLabel, QPalette::WindowText), 0x00008000u);
            EXPECT_EQ(grid->ColumnHeaderFont().Size(), 9.5);

            // "Defaults" resets the fourteen colours, and the swatches show the selected areas.
            Control<QPushButton>("cmdDefaultColors")->click();
            for (int i = 0; i < views::kColorAreaCount; ++i) {
                EXPECT_EQ(grid->Color(static_cast<ColorArea>(i)), views::kColorAreas[i].defaultColor) << i;
            }
            EXPECT_EQ(Control<QLabel>("lblForegroundColor")->palette().color(QPalette::Window), Drawn(0x80000010));
            EXPECT_EQ(Control<QLabel>("lblBackgroundColor")->palette().color(QPalette::Window), Drawn(0x80000010));
            EXPECT_EQ(grid->Font().Name(), "Courier New");  // fonts untouched

            Control<QCheckBox>("chkOddEven")->click();
            Control<QComboBox>("cboGridlines")->setCurrentIndex(1);
            Control<QCheckBox>("chkRecordNav")->click();
            Control<QCheckBox>("chkRowSizing")->click();
            Control<QCheckBox>("chkGroupBy")->click();
            Control<QPushButton>("cmdResizeRows")->click();
            grid->SetAllowEdit(true);  // in-cell editing is put back too
        },
        "cmdCancel");

    EXPECT_EQ(Colors(), colors);
    EXPECT_EQ(grid->Font(), rowFont);
    EXPECT_EQ(grid->ColumnHeaderFont(), headerFont);
    EXPECT_EQ(grid->Table()->font().pointSizeF(), 8.25);
    EXPECT_TRUE(grid->UseEvenOddColor());
    EXPECT_EQ(grid->GridLines(), -1);
    EXPECT_FALSE(grid->AllowEdit());
    // Not undone: the three switches and "Resize Rows".
    EXPECT_FALSE(grid->RecordNavigator());
    EXPECT_TRUE(grid->AllowRowSizing());
    EXPECT_TRUE(grid->GroupByBoxVisible());
    EXPECT_EQ(grid->RowHeight(), -1);
}

TEST_F(FrmTableviewTest, CancelledPickersChangeNothingAndAnEmptyListActsOnCellArea) {
    const auto colors = Colors();
    const GridFont rowFont = grid->Font();
    pickers.colors = {std::nullopt, std::nullopt, 0x00ABCDEF, 0x00123456};
    pickers.fonts = {std::nullopt};
    Format(
        [&] {
            Control<QPushButton>("cmdForegroundColors")->click();
            Control<QPushButton>("cmdBackgroundColors")->click();
            Control<QPushButton>("cmdfont_1")->click();
            EXPECT_EQ(Colors(), colors);
            EXPECT_EQ(grid->Font(), rowFont);
            EXPECT_EQ(pickers.colorPresets, (std::vector<OleColor>{grid->ForeColor(), grid->BackColor()}));

            // Nothing selected: "..." acts on "Cell Area".
            Control<QPushButton>("cmdForegroundColors")->click();
            EXPECT_EQ(grid->ForeColor(), 0x00ABCDEFu);
            EXPECT_EQ(grid->Model()->index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(0xEF, 0xCD, 0xAB));
            // An area typed over leaves no selection: back to "Cell Area".
            auto* bg = Control<QComboBox>("cboBgColors");
            bg->setCurrentIndex(1);
            QTest::keyClicks(bg->lineEdit(), "x");
            Control<QPushButton>("cmdBackgroundColors")->click();
            EXPECT_EQ(grid->BackColor(), 0x00123456u);
            EXPECT_EQ(grid->BackColorNonCellArea(), colors[static_cast<int>(ColorArea::BackColorNonCellArea)]);
        },
        "cmdOK");
    EXPECT_EQ(grid->ForeColor(), 0x00ABCDEFu);
}

TEST_F(FrmTableviewTest, GroupHeadingShadingComesFromTheCheckBoxOnOk) {
    grid->SetBackColorGroupRows(0x00FFFFFF);
    pickers.colors = {0x000000FF};
    Format([this] { EXPECT_FALSE(Control<QCheckBox>("chkgrouphead")->isChecked()); }, "cmdOK");
    EXPECT_EQ(grid->BackColorGroupRows(), 0x80000005u);

    Format(
        [this] {
            Control<QComboBox>("cboBgColors")->setCurrentIndex(5);  // "Group Rows"
            Control<QPushButton>("cmdBackgroundColors")->click();
            EXPECT_EQ(grid->BackColorGroupRows(), 0x000000FFu);
            Control<QCheckBox>("chkgrouphead")->click();
        },
        "cmdOK");
    EXPECT_EQ(grid->BackColorGroupRows(), 0x8000000Fu);
}

TEST_F(FrmTableviewTest, EnterPressesOkEscCancelsAndF1OpensTheHelp) {
    Format(
        [this] {
            QTest::keyClick(Control<QCheckBox>("chkOddEven"), Qt::Key_F1);
            Control<QCheckBox>("chkOddEven")->click();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        },
        nullptr);
    EXPECT_TRUE(grid->UseEvenOddColor());
    ASSERT_FALSE(ui.calls.empty());
    EXPECT_EQ(ui.calls.back().kind, ui::Shown::Kind::Help);
    EXPECT_EQ(ui.calls.back().text, "/app/Corvane.chm");
    EXPECT_EQ(ui.calls.back().number, 740);

    Format(
        [this] {
            Control<QCheckBox>("chkOddEven")->click();
            QTest::keyClick(&dialog, Qt::Key_Return);
        },
        nullptr);
    EXPECT_FALSE(grid->UseEvenOddColor());

    Format(
        [this] {
            Control<QComboBox>("cboGridlines")->setCurrentIndex(1);
            dialog.close();
        },
        nullptr);
    EXPECT_EQ(grid->GridLines(), -1);
}

}  // namespace
}  // namespace app_testing
