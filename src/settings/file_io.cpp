#include "settings/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/error.h"

namespace settings {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowAccess(const std::string& what, const std::string& file, int error) {
    throw engine::Error(engine::err::kFileAccess, what + " " + file + ": " + std::strerror(error));
}

// The file a write should replace: the target of a link, so the link itself survives.
std::string ResolveLinks(const std::string& file) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        const fs::path resolved = fs::weakly_canonical(file, ec);
        if (!ec) return resolved.string();
    }
    return file;
}

std::string RandomSuffix() {
    static std::mt19937_64 generator{std::random_device{}()};
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(generator()));
    return buf;
}

void WriteAll(int fd, const std::string& bytes, const std::string& name) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowAccess("Cannot write", name, errno);
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace

std::optional<FileStamp> ReadStamp(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return std::nullopt;
    return FileStamp{static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<uint32_t>(st.st_mode & 07777)};
}

bool FileExists(const std::string& file) {
    std::error_code ec;
    return !file.empty() && fs::is_regular_file(file, ec);
}

std::string ReadWholeFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) ThrowAccess("Cannot open", file, errno);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) ThrowAccess("Cannot read", file, errno);
    return bytes;
}

void WriteFileAtomically(const std::string& file, const std::string& bytes) {
    const std::string target = ResolveLinks(file);
    const std::optional<FileStamp> old = ReadStamp(target);
    // A file the user may not write stays as it is, as it would with a write in place.
    if (old && ::access(target.c_str(), W_OK) != 0) ThrowAccess("Cannot write", target, errno);

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = target + ".new-" + RandomSuffix();
        // 0666 less the umask, as any new file gets; replaced files keep their own bits below.
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) ThrowAccess("Cannot create", temp, errno);
    }
    if (fd < 0) ThrowAccess("Cannot create", temp, EEXIST);

    try {
        WriteAll(fd, bytes, temp);
        if (old && ::fchmod(fd, old->attributes) != 0) ThrowAccess("Cannot set permissions of", temp, errno);
        if (::fsync(fd) != 0) ThrowAccess("Cannot flush", temp, errno);
        if (::close(fd) != 0) {
            fd = -1;
            ThrowAccess("Cannot close", temp, errno);
        }
        fd = -1;
        if (::rename(temp.c_str(), target.c_str()) != 0) ThrowAccess("Cannot replace", target, errno);
    } catch (...) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
}

void MoveFile(const std::string& file, const std::string& target) {
    if (::rename(file.c_str(), target.c_str()) != 0) ThrowAccess("Cannot rename", file, errno);
}

std::string ProgramFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec).string();
    return exe.parent_path().string();
}

}  // namespace settings
