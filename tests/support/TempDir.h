#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

/// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
public:
    TempDir()
        : TempDir(std::filesystem::temp_directory_path())
    {
    }
    /// A directory under `base` instead.
    explicit TempDir(const std::filesystem::path& base)
    {
        std::string pattern = (base / "tavox-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

/// Points TAVOX_REGISTRY and TAVOX_USER_REGISTRY at stores inside a temporary directory
/// for the lifetime of the object, restoring the previous values afterwards.
class ScopedStores {
public:
    explicit ScopedStores(const TempDir& dir)
        : m_machine(dir / "registry.db")
        , m_user(dir / "user-registry.db")
    {
        save("TAVOX_REGISTRY", m_oldMachine, m_hadMachine);
        save("TAVOX_USER_REGISTRY", m_oldUser, m_hadUser);
        ::setenv("TAVOX_REGISTRY", m_machine.c_str(), 1);
        ::setenv("TAVOX_USER_REGISTRY", m_user.c_str(), 1);
    }
    ~ScopedStores()
    {
        restore("TAVOX_REGISTRY", m_oldMachine, m_hadMachine);
        restore("TAVOX_USER_REGISTRY", m_oldUser, m_hadUser);
    }
    ScopedStores(const ScopedStores&) = delete;
    ScopedStores& operator=(const ScopedStores&) = delete;

    const std::filesystem::path& machine() const { return m_machine; }
    const std::filesystem::path& user() const { return m_user; }

private:
    static void save(const char* name, std::string& value, bool& had)
    {
        const char* v = std::getenv(name);
        had = v != nullptr;
        if (v)
            value = v;
    }
    static void restore(const char* name, const std::string& value, bool had)
    {
        if (had)
            ::setenv(name, value.c_str(), 1);
        else
            ::unsetenv(name);
    }

    std::filesystem::path m_machine;
    std::filesystem::path m_user;
    std::string m_oldMachine, m_oldUser;
    bool m_hadMachine = false, m_hadUser = false;
};
