#pragma once

#include "support/Result.h"

#include <cstdint>
#include <string>

namespace tavoxserver {

struct ServerConfig;

/// The computer name the endpoint URLs carry (the host name).
std::string hostName();

/// "opc.tcp://HOST:PORT" for the UA TCP endpoint.
std::string uaTcpUri(const std::string& host, const ServerConfig& config);
/// "https://HOST:PORT" for the HTTPS endpoint, empty when HTTPS is switched off.
std::string httpsUri(const std::string& host, const ServerConfig& config);

/// Stores "UaTcpUri" and "HttpsUri" in the server key, for the utility's Status page.
support::Result<void> writeEndpointUris(const std::string& tcpUri, const std::string& httpsUri);
/// Stores "SQLServerStatus" (1 while connected to the history database).
support::Result<void> writeSqlServerStatus(std::uint32_t status);

} // namespace tavoxserver
