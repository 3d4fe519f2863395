// Helpers shared by the libFuzzer targets: splitting one fuzz input into the several files a
// target writes, and a scratch folder (on tmpfs when there is one) that each run starts empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error.h"

namespace fuzzing {

// Splits an input into count parts: each part but the last is a 32-bit little-endian length
// followed by that many bytes (cut short at the end of the input); the last part is the rest.
// fuzz/pack_seed.py writes seeds in this form.
std::vector<std::string> SplitParts(const uint8_t* data, size_t size, size_t count);

// A folder of this process kept for the whole run; Reset() empties it between inputs.
class Scratch {
public:
    explicit Scratch(std::string_view name);
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }
    // Removes everything inside the folder.
    void Reset() const;

private:
    std::filesystem::path m_path;
};

// Runs one step of a target; an engine::Error is a fine answer to a damaged input.
template <class F>
void Try(F&& step) {
    try {
        step();
    } catch (const engine::Error&) {
    }
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& file);
// Copies every file of one folder (not below it) into another.
void CopyFolder(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace fuzzing
