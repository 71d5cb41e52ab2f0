#include "platform/SettingsStore.h"

#include <cstdlib>

namespace platform {

SettingsStores settingsStoresFrom(const std::function<const char*(const char*)>& variable)
{
    const auto value = [&variable](const char* name) -> std::filesystem::path {
        const char* text = variable(name);
        return text && *text ? std::filesystem::path(text) : std::filesystem::path();
    };
    std::filesystem::path machine = value("TAVOX_REGISTRY");
    if (machine.empty())
        machine = "/var/lib/tavox/registry.db";
    std::filesystem::path user = value("TAVOX_USER_REGISTRY");
    if (user.empty()) {
        std::filesystem::path base = value("XDG_CONFIG_HOME");
        if (base.empty()) {
            const std::filesystem::path home = value("HOME");
            base = home.empty() ? std::filesystem::path(".config") : home / ".config";
        }
        user = base / "tavox" / "user-registry.db";
    }
    return { SettingsStore(std::move(machine), RegHive::LocalMachine),
        SettingsStore(std::move(user), RegHive::CurrentUser) };
}

SettingsStores settingsStoresFromEnvironment()
{
    return settingsStoresFrom([](const char* name) { return std::getenv(name); });
}

} // namespace platform
