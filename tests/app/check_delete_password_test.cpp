#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTextEdit>
#include <QTimer>

#include "app/password_dialog.h"
#include "common/recording_ui.h"
#include "engine/error.h"
#include "password_db.h"
#include "support/temp_dir.h"
#include "tips/frm_tip.h"

namespace {

using engine::Value;
using passwords_testing::Connect;
using passwords_testing::MakeDemoDb;
using passwords_testing::MakePasswordsDb;
using testing_support::TempDir;

// Answers with a fixed text (or fails) and counts how often it was asked; a refusal shows the
// window's balloon.
class TypedPassword : public deletion::DialogPasswordPrompt {
public:
    explicit TypedPassword(std::string typed, bool fail = false)
        : DialogPasswordPrompt(""), m_typed(std::move(typed)), m_fail(fail) {}
    std::string AskPassword() override {
        ++asked;
        if (m_fail) throw engine::Error(engine::err::kBadArgument, "no dialog");
        return m_typed;
    }
    int asked = 0;

private:
    std::string m_typed;
    bool m_fail;
};

std::vector<tips::frmTip*> VisibleTips() {
    std::vector<tips::frmTip*> tips;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* tip = qobject_cast<tips::frmTip*>(widget); tip && tip->isVisible()) tips.push_back(tip);
    return tips;
}

class CheckDeletePasswordTest : public ::testing::Test {
protected:
    CheckDeletePasswordTest() { ui.screen = {1920, 1080, 15.0, 15.0}; }
    ~CheckDeletePasswordTest() override {
        for (tips::frmTip* tip : VisibleTips()) delete tip;
    }

    // Runs the check on a database with one Passwords row whose DeletePwd is storedDelete.
    bool Check(const Value& storedDelete, TypedPassword& prompt) {
        MakePasswordsDb(dir.Path(), {{storedDelete, Value("5371"), Value("5371"), Value("5371")}});
        auto connection = Connect(dir.Path());
        return deletion::CheckDeletePassword(connection.get(), prompt);
    }

    ui::RecordingUi ui;
    TempDir dir;
};

TEST_F(CheckDeletePasswordTest, TheExactPasswordAllowsDeletingWithoutANotice) {
    MakeDemoDb(dir.Path(), 1, "Secret");
    auto connection = Connect(dir.Path());
    TypedPassword prompt("Secret");
    EXPECT_TRUE(deletion::CheckDeletePassword(connection.get(), prompt));
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_TRUE(VisibleTips().empty());
}

TEST_F(CheckDeletePasswordTest, TheRightPasswordInAnotherCaseIsRefusedWithTheBalloon) {
    MakeDemoDb(dir.Path(), 1, "Secret");
    auto connection = Connect(dir.Path());
    TypedPassword prompt("SECRET");
    EXPECT_FALSE(deletion::CheckDeletePassword(connection.get(), prompt));
    EXPECT_EQ(prompt.asked, 1);

    const auto tips = VisibleTips();
    ASSERT_EQ(tips.size(), 1u);
    tips::frmTip& tip = *tips.front();
    EXPECT_EQ(tip.findChild<QLabel*>("lblTitle")->text(), "Invalid Password.");
    EXPECT_EQ(tip.findChild<QTextEdit*>("txtTip")->toPlainText(),
              "Your password is invalid for deleting records.  Command aborted.");
    EXPECT_EQ(tip.findChild<QLabel*>("lblTitle")->font().family(), "MS Sans Serif");
    // 2000 twips above the bottom of a 1080-pixel screen, centred across it.
    EXPECT_EQ(tip.pos(), QPoint((1920 - tip.width()) / 2, qRound((1080 * 15 - 2000) / 15.0)));
    EXPECT_TRUE(tip.findChild<QLabel*>("imgDisplayIcon")->isVisibleTo(&tip));
    EXPECT_TRUE(tip.findChild<QLabel*>("imgX")->isVisibleTo(&tip));
    const auto* timer = tip.findChild<QTimer*>("timAutoClose");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(tip.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(CheckDeletePasswordTest, NoDeletePasswordAllowsDeletingWithoutAsking) {
    for (const Value& stored : {Value(""), Value(), Value("     ")}) {
        TempDir folder;
        MakePasswordsDb(folder.Path(), {{stored, Value("5371"), Value(), Value()}});
        auto connection = Connect(folder.Path());
        TypedPassword prompt("anything");
        EXPECT_TRUE(deletion::CheckDeletePassword(connection.get(), prompt));
        EXPECT_EQ(prompt.asked, 0);
    }
    EXPECT_TRUE(VisibleTips().empty());
}

TEST_F(CheckDeletePasswordTest, AMissingOrUnreadablePasswordsTableAllowsDeleting) {
    MakePasswordsDb(dir.Path(), {}, false);
    auto connection = Connect(dir.Path());
    TypedPassword prompt("anything");
    EXPECT_TRUE(deletion::CheckDeletePassword(connection.get(), prompt));
    EXPECT_TRUE(deletion::CheckDeletePassword(nullptr, prompt));
    EXPECT_EQ(prompt.asked, 0);
}

TEST_F(CheckDeletePasswordTest, NothingTypedIsRefused) {
    TypedPassword prompt("");
    EXPECT_FALSE(Check(Value("857169"), prompt));
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_EQ(VisibleTips().size(), 1u);
}

TEST_F(CheckDeletePasswordTest, APromptThatFailsCountsAsNothingTyped) {
    TypedPassword prompt("sec", true);
    EXPECT_FALSE(Check(Value("857169"), prompt));
    EXPECT_EQ(prompt.asked, 1);
}

}  // namespace
