// The terminal's face of the archive workflow, for runs without a display: message boxes
// written to standard error, the delete password from a file or a prompt without echo, and
// the run's progress on standard error (a bar redrawn in place on a terminal, otherwise a
// plain line every few seconds). Ctrl+C and SIGTERM ask the run to stop.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "archive/delete_patient.h"
#include "archive/status_services.h"
#include "common/ui.h"

namespace batch {

// Message boxes are written to standard error and answered with their first button; the input
// box answers its default text. No events to process, no screen.
class ConsoleUi final : public ui::Ui {
public:
    ui::Answer MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override;
    void SetBusyCursor(bool) override {}
    void ShowHelp(const std::string&, int) override {}
    void DoEvents() override {}
    ui::ScreenSize Screen() override { return {}; }
};

// The delete password: the given text (a password file's first line), else, when standard
// input is a terminal, what is typed at a prompt without echo, else nothing. A refusal is
// written to standard error.
class ConsolePasswordPrompt final : public deletion::PasswordPrompt {
public:
    explicit ConsolePasswordPrompt(std::optional<std::string> given) : m_given(std::move(given)) {}
    std::string AskPassword() override;
    void ShowRefusal(const std::string& title, const std::string& text) override;

private:
    std::optional<std::string> m_given;
};

// The first line of a file, without its line end. Throws engine::Error when it cannot be read.
std::string ReadFirstLine(const std::string& file);

// Lets SIGINT and SIGTERM set the stop flag instead of ending the program.
void CatchStopSignals();
bool StopSignalled();

// Progress and the stop check for the run. Status texts of the balloon are not shown; the
// run's progress is.
class ConsoleStatus final : public app::StatusServices {
public:
    explicit ConsoleStatus(std::FILE* out = stderr);
    void ShowStatus(const std::string&, const std::string&, bool) override {}
    void HideStatus() override;
    bool StopRequested() override { return StopSignalled(); }
    void ShowProgress(long handled, long total) override;

    // The line drawn for a state of the run (exposed for tests).
    static std::string BarText(long handled, long total, double seconds, int width);

private:
    std::FILE* m_out;
    bool m_terminal;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDrawn;
};

}  // namespace batch
