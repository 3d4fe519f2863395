#include "fuzz_support.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

namespace fuzzing {

std::vector<std::string> SplitParts(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> parts;
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
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                                                 : std::filesystem::temp_directory_path();
    m_path = base / ("archive-fuzz-" + std::string(name) + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
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

void CopyFolder(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (const auto& entry : std::filesystem::directory_iterator(from))
        if (entry.is_regular_file()) std::filesystem::copy_file(entry.path(), to / entry.path().filename());
}

}  // namespace fuzzing
