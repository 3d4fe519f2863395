// TempDir: a fresh folder under the system's temporary folder, removed with its contents when
// the object goes. Tests build their own data in one; none depends on a file left by another.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string Str() const { return m_path.string(); }
    // A path inside the folder.
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Whole contents of a file as bytes in a string; empty when missing.
std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& bytes);

// The folder of sample files written by Visual FoxPro itself (read in place, never copied);
// requirements.h says where it is found and how a test skips without it.
std::filesystem::path SharedVfpData();

}  // namespace testing_support
