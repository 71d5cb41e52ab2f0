#include "ServerConfig.h"

#include "config/CTavoxEnvmnt.h"
#include "config/ServerKey.h"
#include "config/StoreError.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"

namespace tavoxserver {
namespace {

bool isPort(std::uint32_t value) { return value >= 1 && value <= 65535; }

} // namespace

support::Result<void> readServerConfig(const platform::SettingsStore& machine, ServerConfig& config)
{
    using platform::RegStatus;
    config.store = machine.path();
    {
        // The value reads fall back to defaults silently; a store that is not there must not.
        platform::RegistryKey key;
        const RegStatus status = machine.open(key, ServerKey::kPath, platform::RegAccess::Read);
        if (status != RegStatus::Success)
            return storeError(status,
                "cannot open the key " + std::string(ServerKey::kPath) + " in the settings store "
                    + config.store.string());
    }

    const CTavoxEnvmnt server(machine);
    std::u16string dir;
    if (!server.GetAppPath(dir))
        return support::Error { support::ErrorKind::NotFound,
            "the settings store names no service directory (\"ServicePath\")" };
    config.servicePath = support::utf16ToUtf8(dir);
    config.nodeCfgName = support::utf16ToUtf8(server.GetNodeCfgName());
    config.serviceCfgName = support::utf16ToUtf8(server.GetServiceCfgName());
    config.uaTcpPort = server.ReadUaTcpPort();
    config.httpsPort = server.ReadHttpsPort();
    config.securityMode = server.ReadSecurityMode();
    config.authentication = server.ReadAuthentication();

    if (!isPort(config.uaTcpPort))
        return support::Error::invalidInput(
            "the UA TCP port " + std::to_string(config.uaTcpPort) + " is not a port number (1 to 65535)");
    if (config.httpsEnabled() && !isPort(config.httpsPort))
        return support::Error::invalidInput(
            "the HTTPS port " + std::to_string(config.httpsPort) + " is not a port number (1 to 65535)");
    if (config.httpsEnabled() && config.httpsPort == config.uaTcpPort)
        return support::Error::invalidInput(
            "the UA TCP and HTTPS endpoints are both set to port " + std::to_string(config.uaTcpPort));
    return {};
}

} // namespace tavoxserver
