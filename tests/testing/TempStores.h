#pragma once

#include "platform/SettingsStore.h"
#include "testing/TempDir.h"

#include <filesystem>

/// A machine and a per-user settings store inside a temporary directory, to be handed to the
/// code under test (the files are created by the first write).
class TempStores {
public:
    explicit TempStores(const TempDir& dir)
        : m_stores { platform::SettingsStore(dir / "registry.db", platform::RegHive::LocalMachine),
            platform::SettingsStore(dir / "user-registry.db", platform::RegHive::CurrentUser) }
    {
    }

    const platform::SettingsStores& stores() const { return m_stores; }
    const platform::SettingsStore& machineStore() const { return m_stores.machine; }
    const platform::SettingsStore& userStore() const { return m_stores.user; }
    /// The store files.
    const std::filesystem::path& machine() const { return m_stores.machine.path(); }
    const std::filesystem::path& user() const { return m_stores.user.path(); }

private:
    platform::SettingsStores m_stores;
};
