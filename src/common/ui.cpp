#include "common/ui.h"

namespace ui {
namespace {

class SilentUi final : public Ui {
public:
    Answer MessageBox(const std::string&, Buttons, Icon, const std::string&) override { return Answer::Ok; }
    std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
    void SetBusyCursor(bool) override {}
    void ShowHelp(const std::string&, int) override {}
    void DoEvents() override {}
    ScreenSize Screen() override { return {1024, 768, 15.0, 15.0}; }
};

SilentUi g_silent;
Ui* g_current = &g_silent;

}  // namespace

Ui& Current() { return *g_current; }
void Install(Ui* implementation) { g_current = implementation ? implementation : &g_silent; }

}  // namespace ui
