#include "ServerRecords.h"

#include "ServerConfig.h"

#include "config/ServerKey.h"
#include "config/StoreError.h"
#include "platform/SettingsStore.h"

#include <unistd.h>

#include <climits>

namespace tavoxserver {
namespace {

using platform::RegStatus;

support::Result<void> openForWriting(const platform::SettingsStore& machine, platform::RegistryKey& key)
{
    const std::filesystem::path& store = machine.path();
    const RegStatus status = machine.open(key, ServerKey::kPath, platform::RegAccess::Write);
    if (status != RegStatus::Success)
        return storeError(status,
            "cannot write to the key " + std::string(ServerKey::kPath) + " in the settings store " + store.string());
    return {};
}

support::Result<void> setString(platform::RegistryKey& key, std::string_view name, const std::string& text)
{
    const auto bytes = platform::regSzBytesFromUtf8(text);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    const RegStatus status = key.setValue(name, platform::kRegSz, bytes.data(), size);
    if (status != RegStatus::Success)
        return storeError(status, "cannot store \"" + std::string(name) + "\"");
    return {};
}

} // namespace

std::string hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return "localhost";
    return name;
}

std::string uaTcpUri(const std::string& host, const ServerConfig& config)
{
    return "opc.tcp://" + host + ":" + std::to_string(config.uaTcpPort);
}

std::string httpsUri(const std::string& host, const ServerConfig& config)
{
    if (!config.httpsEnabled())
        return {};
    return "https://" + host + ":" + std::to_string(config.httpsPort);
}

support::Result<void>
writeEndpointUris(const platform::SettingsStore& machine, const std::string& tcpUri, const std::string& httpsUri)
{
    platform::RegistryKey key;
    if (support::Result<void> opened = openForWriting(machine, key); !opened.ok())
        return opened;
    if (support::Result<void> tcp = setString(key, ServerKey::kUaTcpUri, tcpUri); !tcp.ok())
        return tcp;
    return setString(key, ServerKey::kHttpsUri, httpsUri);
}

support::Result<void> writeSqlServerStatus(const platform::SettingsStore& machine, std::uint32_t status)
{
    platform::RegistryKey key;
    if (support::Result<void> opened = openForWriting(machine, key); !opened.ok())
        return opened;
    const auto bytes = platform::regDwordBytes(status);
    const RegStatus written = key.setValue(ServerKey::kSqlServerStatus, platform::kRegDword, bytes.data(), 4);
    if (written != RegStatus::Success)
        return storeError(written, "cannot store \"SQLServerStatus\"");
    return {};
}

} // namespace tavoxserver
