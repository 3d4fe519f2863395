#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

// The address sanitizer's defaults for every target (ASAN_OPTIONS still overrides them): a
// quarantine of freed memory of 64 MB instead of 256 MB. Every input frees what it made; with
// the larger quarantine each one ran on memory the kernel had to map afresh, which took half
// the time of the run. Memory is still kept from reuse long after any one input frees it.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64"; }

// libFuzzer's defaults for every target, added to the command line unless it names them: a
// feature (an edge reached so many times) counts as rare to the entropic schedule, which
// favours inputs that reach rare features, while fewer than 32 inputs reached it instead of
// 255. libFuzzer looks up every feature of every input in its list of rare ones; with 255 that
// list held thousands of features for the first hundreds of thousands of inputs, and the
// look-ups took a fifth to a quarter of the time of a run.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static const char* const kDefaults[] = {"-entropic_feature_frequency_threshold=32"};
    static std::vector<char*> args;
    args.assign(*argv, *argv + *argc);
    for (const char* flag : kDefaults) {
        const std::string_view name(flag, std::string_view(flag).find('=') + 1);
        const bool given = std::any_of(args.begin(), args.end(),
                                       [&](const char* arg) { return std::string_view(arg).starts_with(name); });
        if (!given) args.push_back(const_cast<char*>(flag));
    }
    *argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    *argv = args.data();
    return 0;
}

namespace fuzzing {

std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string_view> parts;
    parts.reserve(count);
    size_t at = 0;
    for (size_t i = 0; i + 1 < count; ++i) {
        uint32_t length = 0;
        for (int b = 0; b < 4 && at < size; ++b, ++at) length |= uint32_t{data[at]} << (8 * b);
        const size_t take = std::min<size_t>(length, size - at);
        parts.emplace_back(reinterpret_cast<const char*>(data + at), take);
        at += take;
    }
    parts.emplace_back(reinterpret_cast<const char*>(data + at), size - at);
    return parts;
}

Scratch::Scratch(std::string_view name) {
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    m_path = base / ("archive-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

Scratch::~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void Scratch::Reset() const {
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) std::filesystem::remove_all(entry.path());
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

engine::dbf::MemoryFileSystem& Memory() {
    static engine::dbf::MemoryFileSystem memory;
    static const engine::dbf::ScopedFileSystem installed(memory);
    return memory;
}

void ResetMemory() {
    Memory().RemoveAll();
    Memory().MakeFolder(kMemoryFolder, 0755);
}

FolderImage::FolderImage(const std::filesystem::path& from) {
    for (const auto& entry : std::filesystem::directory_iterator(from))
        if (entry.is_regular_file()) Add(entry.path().filename().string(), ReadBytes(entry.path()));
}

void FolderImage::Restore() const {
    engine::dbf::MemoryFileSystem& memory = Memory();
    struct stat st {};
    if (memory.Stat(kMemoryFolder, &st) != 0) memory.MakeFolder(kMemoryFolder, 0755);
    std::vector<std::string> names;
    memory.ListFolder(kMemoryFolder, &names);
    for (const std::string& name : names) {
        if (m_files.count(name)) continue;
        if (memory.Unlink(kMemoryFolder / name) != 0) {  // a folder an input made: start afresh
            memory.RemoveAll();
            memory.MakeFolder(kMemoryFolder, 0755);
            m_written.clear();
            break;
        }
    }
    for (const auto& [name, bytes] : m_files) {
        const std::filesystem::path path = kMemoryFolder / name;
        const auto written = m_written.find(name);
        if (written != m_written.end() && memory.Stat(path, &st) == 0 && st.st_ino == written->second.inode &&
            st.st_mtim.tv_sec == written->second.modified && static_cast<size_t>(st.st_size) == bytes.size())
            continue;
        memory.WriteFile(path, bytes);
        memory.Stat(path, &st);
        m_written[name] = {static_cast<uint64_t>(st.st_ino), static_cast<int64_t>(st.st_mtim.tv_sec)};
    }
}

}  // namespace fuzzing
