// Helpers shared by the libFuzzer targets: splitting one fuzz input into the several files a
// target writes, the in-memory file system the engine's targets run on (no disk is touched per
// input), and a scratch folder on disk (on tmpfs when there is one) for the readers that do not
// go through the engine and for making templates at start-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/dbf/memory_file_system.h"
#include "engine/error.h"

namespace fuzzing {

// Splits an input into count parts: each part but the last is a 32-bit little-endian length
// followed by that many bytes (cut short at the end of the input); the last part is the rest.
// fuzz/pack_seed.py writes seeds in this form. The parts are views of the input, not copies.
std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size, size_t count);

// The in-memory file system, put under the engine on first use for the rest of the run.
// Make whatever a target builds on disk at start-up before the first call.
engine::dbf::MemoryFileSystem& Memory();
// The folder of the in-memory file system the engine's targets keep their files in.
inline const std::filesystem::path kMemoryFolder = "/fuzz";
// Empties the in-memory file system but for an empty kMemoryFolder.
void ResetMemory();

// A folder on disk of this process kept for the whole run; Reset() empties it between inputs.
class Scratch {
public:
    explicit Scratch(std::string_view name);
    // Removes the folder when the run ends normally (a crashed run leaves it behind).
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }
    // Removes everything inside the folder.
    void Reset() const;

private:
    std::filesystem::path m_path;
};

// Runs a step when the scope it is made in ends: the engine's targets clean up at the end of
// an input, not at the start of the next, so that what an input allocates it also frees.
// libFuzzer runs an input again under the leak checker whenever the counts of its
// allocations and frees differ, and files left for the next input to free made that happen
// for many inputs.
template <class F>
class AtEnd {
public:
    explicit AtEnd(F step) : m_step(std::move(step)) {}
    ~AtEnd() { m_step(); }
    AtEnd(const AtEnd&) = delete;
    AtEnd& operator=(const AtEnd&) = delete;

private:
    F m_step;
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

// The files of a folder on disk (not below it) held in memory, to be put back into
// kMemoryFolder before every input. Files an input left as they were are not written again:
// Restore notes the identity and modification counter of what it writes, so that any later
// write or replacement shows, and only those files are written again.
class FolderImage {
public:
    FolderImage() = default;
    explicit FolderImage(const std::filesystem::path& from);
    void Add(std::string name, std::string bytes) { m_files[std::move(name)] = std::move(bytes); }
    // Makes kMemoryFolder hold exactly the image's files: removes the others, writes those
    // missing or changed since the last Restore.
    void Restore() const;

private:
    struct Written {
        uint64_t inode;
        int64_t modified;
    };
    std::map<std::string, std::string> m_files;
    mutable std::map<std::string, Written> m_written;
};

}  // namespace fuzzing
