#include "app/frm_confirm_pwd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/password_dialog.h"
#include "common/recording_ui.h"
#include "password_db.h"
#include "support/temp_dir.h"
#include "tips/frm_tip.h"

namespace app {
namespace {

using testing_support::TempDir;

QLineEdit* Box(QWidget& dialog) { return dialog.findChild<QLineEdit*>("txtPwd"); }
QPushButton* CloseButton(QWidget& dialog) { return dialog.findChild<QPushButton*>("cmdClose"); }

frmConfirmPwd* ShownDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<frmConfirmPwd*>(widget); dialog && dialog->isVisible()) return dialog;
    return nullptr;
}

// Runs user once the modal dialog is up; a dialog nobody answers is closed after five seconds.
void WhenShown(std::function<void(frmConfirmPwd&)> user) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [user, attempt](int left) {
        if (frmConfirmPwd* dialog = ShownDialog()) {
            user(*dialog);
        } else if (left > 0) {
            QTimer::singleShot(10, [attempt, left] { (*attempt)(left - 1); });
        }
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(500); });
    QTimer::singleShot(5000, [] {
        if (frmConfirmPwd* dialog = ShownDialog()) dialog->reject();
    });
}

TEST(FrmConfirmPwd, ShowsAMaskedPasswordBoxWithLabelAndClose) {
    frmConfirmPwd dialog("/app/Corvane.chm");
    EXPECT_EQ(dialog.windowTitle(), "Confirm Password");
    EXPECT_EQ(dialog.findChild<QLabel*>("lblPwd")->text(), "Password");
    EXPECT_EQ(CloseButton(dialog)->text(), "Close");
    dialog.show();
    QTest::keyClicks(Box(dialog), "abc");
    EXPECT_EQ(Box(dialog)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Box(dialog)->displayText(), "***");
    EXPECT_EQ(dialog.Password(), "abc");
}

TEST(FrmConfirmPwd, EachShowingStartsEmptyWithHelpContextAndFocusOnTheBox) {
    frmConfirmPwd dialog("/app/Corvane.chm");
    EXPECT_EQ(dialog.HelpContextID(), 0);
    dialog.show();
    QTest::keyClicks(Box(dialog), "first");
    CloseButton(dialog)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.Password(), "first");

    dialog.show();
    EXPECT_EQ(dialog.HelpContextID(), 780);
    EXPECT_EQ(dialog.Password(), "");
    EXPECT_EQ(dialog.focusWidget(), Box(dialog));
}

TEST(FrmConfirmPwd, F1OpensHelpAtTheDialogsContext) {
    ui::RecordingUi ui;
    frmConfirmPwd dialog("/app/Corvane.chm");
    dialog.show();
    QTest::keyClick(Box(dialog), Qt::Key_F1);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].kind, ui::Shown::Kind::Help);
    EXPECT_EQ(ui.calls[0].text, "/app/Corvane.chm");
    EXPECT_EQ(ui.calls[0].number, 780);
}

TEST(FrmConfirmPwd, EnterAndEscapePressCloseKeepingWhatWasTyped) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        frmConfirmPwd dialog("/app/Corvane.chm");
        WhenShown([key](frmConfirmPwd& shown) {
            QTest::keyClicks(Box(shown), "pw");
            QTest::keyClick(Box(shown), key);
        });
        dialog.ShowModal();
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << key;
        EXPECT_EQ(dialog.Password(), "pw") << key;
    }
}

TEST(FrmConfirmPwd, ClosingTheWindowByItsFrameConfirmsNothing) {
    frmConfirmPwd dialog("/app/Corvane.chm");
    WhenShown([](frmConfirmPwd& shown) {
        QTest::keyClicks(Box(shown), "typed");
        shown.close();
    });
    dialog.ShowModal();
    EXPECT_EQ(dialog.Password(), "");
}

// The whole check with the real dialog: the user types into txtPwd and clicks Close.
class CheckWithDialog : public ::testing::Test {
protected:
    CheckWithDialog() {
        passwords_testing::MakeDemoDb(dir.Path(), 1, "Secret");
        connection = passwords_testing::Connect(dir.Path());
    }
    ~CheckWithDialog() override {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<tips::frmTip*>(widget)) delete widget;
    }
    bool TypeAndClose(const QString& typed) {
        WhenShown([typed](frmConfirmPwd& shown) {
            QTest::keyClicks(Box(shown), typed);
            QTest::mouseClick(CloseButton(shown), Qt::LeftButton);
        });
        return deletion::CheckDeletePassword(connection.get());
    }

    ui::RecordingUi ui;
    TempDir dir;
    std::unique_ptr<engine::api::Connection> connection;
};

TEST_F(CheckWithDialog, TheTypedPasswordDecides) {
    EXPECT_TRUE(TypeAndClose("Secret"));
    EXPECT_FALSE(TypeAndClose("secret"));
    EXPECT_FALSE(TypeAndClose(""));
}

}  // namespace
}  // namespace app
