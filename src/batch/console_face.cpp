#include "batch/console_face.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>

#include "engine/error.h"

namespace batch {
namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) { g_stop = 1; }

// Windows line ends of the system's messages become the terminal's.
std::string Lines(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

std::string Duration(double seconds) {
    const long whole = std::lround(seconds);
    char text[32];
    if (whole >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

constexpr auto kTerminalRedraw = std::chrono::milliseconds(100);
constexpr auto kPlainLineEvery = std::chrono::seconds(5);
constexpr int kBarWidth = 30;

}  // namespace

ui::Answer ConsoleUi::MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon, const std::string& title) {
    std::cerr << Lines(title.empty() ? text : title + ": " + text) << std::endl;
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

std::string ConsoleUi::InputBox(const std::string&, const std::string&, const std::string& defaultText) {
    return defaultText;
}

std::string ConsolePasswordPrompt::AskPassword() {
    if (m_given) return *m_given;
    if (!::isatty(STDIN_FILENO)) return {};
    std::cerr << "Delete password: " << std::flush;
    termios saved{};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string typed;
    std::getline(std::cin, typed);
    if (quiet) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << std::endl;
    if (!typed.empty() && typed.back() == '\r') typed.pop_back();
    return typed;
}

void ConsolePasswordPrompt::ShowRefusal(const std::string& title, const std::string& text) {
    std::cerr << title << " " << text << std::endl;
}

std::string ReadFirstLine(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw engine::Error(engine::err::kFileAccess, "Cannot read " + file + ": " + std::strerror(errno));
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool StopSignalled() { return g_stop != 0; }

ConsoleStatus::ConsoleStatus(std::FILE* out)
    : m_out(out), m_terminal(::isatty(::fileno(out)) != 0), m_start(std::chrono::steady_clock::now()) {
    m_lastDrawn = m_start;
}

std::string ConsoleStatus::BarText(long handled, long total, double seconds, int width) {
    const double share = total > 0 ? static_cast<double>(handled) / static_cast<double>(total) : 1.0;
    const int filled = static_cast<int>(share * width);
    const double rate = seconds > 0 ? handled / seconds : 0;
    std::string text = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(width - filled), '.') + "] " + std::to_string(handled) + "/" +
                       std::to_string(total);
    char figures[96];
    if (rate > 0)
        std::snprintf(figures, sizeof figures, "  %.1f patients/s  %s left", rate,
                      Duration(static_cast<double>(total - handled) / rate).c_str());
    else std::snprintf(figures, sizeof figures, "  -- patients/s");
    return text + figures;
}

void ConsoleStatus::ShowProgress(long handled, long total) {
    const auto now = std::chrono::steady_clock::now();
    const bool last = handled >= total;
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    if (m_terminal) {
        if (!last && m_drawn && now - m_lastDrawn < kTerminalRedraw) return;
        std::fprintf(m_out, "\r%s\033[K", BarText(handled, total, seconds, kBarWidth).c_str());
    } else {
        if (!last && m_drawn && now - m_lastDrawn < kPlainLineEvery) return;
        const double rate = seconds > 0 ? handled / seconds : 0;
        std::fprintf(m_out, "%ld of %ld patients done, %.1f patients/s\n", handled, total, rate);
    }
    std::fflush(m_out);
    m_drawn = true;
    m_lastDrawn = now;
}

void ConsoleStatus::HideStatus() {
    // The bar's line is ended so that what follows starts on a line of its own.
    if (m_terminal && m_drawn) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_drawn = false;
    }
}

}  // namespace batch
