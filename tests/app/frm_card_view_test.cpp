// "Format Card View" driven offscreen on the patient grid, shown as cards, over a generated
// database.
#include "views/frm_card_view.h"

#include <QListView>
#include <QTest>

#include "format_grid_fixture.h"
#include "views/record_navigator.h"

namespace app_testing {
namespace {

using views::ColorArea;
using views::GridFont;
using views::OleColor;

class FrmCardViewTest : public FormatGridTest {
protected:
    void SetUp() override {
        FormatGridTest::SetUp();
        grid->SetView(1);
        dialog.SetPickers(&pickers);
    }
    template <typename T>
    T* Control(const char* name) {
        return Find<T>(dialog, name);
    }
    void Format(std::function<void()> user, const char* closeWith) {
        WhenShown(dialog, [this, user, closeWith] {
            user();
            if (closeWith) Control<QPushButton>(closeWith)->click();
        });
        dialog.FormatGrid(*grid);
        EXPECT_FALSE(dialog.isVisible());
    }

    views::frmCardView dialog{nullptr, "/app/Corvane.chm"};
};

TEST_F(FrmCardViewTest, ShowsTheCardWidthInPixelsAndOkStoresTwips) {
    grid->SetAllowEdit(true);
    grid->SetCardWidth(3000);
    pickers.fonts = {views::FontChoice{{"Courier New", 10, true}, 0x00000080}};
    Format(
        [this] {
            EXPECT_EQ(dialog.windowTitle(), "Format Card View");
            EXPECT_EQ(dialog.HelpContextID(), 740);
            EXPECT_EQ(Control<QLineEdit>("txtCardWidth")->text(), "200");
            EXPECT_TRUE(Control<QCheckBox>("chkAllowed")->isVisible());
            EXPECT_TRUE(Control<QCheckBox>("chkAllowed")->isChecked());
            EXPECT_TRUE(Control<QCheckBox>("chkRecordNav")->isChecked());
            EXPECT_EQ(Control<QComboBox>("cboFgColors")->count(), 4);
            EXPECT_EQ(Control<QComboBox>("cboBgColors")->count(), 4);
            EXPECT_EQ(Control<QComboBox>("cboBgColors")->currentText(), "Cell Area");
            EXPECT_EQ(Control<QLabel>("lblcurrfont_1")->text(), "8 pt. Tahoma");

            Control<QCheckBox>("chkAllowed")->click();
            EXPECT_TRUE(grid->AllowEdit());  // only OK applies it
            Control<QPushButton>("cmdfont_1")->click();
            EXPECT_EQ(grid->Font().Name(), "Courier New");
            EXPECT_EQ(grid->ForeColor(), 0x00000080u);
            QLineEdit* width = Control<QLineEdit>("txtCardWidth");
            width->clear();
            QTest::keyClicks(width, "201");
            EXPECT_EQ(grid->CardWidth(), 3000);
        },
        "cmdOK");
    EXPECT_EQ(grid->CardWidth(), 3015);
    EXPECT_FALSE(grid->AllowEdit());
    EXPECT_EQ(grid->Font().Name(), "Courier New");
    EXPECT_EQ(grid->Cards()->sizeHintForIndex(grid->Model()->index(0, 0)).width(), 201 + 8);

    grid->SetCardWidth(2990);
    Format([this] { EXPECT_EQ(Control<QLineEdit>("txtCardWidth")->text(), "199.3333"); }, "cmdOK");
    EXPECT_EQ(grid->CardWidth(), 2990);
}

TEST_F(FrmCardViewTest, LettersKeepTheOldWidthButOkStillAppliesFontsAndEditing) {
    pickers.fonts = {views::FontChoice{{"Courier New", 11}, 0}};
    Format(
        [this] {
            Control<QLineEdit>("txtCardWidth")->setText("wide");
            Control<QCheckBox>("chkAllowed")->click();
            Control<QPushButton>("cmdfont_0")->click();
        },
        "cmdOK");
    EXPECT_EQ(grid->CardWidth(), 3000);
    EXPECT_TRUE(grid->AllowEdit());
    EXPECT_EQ(grid->ColumnHeaderFont().Size(), 11);

    Format([this] { Control<QLineEdit>("txtCardWidth")->clear(); }, "cmdOK");
    EXPECT_EQ(grid->CardWidth(), 3000);
}

TEST_F(FrmCardViewTest, CancelPutsBackFontsTheEightColoursAndEditingButNotTheNavigatorOrWidth) {
    std::array<OleColor, views::kColorAreaCount> before{};
    for (int i = 0; i < views::kColorAreaCount; ++i) before[i] = grid->Color(static_cast<ColorArea>(i));
    const GridFont bodyFont = grid->Font();
    pickers.colors = {0x00FF00FF, 0x0000FFFF, 0x00FFFF00, 0x00808080};
    pickers.fonts = {views::FontChoice{{"Courier New", 14}, 0x00FF0000}};
    Format(
        [&] {
            auto* bg = Control<QComboBox>("cboBgColors");
            bg->setCurrentIndex(2);  // "Header" is the group-by box colour: the card headings
            Control<QPushButton>("cmdBackgroundColors")->click();
            EXPECT_EQ(grid->BackColorGroupBy(), 0x00FF00FFu);
            EXPECT_EQ(grid->BackColorHeader(), before[static_cast<int>(ColorArea::BackColorHeader)]);
            bg->setCurrentIndex(3);
            Control<QPushButton>("cmdBackgroundColors")->click();
            EXPECT_EQ(grid->BackColorInfoText(), 0x0000FFFFu);
            auto* fg = Control<QComboBox>("cboFgColors");
            fg->setCurrentIndex(3);
            Control<QPushButton>("cmdForegroundColors")->click();
            EXPECT_EQ(grid->MaskColor(), 0x00FFFF00u);
            fg->setCurrentIndex(2);
            Control<QPushButton>("cmdForegroundColors")->click();
            EXPECT_EQ(grid->ForeColorInfoText(), 0x00808080u);
            Control<QPushButton>("cmdfont_1")->click();
            EXPECT_EQ(grid->Font().Size(), 14);

            Control<QPushButton>("cmdDefaultColors")->click();
            for (ColorArea area : {ColorArea::BackColor, ColorArea::BackColorNonCellArea, ColorArea::BackColorGroupBy,
                                   ColorArea::BackColorInfoText, ColorArea::ForeColor, ColorArea::ForeColorHeader,
                                   ColorArea::ForeColorInfoText, ColorArea::MaskColor}) {
                EXPECT_EQ(grid->Color(area), views::kColorAreas[static_cast<int>(area)].defaultColor);
            }
            Control<QCheckBox>("chkRecordNav")->click();
            EXPECT_FALSE(grid->RecordNavigator());
            EXPECT_FALSE(grid->Navigator()->isVisibleTo(grid.get()));
            Control<QCheckBox>("chkAllowed")->click();
            Control<QLineEdit>("txtCardWidth")->setText("300");
        },
        "cmdCancel");
    for (int i = 0; i < views::kColorAreaCount; ++i) EXPECT_EQ(grid->Color(static_cast<ColorArea>(i)), before[i]) << i;
    EXPECT_EQ(grid->Font(), bodyFont);
    EXPECT_FALSE(grid->AllowEdit());
    EXPECT_FALSE(grid->RecordNavigator());
    EXPECT_EQ(grid->CardWidth(), 3000);
}

TEST_F(FrmCardViewTest, EnterAndEscPressNothing) {
    Format(
        [this] {
            QTest::keyClick(Control<QLineEdit>("txtCardWidth"), Qt::Key_Escape);
            QTest::keyClick(Control<QLineEdit>("txtCardWidth"), Qt::Key_Return);
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QTest::keyClick(&dialog, Qt::Key_Enter);
            EXPECT_TRUE(dialog.isVisible());
            QTest::keyClick(&dialog, Qt::Key_F1);
            EXPECT_EQ(ui.calls.back().number, 740);
        },
        "cmdCancel");
}

}  // namespace
}  // namespace app_testing
