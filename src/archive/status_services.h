// StatusServices: what long operations of the archive workflow (creating the archive, the
// reference merge, the archive run) need of their face: the status balloon and the stop
// check. frmArchive provides them, the command line shows progress on the terminal; tests
// give a recording fake, so the workflow modules run without a window.
#pragma once

#include <string>

namespace app {

class StatusServices {
public:
    virtual ~StatusServices() = default;
    // Shows title and text in the status balloon; bringToFront raises it above other windows.
    // Processes pending window events once.
    virtual void ShowStatus(const std::string& title, const std::string& text, bool bringToFront) = 0;
    virtual void HideStatus() = 0;
    // Processes pending window events once, then answers whether the user asked to stop.
    virtual bool StopRequested() = 0;
    // The archive run's progress after each patient: handled of total patients (archived or
    // skipped). The window shows it in the balloon already and ignores this.
    virtual void ShowProgress(long handled, long total) {}
};

}  // namespace app
