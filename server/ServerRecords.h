#pragma once

#include "support/Result.h"

#include <cstdint>
#include <string>

namespace platform {
class SettingsStore;
} // namespace platform

namespace tavoxserver {

struct ServerConfig;

/// The computer name the endpoint URLs carry (the host name).
std::string hostName();

/// "opc.tcp://HOST:PORT" for the UA TCP endpoint.
std::string uaTcpUri(const std::string& host, const ServerConfig& config);
/// "https://HOST:PORT" for the HTTPS endpoint, empty when HTTPS is switched off.
std::string httpsUri(const std::string& host, const ServerConfig& config);

/// Stores "UaTcpUri" and "HttpsUri" in the server key of `machine`, for the utility's Status page.
support::Result<void>
writeEndpointUris(const platform::SettingsStore& machine, const std::string& tcpUri, const std::string& httpsUri);
/// Stores "SQLServerStatus" (1 while connected to the history database) in `machine`.
support::Result<void> writeSqlServerStatus(const platform::SettingsStore& machine, std::uint32_t status);

} // namespace tavoxserver
