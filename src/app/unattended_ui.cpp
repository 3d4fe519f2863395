#include "app/unattended_ui.h"

#include <cstdio>

namespace app {

ui::Answer UnattendedUi::MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon, const std::string& title) {
    std::fprintf(stderr, "[message] %s: %s\n", title.c_str(), text.c_str());
    switch (buttons) {
        case ui::Buttons::Ok:
        case ui::Buttons::OkCancel: return ui::Answer::Ok;
        case ui::Buttons::AbortRetryIgnore: return ui::Answer::Abort;
        case ui::Buttons::YesNoCancel:
        case ui::Buttons::YesNo: return ui::Answer::Yes;
        case ui::Buttons::RetryCancel: return ui::Answer::Retry;
    }
    return ui::Answer::Ok;
}

std::string UnattendedUi::InputBox(const std::string& prompt, const std::string& title, const std::string&) {
    std::fprintf(stderr, "[input] %s: %s (cancelled)\n", title.c_str(), prompt.c_str());
    return {};
}

void UnattendedUi::ShowHelp(const std::string& helpFile, int context) {
    std::fprintf(stderr, "[help] %s context %d\n", helpFile.c_str(), context);
}

}  // namespace app
