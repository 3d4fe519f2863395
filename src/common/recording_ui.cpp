#include "common/recording_ui.h"

namespace ui {

Answer RecordingUi::MessageBox(const std::string& text, Buttons buttons, Icon icon, const std::string& title) {
    calls.push_back({Shown::Kind::MessageBox, text, title, icon, buttons, 0});
    if (answers.empty()) return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

std::string RecordingUi::InputBox(const std::string& prompt, const std::string& title, const std::string&) {
    calls.push_back({Shown::Kind::InputBox, prompt, title, Icon::None, Buttons::OkCancel, 0});
    if (inputs.empty()) return {};
    std::string s = inputs.front();
    inputs.pop_front();
    return s;
}

void RecordingUi::SetBusyCursor(bool b) {
    busy = b;
    calls.push_back({Shown::Kind::BusyCursor, {}, {}, Icon::None, Buttons::Ok, b ? 1 : 0});
}

void RecordingUi::ShowHelp(const std::string& helpFile, int context) {
    calls.push_back({Shown::Kind::Help, helpFile, {}, Icon::None, Buttons::Ok, context});
}

void RecordingUi::DoEvents() {
    if (recordDoEvents) calls.push_back({Shown::Kind::DoEvents, {}, {}, Icon::None, Buttons::Ok, 0});
    if (onDoEvents) onDoEvents();
}

std::vector<Shown> RecordingUi::Messages() const {
    std::vector<Shown> out;
    for (const auto& c : calls)
        if (c.kind == Shown::Kind::MessageBox) out.push_back(c);
    return out;
}

}  // namespace ui
