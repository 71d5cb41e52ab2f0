#pragma once

#include "support/Result.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace platform {
class SettingsStore;
} // namespace platform

namespace tavoxserver {

/// HTTPS endpoint bit of "Authentication".
inline constexpr std::uint32_t kHttpsEnabledBit = 0x20;
/// The security mode None bit of "SecurityMode".
inline constexpr std::uint32_t kSecurityNoneBit = 0x01;

/// What the server takes from the machine settings store at start.
struct ServerConfig {
    std::filesystem::path store;
    std::string servicePath; ///< the service directory, with its trailing separator
    std::string nodeCfgName;
    std::string serviceCfgName;
    std::uint32_t uaTcpPort = 0;
    std::uint32_t httpsPort = 0;
    std::uint32_t securityMode = 0;
    std::uint32_t authentication = 0;

    bool httpsEnabled() const { return (authentication & kHttpsEnabledBit) != 0; }
    bool securityNone() const { return (securityMode & kSecurityNoneBit) != 0; }
    /// The service directory immediately followed by the file name, as the utility forms it.
    std::filesystem::path nodeCfgPath() const { return servicePath + nodeCfgName; }
};

/// Reads the server key of the machine store `machine`. Fails when the store or the key cannot be
/// opened, when "ServicePath" is missing or empty, or when a port is outside 1 to 65535 or
/// both endpoints share one.
support::Result<void> readServerConfig(const platform::SettingsStore& machine, ServerConfig& config);

} // namespace tavoxserver
