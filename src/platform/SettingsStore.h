#pragma once

#include "platform/Registry.h"

#include <filesystem>
#include <functional>
#include <string_view>

namespace platform {

/// One settings store (the database file behind one hive), handed to everything that reads or
/// writes settings, as the service manager is. Holds only where the store is; every call opens
/// the store afresh.
class SettingsStore {
public:
    explicit SettingsStore(std::filesystem::path file)
        : m_file(std::move(file))
    {
    }

    const std::filesystem::path& path() const { return m_file; }

    /// Opens an existing key of this store (RegistryKey::open); never creates one.
    [[nodiscard]] RegStatus open(RegistryKey& key, std::string_view subKey, RegAccess access) const
    {
        return key.open(m_file, subKey, access);
    }
    /// Creates a key (and the store file) when missing (RegistryKey::createKey).
    [[nodiscard]] RegStatus createKey(std::string_view subKey) const { return RegistryKey::createKey(m_file, subKey); }

private:
    std::filesystem::path m_file;
};

/// The machine's store (HKEY_LOCAL_MACHINE) and the user's (HKEY_CURRENT_USER).
struct SettingsStores {
    SettingsStore machine;
    SettingsStore user;

    const SettingsStore& of(RegHive hive) const { return hive == RegHive::LocalMachine ? machine : user; }
};

/// Where the stores are: TAVOX_REGISTRY, else /var/lib/tavox/registry.db; TAVOX_USER_REGISTRY,
/// else $XDG_CONFIG_HOME/tavox/user-registry.db ($HOME/.config when that is unset). `variable`
/// gives an environment variable's value or null.
SettingsStores settingsStoresFrom(const std::function<const char*(const char*)>& variable);

/// settingsStoresFrom the process's environment. Programs call it once, at start, before any
/// thread runs, and hand the stores on.
SettingsStores settingsStoresFromEnvironment();

} // namespace platform
