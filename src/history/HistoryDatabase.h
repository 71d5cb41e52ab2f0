#pragma once

#include "history/HistorySettings.h"
#include "support/Result.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class OdbcConnection;
class OdbcDriverManager;
class OdbcEnvironment;
} // namespace platform

namespace history {

/// The history database as the node configuration file stores it, active or not: "SQLTYPE"
/// names the type, the first character of "ACTIVE" the switch, the other keys as they stand.
HistorySettings storedHistorySettings(const std::filesystem::path& nodeCfgPath);

/// "DRIVER at SERVER:PORT, database DATABASE, user UID" for logs and messages; never the password.
std::string describeHistoryDatabase(const HistorySettings& settings);

/// How long one connection attempt of the server may take.
inline constexpr unsigned kHistoryLoginTimeoutSeconds = 5;

/// Opens the server's connection to the history database (the MySQL form of the connection
/// string with the database, no prompt). Null when it cannot be made; `reason` then says why.
std::unique_ptr<platform::OdbcConnection>
connectHistoryDatabase(platform::OdbcEnvironment& environment, const HistorySettings& settings, std::string& reason);

/// The query that asks a connected database for nothing but an answer.
inline constexpr std::u16string_view kHistoryProbe = u"SELECT 1";

/// Connects as the server does and asks the probe; nothing on success, otherwise why not in
/// the driver's words.
support::Result<void> testHistoryDatabase(platform::OdbcDriverManager& odbc, const HistorySettings& settings);

} // namespace history
