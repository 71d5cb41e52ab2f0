#pragma once

#include "config/ServerKey.h"
#include "platform/Registry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

/// Temporary settings stores with the server key created, as the server's setup leaves it,
/// and direct access to its raw values for checking what the program stored.
class ServerKeyStore {
public:
    static constexpr std::string_view kKey = ServerKey::kPath;

    ServerKeyStore()
        : m_stores(m_dir)
    {
        EXPECT_EQ(platform::RegistryKey::createKey(m_stores.machine(), kKey), platform::RegStatus::Success);
    }

    const std::filesystem::path& path() const { return m_stores.machine(); }

    void setRaw(std::string_view name, std::uint32_t type, const void* data, std::size_t size)
    {
        platform::RegistryKey key;
        ASSERT_EQ(key.open(path(), kKey, platform::RegAccess::Write), platform::RegStatus::Success);
        ASSERT_EQ(key.setValue(name, type, data, static_cast<std::uint32_t>(size)), platform::RegStatus::Success);
    }
    void setDword(std::string_view name, std::uint32_t value) { setRaw(name, platform::kRegDword, &value, 4); }
    void remove(std::string_view name)
    {
        platform::RegistryKey key;
        ASSERT_EQ(key.open(path(), kKey, platform::RegAccess::Write), platform::RegStatus::Success);
        (void)key.deleteValue(name);
    }

    /// The stored bytes of a value; empty when it is missing.
    std::optional<std::vector<std::uint8_t>> raw(std::string_view name, std::uint32_t* type = nullptr) const
    {
        platform::RegistryKey key;
        if (key.open(path(), kKey, platform::RegAccess::Read) != platform::RegStatus::Success)
            return std::nullopt;
        std::uint32_t t = 0;
        std::vector<std::uint8_t> data;
        if (key.queryValue(name, t, data) != platform::RegStatus::Success)
            return std::nullopt;
        if (type)
            *type = t;
        return data;
    }
    std::optional<std::uint32_t> dword(std::string_view name) const
    {
        const auto data = raw(name);
        if (!data || data->size() != 4)
            return std::nullopt;
        std::uint32_t v = 0;
        std::memcpy(&v, data->data(), 4);
        return v;
    }

    /// Takes away the right to write the machine store (reads that need write access fail too).
    void makeReadOnly() { std::filesystem::permissions(path(), std::filesystem::perms::owner_read); }

private:
    TempDir m_dir;
    ScopedStores m_stores;
};
