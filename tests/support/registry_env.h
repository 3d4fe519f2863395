// ScopedRegistry: points the registry files (HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE) at a
// fresh temporary folder for the object's lifetime, so tests never touch ~/.config or /etc.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace testing_support {

class ScopedRegistry {
public:
    ScopedRegistry() {
        Point("XDG_CONFIG_HOME", m_dir.Str() + "/config", m_oldConfig);
        Point("CORVANE_REGISTRY_DIR", m_dir.Str() + "/etc", m_oldSystem);
    }
    ~ScopedRegistry() {
        Restore("XDG_CONFIG_HOME", m_oldConfig);
        Restore("CORVANE_REGISTRY_DIR", m_oldSystem);
    }
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    const TempDir& Dir() const { return m_dir; }
    std::filesystem::path UserFile() const { return m_dir / "config/corvane/user.reg"; }
    std::filesystem::path SystemFile() const { return m_dir / "etc/system.reg"; }

private:
    static void Point(const char* name, const std::string& value, std::optional<std::string>& old) {
        if (const char* v = std::getenv(name)) old = v;
        ::setenv(name, value.c_str(), 1);
    }
    static void Restore(const char* name, const std::optional<std::string>& old) {
        if (old) ::setenv(name, old->c_str(), 1);
        else ::unsetenv(name);
    }

    TempDir m_dir;
    std::optional<std::string> m_oldConfig, m_oldSystem;
};

}  // namespace testing_support
