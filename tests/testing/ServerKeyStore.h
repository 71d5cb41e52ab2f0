#pragma once

#include "config/ServerKey.h"
#include "platform/Registry.h"
#include "testing/TempStores.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

/// Temporary settings stores with the server key created as the server's setup leaves it, to be
/// handed to the code under test (machineStore), and raw access to its values for checking what
/// the program stored.
class ServerKeyStore {
public:
    ServerKeyStore()
    {
        EXPECT_EQ(platform::RegistryKey::createKey(path(), ServerKey::kPath), platform::RegStatus::Success);
    }

    const std::filesystem::path& path() const { return m_stores.machine(); }
    const platform::SettingsStore& machineStore() const { return m_stores.machineStore(); }
    const platform::SettingsStore& userStore() const { return m_stores.userStore(); }
    const platform::SettingsStores& stores() const { return m_stores.stores(); }

    void set(std::string_view name, std::uint32_t type, const std::vector<std::uint8_t>& data)
    {
        platform::RegistryKey key;
        ASSERT_EQ(key.open(path(), ServerKey::kPath, platform::RegAccess::Write), platform::RegStatus::Success);
        ASSERT_EQ(key.setValue(name, type, data.data(), static_cast<std::uint32_t>(data.size())),
            platform::RegStatus::Success);
    }
    void setDword(std::string_view name, std::uint32_t value)
    {
        const auto bytes = platform::regDwordBytes(value);
        set(name, platform::kRegDword, { bytes.begin(), bytes.end() });
    }

    /// The stored bytes of a value; empty when it is missing.
    std::optional<std::vector<std::uint8_t>> raw(std::string_view name) const
    {
        platform::RegistryKey key;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (key.open(path(), ServerKey::kPath, platform::RegAccess::Read) != platform::RegStatus::Success
            || key.queryValue(name, type, data) != platform::RegStatus::Success)
            return std::nullopt;
        return data;
    }
    std::optional<std::uint32_t> dword(std::string_view name) const
    {
        const auto data = raw(name);
        return data && data->size() == 4 ? std::optional(platform::regDwordValue(data->data())) : std::nullopt;
    }

    /// Takes away the right to write the machine store.
    void makeReadOnly() { std::filesystem::permissions(path(), std::filesystem::perms::owner_read); }

private:
    TempDir m_dir;
    TempStores m_stores { m_dir };
};
