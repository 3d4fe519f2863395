// UnattendedUi: the user-interface seam for runs without anyone at the screen (scripts,
// smoke tests, screenshots). Every message box is answered with its first button and the
// input box with Cancel; what would have been shown is written to standard error. Screen
// size and event processing are those of Qt.
#pragma once

#include "app/qt_ui.h"

namespace app {

class UnattendedUi final : public ui::Ui {
public:
    ui::Answer MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override;
    void SetBusyCursor(bool busy) override { m_qt.SetBusyCursor(busy); }
    bool BusyCursor() override { return m_qt.BusyCursor(); }
    void ShowHelp(const std::string& helpFile, int context) override;
    void DoEvents() override { m_qt.DoEvents(); }
    ui::ScreenSize Screen() override { return m_qt.Screen(); }

private:
    QtUi m_qt;
};

}  // namespace app
