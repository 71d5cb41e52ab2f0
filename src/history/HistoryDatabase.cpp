#include "history/HistoryDatabase.h"

#include "history/OdbcConnectionString.h"
#include "platform/Odbc.h"

namespace history {

HistorySettings storedHistorySettings(const std::filesystem::path& nodeCfgPath)
{
    const StoredHistoryKeys keys = readHistoryKeys(nodeCfgPath);
    HistorySettings settings;
    settings.active = keys.isActive();
    settings.type = sqlTypeFromName(keys.sqlType);
    settings.driver = keys.driver;
    settings.server = keys.server;
    settings.port = keys.port;
    settings.user = keys.uid;
    settings.password = keys.pwd;
    settings.database = keys.database;
    return settings;
}

std::unique_ptr<platform::OdbcConnection> connectHistoryDatabase(platform::OdbcEnvironment& environment,
    const HistorySettings& settings,
    std::string& reason)
{
    return environment.driverConnect(connection_string::forHistoryDatabase(settings),
        platform::OdbcCompletion::NoPrompt, kHistoryLoginTimeoutSeconds, reason);
}

support::Result<void> testHistoryDatabase(platform::OdbcDriverManager& odbc, const HistorySettings& settings)
{
    const auto environment = odbc.openEnvironment();
    if (!environment)
        return support::Error{support::ErrorKind::System, "no ODBC environment could be allocated"};
    std::string reason;
    const auto connection = connectHistoryDatabase(*environment, settings, reason);
    if (!connection)
        return support::Error{support::ErrorKind::System, reason.empty() ? "the connection failed" : reason};
    if (!connection->firstColumn(kHistoryProbe)) {
        const std::string diagnostic = connection->lastDiagnostic();
        return support::Error{support::ErrorKind::System,
            "connected, but the database does not answer" + (diagnostic.empty() ? "" : ": " + diagnostic)};
    }
    return {};
}

} // namespace history
