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
