// Warnings the engine gives without failing an operation (a table whose code-page mark it
// does not know, read as the default code page). They go to the handler the program sets
// (foxsql leaves the default, standard error; the application sends them to its log). Each
// distinct text is given once per process. Thread-safe.
#pragma once

#include <functional>
#include <string>

namespace engine {

using WarningHandler = std::function<void(const std::string& text)>;

// Replaces the handler; an empty one restores the default (a line on standard error).
void SetWarningHandler(WarningHandler handler);
// Gives text to the handler unless the same text was given before.
void WarnOnce(const std::string& text);

}  // namespace engine
