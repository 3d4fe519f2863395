// The help book and its window: every help context the program sets opens its own page, F1
// reaches the window through the Qt user-interface seam, and every link of the book leads to
// a page that exists.
#include "app/help_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <set>

#include "app/frm_confirm_pwd.h"
#include "app/help_book.h"
#include "app/qt_ui.h"
#include "support/temp_dir.h"

namespace help {
namespace {

// Installs the Qt seam for the test and closes the help window afterwards.
class HelpTest : public ::testing::Test {
protected:
    void SetUp() override { ui::Install(&m_qtUi); }
    void TearDown() override {
        delete Current();
        ui::Install(nullptr);
    }

private:
    app::QtUi m_qtUi;
};

TEST_F(HelpTest, EveryHelpContextOpensItsOwnTopic) {
    ASSERT_FALSE(BookFolder().isEmpty());
    const std::map<int, QString> expected = {
        {1910, "main_window.html"}, {780, "password.html"}, {770, "find.html"},
        {740, "format_view.html"},  {730, "group_by.html"}, {720, "sort.html"},
        {710, "fields.html"},       {750, "summary.html"},  {1920, "restoring.html"},
    };
    std::set<QString> pages;
    for (int context : KnownContexts()) {
        ASSERT_TRUE(expected.count(context)) << context;
        // A help file that is not there: the book opens, not a viewer or a message.
        ui::Current().ShowHelp("/nowhere/Corvane.chm", context);
        frmHelp* window = Current();
        ASSERT_NE(window, nullptr) << context;
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->CurrentTopic(), expected.at(context)) << context;
        EXPECT_FALSE(window->findChild<QTextBrowser*>("txtPage")->toPlainText().isEmpty()) << context;
        pages.insert(window->CurrentTopic());
    }
    EXPECT_EQ(pages.size(), expected.size());
    EXPECT_EQ(TopicFile(12345), "index.html");
}

TEST_F(HelpTest, F1InTheMainWindowsDialogReachesTheBookAtItsTopic) {
    app::frmConfirmPwd dialog("Corvane.chm");
    dialog.show();
    QTest::keyClick(dialog.findChild<QLineEdit*>("txtPwd"), Qt::Key_F1);
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Current()->CurrentTopic(), "password.html");
}

TEST_F(HelpTest, HelpAskedForInsideAModalDialogOpensAWindowThatDialogLetsThrough) {
    QDialog modal;
    QWidget* parentSeen = reinterpret_cast<QWidget*>(1);
    QTimer::singleShot(0, [&] {
        ui::Current().ShowHelp("", 730);
        parentSeen = Current() ? Current()->parentWidget() : nullptr;
        modal.reject();
    });
    modal.exec();
    EXPECT_EQ(parentSeen, &modal);
    // The window went with its dialog; the next F1 makes a new one.
    ui::Current().ShowHelp("", 1910);
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Current()->parentWidget(), nullptr);
    EXPECT_EQ(Current()->CurrentTopic(), "main_window.html");
}

TEST_F(HelpTest, BackForwardContentsAndSearch) {
    frmHelp* window = Open(720);
    ASSERT_NE(window, nullptr);
    window->ShowTopic("group_by.html");
    QTest::mouseClick(window->findChild<QPushButton*>("cmdBack"), Qt::LeftButton);
    EXPECT_EQ(window->CurrentTopic(), "sort.html");
    QTest::mouseClick(window->findChild<QPushButton*>("cmdForward"), Qt::LeftButton);
    EXPECT_EQ(window->CurrentTopic(), "group_by.html");
    QTest::mouseClick(window->findChild<QPushButton*>("cmdContents"), Qt::LeftButton);
    EXPECT_EQ(window->CurrentTopic(), "index.html");

    auto* list = window->findChild<QListWidget*>("lstTopics");
    EXPECT_EQ(list->count(), static_cast<int>(Contents().size()));
    QTest::keyClicks(window->findChild<QLineEdit*>("txtSearch"), "password restore");
    ASSERT_GE(list->count(), 1);
    EXPECT_LT(list->count(), static_cast<int>(Contents().size()));
    bool restoring = false;
    for (int i = 0; i < list->count(); ++i) restoring |= list->item(i)->data(Qt::UserRole) == "restoring.html";
    EXPECT_TRUE(restoring);
    QTest::keyClicks(window->findChild<QLineEdit*>("txtSearch"), "xyzzy");
    EXPECT_EQ(list->count(), 0);
}

TEST(HelpBook, EveryPageIsInTheContentsAndEveryLinkResolves) {
    const QString folder = BookFolder();
    ASSERT_FALSE(folder.isEmpty());
    std::set<QString> listed;
    for (const Topic& topic : Contents()) {
        EXPECT_TRUE(QFile::exists(folder + "/" + topic.file)) << topic.file.toStdString();
        listed.insert(topic.file);
    }
    for (int context : KnownContexts()) EXPECT_TRUE(listed.count(TopicFile(context))) << context;
    const QRegularExpression href("href=\"([^\"#]*)(#[^\"]*)?\"");
    int links = 0;
    for (const QString& page : QDir(folder).entryList({"*.html"}, QDir::Files)) {
        EXPECT_TRUE(listed.count(page)) << page.toStdString() << " is not in the contents";
        QFile file(folder + "/" + page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = href.globalMatch(text); match.hasNext();) {
            const QString target = match.next().captured(1);
            if (target.isEmpty() || target.contains(':')) continue;
            ++links;
            EXPECT_TRUE(QFile::exists(folder + "/" + target)) << page.toStdString() << " -> " << target.toStdString();
        }
    }
    EXPECT_GT(links, 40);
}

TEST(HelpBook, AHelpFolderInTheApplicationFolderComesFirst) {
    testing_support::TempDir app;
    std::filesystem::create_directories(app / "help");
    testing_support::WriteFile(app / "help" / "index.html", "<html><body>practice's own</body></html>");
    EXPECT_EQ(BookFolder(QString::fromStdString(app.Str())), QString::fromStdString((app / "help").string()));
    // Without one the book beside the program (or in the source tree) is used.
    EXPECT_NE(BookFolder(QString::fromStdString((app / "nowhere").string())), QString());
}

}  // namespace
}  // namespace help
