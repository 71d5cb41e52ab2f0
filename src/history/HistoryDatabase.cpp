#include "history/HistoryDatabase.h"

#include "history/OdbcConnectionString.h"
#include "platform/Odbc.h"
#include "support/TextCodec.h"

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

std::unique_ptr<platform::OdbcConnection>
connectHistoryDatabase(platform::OdbcEnvironment& environment, const HistorySettings& settings, std::string& reason)
{
    return environment.driverConnect(connection_string::forHistoryDatabase(settings),
        platform::OdbcCompletion::NoPrompt,
        kHistoryLoginTimeoutSeconds,
        reason);
}

support::Result<void> testHistoryDatabase(platform::OdbcDriverManager& odbc, const HistorySettings& settings)
{
    const auto environment = odbc.openEnvironment();
    if (!environment)
        return support::Error { support::ErrorKind::System, "no ODBC environment could be allocated" };
    std::string reason;
    const auto connection = connectHistoryDatabase(*environment, settings, reason);
    if (!connection)
        return support::Error { support::ErrorKind::System, reason.empty() ? "the connection failed" : reason };
    if (!connection->firstColumn(kHistoryProbe)) {
        const std::string diagnostic = connection->lastDiagnostic();
        return support::Error { support::ErrorKind::System,
            "connected, but the database does not answer" + (diagnostic.empty() ? "" : ": " + diagnostic) };
    }
    return {};
}

std::string describeHistoryDatabase(const history::HistorySettings& settings)
{
    using support::utf16ToUtf8;
    // Appended piece by piece: GCC 12 misreads "literal" + string as overlapping copies (-Wrestrict).
    std::string text = "\"";
    text += utf16ToUtf8(settings.driver);
    text += "\" at ";
    text += utf16ToUtf8(settings.server);
    if (!settings.port.empty()) {
        text += ':';
        text += utf16ToUtf8(settings.port);
    }
    text += ", database \"";
    text += utf16ToUtf8(settings.database);
    text += "\", user \"";
    text += utf16ToUtf8(settings.user);
    text += '"';
    return text;
}

} // namespace history
