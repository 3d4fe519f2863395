// RecordingUi: the user-interface seam for tests. It records every call in order, answers
// message boxes and input boxes from queues the test fills (Ok / empty text when a queue is
// empty), and can run a callback on DoEvents (to press a Stop button mid-run, for example).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/ui.h"

namespace ui {

struct Shown {
    enum class Kind { MessageBox, InputBox, BusyCursor, Help, DoEvents };
    Kind kind;
    std::string text;   // message text, input prompt, help file
    std::string title;  // message or input title
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    int number = 0;  // help context, or 1/0 for the busy cursor on/off
};

class RecordingUi final : public Ui {
public:
    RecordingUi() { Install(this); }
    ~RecordingUi() override { Install(nullptr); }
    RecordingUi(const RecordingUi&) = delete;
    RecordingUi& operator=(const RecordingUi&) = delete;

    Answer MessageBox(const std::string& text, Buttons buttons, Icon icon, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override;
    void SetBusyCursor(bool busy) override;
    bool BusyCursor() override { return busy; }
    void ShowHelp(const std::string& helpFile, int context) override;
    void DoEvents() override;
    ScreenSize Screen() override { return screen; }

    // Only the message boxes shown, in order.
    std::vector<Shown> Messages() const;

    std::vector<Shown> calls;
    std::deque<Answer> answers;        // for MessageBox
    std::deque<std::string> inputs;    // for InputBox
    std::function<void()> onDoEvents;  // runs inside DoEvents
    bool busy = false;
    ScreenSize screen{1920, 1080, 15.0, 15.0};
    bool recordDoEvents = false;  // DoEvents calls are many; record them only when asked
};

}  // namespace ui
