// The one seam through which the program touches the user: message boxes, the input box,
// the mouse pointer, help, processing pending window events and the screen size.
// The running program installs a Qt implementation (app/qt_ui.h); tests install RecordingUi
// (common/recording_ui.h) and assert on exactly what was shown, without a display.
// Nothing here depends on Qt.
#pragma once

#include <string>

namespace ui {

enum class Icon { None, Critical, Question, Exclamation, Information };
enum class Buttons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class Answer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };

struct ScreenSize {
    int widthPixels = 0;
    int heightPixels = 0;
    double twipsPerPixelX = 15.0;  // 1440 / logical DPI
    double twipsPerPixelY = 15.0;
    int WidthTwips() const { return static_cast<int>(widthPixels * twipsPerPixelX); }
    int HeightTwips() const { return static_cast<int>(heightPixels * twipsPerPixelY); }
};

class Ui {
public:
    virtual ~Ui() = default;
    // A modal message box; waits for the user and returns the button pressed.
    virtual Answer MessageBox(const std::string& text, Buttons buttons, Icon icon, const std::string& title) = 0;
    // A modal input box; returns what was typed, or an empty text when cancelled.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText = {}) = 0;
    // The hourglass pointer (true) or the default pointer (false), for the whole program.
    virtual void SetBusyCursor(bool busy) = 0;
    // Whether the hourglass is showing, so that a step can put the pointer back as it found it.
    virtual bool BusyCursor() { return false; }
    // Opens the help file at a help context.
    virtual void ShowHelp(const std::string& helpFile, int context) = 0;
    // Processes pending window events once (repaints, and lets a Stop button be heard).
    virtual void DoEvents() = 0;
    virtual ScreenSize Screen() = 0;
};

// The implementation in force. Until one is installed, a silent one that answers Ok / empty.
Ui& Current();
// Installs an implementation (not owned; it must outlive its use). nullptr restores the silent one.
void Install(Ui* implementation);

// A message box with the OK button, the usual case.
inline Answer MsgBox(const std::string& text, Icon icon, const std::string& title) {
    return Current().MessageBox(text, Buttons::Ok, icon, title);
}

}  // namespace ui
