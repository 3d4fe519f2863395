// Driving modal dialogs from a test: WhenShown<Dialog>(user) runs user on the first visible
// dialog of that type once its exec() has shown it (it is polled for), and closes a dialog
// that nobody answered after five seconds so that a failing test ends instead of hanging.
// For Qt test suites only.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

namespace testing_support {

template <typename Dialog>
Dialog* ShownDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible()) return dialog;
    }
    return nullptr;
}

template <typename Dialog>
void WhenShown(std::function<void(Dialog&)> user) {
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [user, attempt](int left) {
        if (Dialog* dialog = ShownDialog<Dialog>()) {
            user(*dialog);
        } else if (left > 0) {
            QTimer::singleShot(10, [attempt, left] { (*attempt)(left - 1); });
        }
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(500); });
    QTimer::singleShot(5000, [] {
        if (Dialog* dialog = ShownDialog<Dialog>()) dialog->reject();
    });
}

}  // namespace testing_support
