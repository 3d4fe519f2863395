#include "warning.h"

#include <iostream>
#include <mutex>
#include <set>

namespace engine {
namespace {

struct Warnings {
    std::mutex mutex;
    WarningHandler handler;
    std::set<std::string> given;
};

Warnings& State() {
    static Warnings state;
    return state;
}

}  // namespace

void SetWarningHandler(WarningHandler handler) {
    Warnings& w = State();
    std::lock_guard lock(w.mutex);
    w.handler = std::move(handler);
}

void WarnOnce(const std::string& text) {
    Warnings& w = State();
    WarningHandler handler;
    {
        std::lock_guard lock(w.mutex);
        if (!w.given.insert(text).second) return;
        handler = w.handler;
    }
    if (handler) handler(text);
    else std::cerr << "Warning: " << text << std::endl;
}

}  // namespace engine
