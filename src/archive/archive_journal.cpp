#include "archive/archive_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "common/paths.h"
#include "engine/error.h"

namespace app {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    throw engine::Error(engine::err::kFileAccess, what + " " + path + ": " + std::strerror(errno));
}

void WriteAll(int fd, const std::string& text, const std::string& path) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("Cannot write", path);
        }
        done += static_cast<size_t>(n);
    }
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) Fail("Cannot open", folder);
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0) Fail("Cannot sync", folder);
}

}  // namespace

ArchiveJournal::ArchiveJournal(std::string archiveFolder)
    : m_folder(common::RemoveBackslash(archiveFolder)), m_file(m_folder + "/" + kFileName) {}

std::set<int32_t> ArchiveJournal::Pending() const {
    std::set<int32_t> patients;
    std::ifstream in(m_file);
    std::string line;
    while (std::getline(in, line)) {
        try {
            size_t used = 0;
            const long long value = std::stoll(line, &used);
            if (used == line.size() && value > 0 && value <= INT32_MAX) patients.insert(static_cast<int32_t>(value));
        } catch (const std::exception&) {
        }
    }
    return patients;
}

void ArchiveJournal::Add(int32_t PtNum) { Add(std::set<int32_t>{PtNum}); }

void ArchiveJournal::Remove(int32_t PtNum) { Remove(std::set<int32_t>{PtNum}); }

void ArchiveJournal::Add(const std::set<int32_t>& added) {
    auto patients = Pending();
    const size_t before = patients.size();
    patients.insert(added.begin(), added.end());
    if (patients.size() != before) Write(patients);
}

void ArchiveJournal::Remove(const std::set<int32_t>& removed) {
    auto patients = Pending();
    size_t erased = 0;
    for (int32_t patient : removed) erased += patients.erase(patient);
    if (erased == 0) return;
    if (patients.empty()) {
        if (::unlink(m_file.c_str()) != 0 && errno != ENOENT) Fail("Cannot remove", m_file);
        SyncFolder(m_folder);
    } else {
        Write(patients);
    }
}

void ArchiveJournal::Write(const std::set<int32_t>& patients) {
    std::string text;
    for (int32_t patient : patients) text += std::to_string(patient) + "\n";
    const std::string temp = m_file + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("Cannot create", temp);
    try {
        WriteAll(fd, text, temp);
        if (::fsync(fd) != 0) Fail("Cannot sync", temp);
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0) Fail("Cannot close", temp);
    if (::rename(temp.c_str(), m_file.c_str()) != 0) Fail("Cannot rename", temp);
    SyncFolder(m_folder);
}

}  // namespace app
