// QtUi: the user-interface seam over Qt Widgets, installed by main() for the running program.
#pragma once

#include "common/ui.h"

namespace app {

class QtUi final : public ui::Ui {
public:
    ui::Answer MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override;
    void SetBusyCursor(bool busy) override;
    bool BusyCursor() override { return m_busy; }
    void ShowHelp(const std::string& helpFile, int context) override;
    void DoEvents() override;
    ui::ScreenSize Screen() override;

private:
    bool m_busy = false;
};

}  // namespace app
