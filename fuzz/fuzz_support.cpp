#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

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

namespace {

// 2001-01-01 00:00:00 UTC: what Restore leaves on every file it writes.
constexpr timespec kStamp{978307200, 0};

bool Stamped(const struct stat& st, size_t size) {
    return S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) == size && st.st_mtim.tv_sec == kStamp.tv_sec &&
           st.st_mtim.tv_nsec == kStamp.tv_nsec;
}

}  // namespace

FolderImage::FolderImage(const std::filesystem::path& from) {
    for (const auto& entry : std::filesystem::directory_iterator(from))
        if (entry.is_regular_file()) Add(entry.path().filename().string(), ReadBytes(entry.path()));
}

void FolderImage::Restore(const std::filesystem::path& folder) const {
    std::map<std::string, bool> current;  // name -> still as Restore left it
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const auto file = m_files.find(name);
        struct stat st {};
        if (file == m_files.end() || ::lstat(entry.path().c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
            std::filesystem::remove_all(entry.path());
            continue;
        }
        current[name] = Stamped(st, file->second.size());
    }
    for (const auto& [name, bytes] : m_files) {
        const auto found = current.find(name);
        if (found != current.end() && found->second) continue;
        const std::filesystem::path path = folder / name;
        WriteBytes(path, bytes);
        const timespec times[2] = {kStamp, kStamp};
        if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
            throw std::runtime_error("cannot set the time of " + path.string());
    }
}

}  // namespace fuzzing
