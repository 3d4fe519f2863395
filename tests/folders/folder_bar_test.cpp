#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "folders/folder_bar.h"
#include "folders/folder_bar_loading.h"

namespace folders {
namespace {

TEST(FolderBarModel, InsertingMakesTheNewItemCurrentAndRenumbers) {
    FolderBarModel bar;
    int changes = 0;
    bar.SetOnChanged([&] { ++changes; });
    bar.Add("Corvane", "Corvane", "Corvane", 0, 901);
    bar.Add("Patients", "Patients", "Patients", 1, 901);
    ASSERT_TRUE(bar.MarkSelected("Patients"));
    EXPECT_EQ(bar.Insert(1, "Top", "Top", "", 901), 1);
    EXPECT_EQ(bar.Current()->Key, "Top");
    EXPECT_EQ(bar.Selected()->Key, "Patients");
    EXPECT_EQ(bar.SelectedPosition(), 3);
    EXPECT_EQ(bar.Item(2).Position, 2);
    EXPECT_EQ(bar.Item(3).Position, 3);
    EXPECT_EQ(bar.Insert(99, "End", "End", "", 901), 4);  // beyond the end appends
    EXPECT_EQ(bar.Find("End"), 4);
    EXPECT_EQ(bar.Find("Missing"), 0);
    EXPECT_FALSE(bar.MarkSelected("Missing"));
    EXPECT_THROW(bar.Item(0), std::out_of_range);
    EXPECT_THROW(bar.SetIndent(5, 2), std::out_of_range);
    EXPECT_EQ(changes, 5);
    bar.Clear();
    EXPECT_EQ(bar.Current(), nullptr);
    EXPECT_EQ(bar.Selected(), nullptr);
}

class FolderBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar.resize(240, 300);
        FolderBarModel& model = bar.Model();
        model.Add("Corvane", "Corvane", "Corvane", 0, kFolderItemStyle);
        model.Add("Patients", "Patients", "Patients", 1, kFolderItemStyle);
        model.Insert(3, "Active Patients", "Active Patients", "", kFolderItemStyle);
        model.SetIndent(3, 2);
        bar.show();
    }

    void ClickRow(int row) {
        QListWidget* list = bar.List();
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    }

    FolderBar bar;
};

TEST_F(FolderBarTest, ShowsTheCaptionAndTheModelItems) {
    EXPECT_EQ(bar.Caption(), "Folder List");
    QListWidget* list = bar.List();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(2)->text(), "Active Patients");
    EXPECT_EQ(list->currentRow(), 2);  // the item inserted last is current
    // Sub-folders are drawn further right than folders.
    EXPECT_GT(list->sizeHintForIndex(list->model()->index(2, 0)).width(),
              list->sizeHintForIndex(list->model()->index(1, 0)).width());
    bar.Model().Insert(3, "Birthdays", "Birthdays", "", kFolderItemStyle);
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(2)->text(), "Birthdays");
    EXPECT_EQ(list->currentRow(), 2);
}

TEST_F(FolderBarTest, AClickEmitsItemClickWithTheItemAndSelectsIt) {
    QSignalSpy spy(&bar, &FolderBar::ItemClick);
    ClickRow(2);
    ASSERT_EQ(spy.count(), 1);
    const auto item = spy.at(0).at(0).value<FolderBarItem>();
    EXPECT_EQ(item.Key, "Active Patients");
    EXPECT_EQ(item.Indent, 2);
    EXPECT_EQ(item.Position, 3);
    EXPECT_EQ(bar.Model().SelectedPosition(), 3);
    EXPECT_TRUE(bar.List()->item(2)->isSelected());

    ClickRow(0);  // the heading is passed on as well; the window decides it opens nothing
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).value<FolderBarItem>().Indent, 0);
}

TEST_F(FolderBarTest, SelectingByKeyAndEnterOpenTheItem) {
    QSignalSpy spy(&bar, &FolderBar::ItemClick);
    EXPECT_TRUE(bar.SelectItem("Patients"));
    EXPECT_FALSE(bar.SelectItem("Missing"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<FolderBarItem>().Key, "Patients");
    EXPECT_TRUE(bar.List()->item(1)->isSelected());

    bar.List()->setFocus();
    bar.List()->setCurrentRow(2);
    EXPECT_EQ(bar.Model().CurrentPosition(), 3);
    EXPECT_EQ(bar.Model().SelectedPosition(), 2);  // moving does not open
    QTest::keyClick(bar.List(), Qt::Key_Return);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).value<FolderBarItem>().Key, "Active Patients");
}

}  // namespace
}  // namespace folders
