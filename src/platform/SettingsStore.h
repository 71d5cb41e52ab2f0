#pragma once

#include "platform/Registry.h"

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace platform {

/// One settings store (the database file behind one hive), handed to everything that reads or
/// writes settings, as the service manager is. Holds only where the store is and whose it is
/// (which decides the rights the store file and its folder get); every call opens the store
/// afresh.
class SettingsStore {
public:
    SettingsStore(std::filesystem::path file, RegHive hive)
        : m_file(std::move(file))
        , m_hive(hive)
    {
    }

    const std::filesystem::path& path() const { return m_file; }
    RegHive hive() const { return m_hive; }

    /// Opens an existing key of this store (RegistryKey::open); never creates one.
    [[nodiscard]] RegStatus open(RegistryKey& key, std::string_view subKey, RegAccess access) const
    {
        return key.open(m_file, m_hive, subKey, access);
    }
    /// Creates a key (and the store file) when missing (RegistryKey::createKey).
    [[nodiscard]] RegStatus createKey(std::string_view subKey) const
    {
        return RegistryKey::createKey(m_file, subKey, m_hive);
    }
    /// Applies a batch in one transaction (RegistryKey::writeAll).
    [[nodiscard]] RegStatus writeAll(const std::vector<RegistryKey::Change>& changes) const
    {
        return RegistryKey::writeAll(m_file, changes, m_hive);
    }
    /// This store's part of a batch over several stores (RegistryKey::writeAll).
    RegistryKey::StoreChanges changes(std::vector<RegistryKey::Change> batch) const
    {
        return { m_file, m_hive, std::move(batch) };
    }

private:
    std::filesystem::path m_file;
    RegHive m_hive;
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
