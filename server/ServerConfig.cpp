#include "ServerConfig.h"

#include "config/CTavoxEnvmnt.h"
#include "config/ServerKey.h"
#include "platform/Registry.h"
#include "platform/TextCodec.h"

namespace tavoxserver {
namespace {

bool isPort(std::uint32_t value)
{
    return value >= 1 && value <= 65535;
}

} // namespace

StepResult readServerConfig(ServerConfig& config)
{
    using platform::RegStatus;
    config.store = platform::registryStorePath(platform::RegHive::LocalMachine);
    {
        // The value reads fall back to defaults silently; a store that is not there must not.
        platform::RegistryKey key;
        const RegStatus status = key.open(config.store, ServerKey::kPath, platform::RegAccess::Read);
        if (status != RegStatus::Success)
            return StepResult::failure("cannot open the key " + std::string(ServerKey::kPath)
                + " in the settings store " + config.store.string() + ": " + platform::regStatusText(status) + ".");
    }

    std::u16string dir;
    if (!CTavoxEnvmnt::GetAppPath(dir))
        return StepResult::failure("the settings store names no service directory (\"ServicePath\").");
    config.servicePath = platform::utf16ToUtf8(dir);
    config.nodeCfgName = platform::utf16ToUtf8(CTavoxEnvmnt::GetNodeCfgName());
    config.serviceCfgName = platform::utf16ToUtf8(CTavoxEnvmnt::GetServiceCfgName());
    config.uaTcpPort = CTavoxEnvmnt::ReadUaTcpPort();
    config.httpsPort = CTavoxEnvmnt::ReadHttpsPort();
    config.securityMode = CTavoxEnvmnt::ReadSecurityMode();
    config.authentication = CTavoxEnvmnt::ReadAuthentication();

    if (!isPort(config.uaTcpPort))
        return StepResult::failure(
            "the UA TCP port " + std::to_string(config.uaTcpPort) + " is not a port number (1 to 65535).");
    if (config.httpsEnabled() && !isPort(config.httpsPort))
        return StepResult::failure(
            "the HTTPS port " + std::to_string(config.httpsPort) + " is not a port number (1 to 65535).");
    if (config.httpsEnabled() && config.httpsPort == config.uaTcpPort)
        return StepResult::failure(
            "the UA TCP and HTTPS endpoints are both set to port " + std::to_string(config.uaTcpPort) + ".");
    return StepResult::success();
}

} // namespace tavoxserver
