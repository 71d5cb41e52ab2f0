#include "history/OdbcSettings.h"

#include "history/OdbcConnectionString.h"
#include "history/OdbcLists.h"
#include "platform/Odbc.h"
#include "support/DebugOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace history {
namespace {

constexpr std::u16string_view kDefaultPort = u"3306";
constexpr std::u16string_view kLocalhostAddress = u"127.0.0.1";
// A browse must not hold the window for ever when the server does not answer.
constexpr unsigned kBrowseLoginTimeoutSeconds = 15;

bool opensForReadingAndWriting(const std::filesystem::path& path)
{
    // Only a probe: nothing is read, and a pipe or a device must not hold it.
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

ApplyOutcome failed(UserMessage failure)
{
    ApplyOutcome outcome;
    outcome.failure = std::move(failure);
    return outcome;
}

} // namespace

bool isBlank(std::u16string_view field) { return field.empty() || field == u" "; }

OdbcSettings::OdbcSettings(platform::OdbcDriverManager& odbc, EnsureHistorySectionFn ensureHistorySection)
    : m_odbc(odbc)
    , m_ensureHistorySection(std::move(ensureHistorySection))
{
}

OdbcSettings::~OdbcSettings() = default;

std::vector<std::u16string> OdbcSettings::FillDriverList(SqlType type) const
{
    if (type == SqlType::None)
        return {};
    return filterDrivers(m_odbc.installedDrivers(), driverKeyword(type));
}

LoadedSettings OdbcSettings::LoadSettings(const std::filesystem::path& nodeCfgPath) const
{
    const StoredHistoryKeys keys = readHistoryKeys(nodeCfgPath);
    LoadedSettings loaded;
    loaded.settings.type = sqlTypeFromName(keys.sqlType);
    loaded.drivers = FillDriverList(loaded.settings.type);
    if (loaded.settings.type != SqlType::None && loaded.drivers.empty()) {
        loaded.noDriver = true;
        return loaded;
    }

    loaded.settings.active = keys.isActive();
    const auto found = std::find(loaded.drivers.begin(), loaded.drivers.end(), keys.driver);
    if (found != loaded.drivers.end()) {
        loaded.selectedDriver = static_cast<int>(found - loaded.drivers.begin());
    } else if (!keys.driver.empty()) {
        // A driver that is no longer installed stays visible, though the first one is taken.
        loaded.drivers.push_back(keys.driver);
        loaded.selectedDriver = 0;
    } else if (!loaded.drivers.empty()) {
        loaded.selectedDriver = 0;
    }
    if (loaded.selectedDriver >= 0)
        loaded.settings.driver = loaded.drivers[static_cast<std::size_t>(loaded.selectedDriver)];

    loaded.settings.server = keys.server;
    loaded.settings.port = keys.port.empty() ? std::u16string(kDefaultPort) : keys.port;
    loaded.settings.user = keys.uid;
    loaded.settings.password = keys.pwd;
    loaded.settings.database = keys.database;
    return loaded;
}

bool OdbcSettings::renewEnvironment(const char* operation)
{
    m_environment = m_odbc.openEnvironment();
    if (!m_environment)
        support::debugOutput(std::string("CPgODBCSQL: ") + operation + " failed. No ODBC environment.");
    return m_environment != nullptr;
}

BrowseResult OdbcSettings::BrowseServers(const HistorySettings& shown)
{
    BrowseResult result;
    if (shown.driver.empty()) {
        result.refusal = notices::selectDriver();
        return result;
    }
    if (shown.type == SqlType::MsSql) {
        if (!renewEnvironment("BrowseServers"))
            return result;
        const platform::OdbcBrowseReply reply
            = m_environment->browseConnect(connection_string::forServerBrowse(shown.driver));
        if (reply.status == platform::OdbcBrowseStatus::Failed)
            support::debugOutput("CPgODBCSQL: BrowseServers failed. " + reply.diagnostic);
        if (reply.status == platform::OdbcBrowseStatus::NeedData) {
            result.choices = browseChoices(reply.text, u"SERVER");
            if (result.choices.empty())
                return result;
        }
    }
    result.dropDown = true;
    return result;
}

BrowseResult OdbcSettings::BrowseDatabases(const HistorySettings& shown)
{
    BrowseResult result;
    if (shown.driver.empty() || shown.server.empty() || shown.port.empty() || shown.user.empty()
        || shown.password.empty()) {
        result.refusal = notices::checkAllSettings();
        return result;
    }
    if (shown.type == SqlType::MySql) {
        if (!renewEnvironment("BrowseDatabases"))
            return result;
        std::string diagnostic;
        const auto connection = m_environment->driverConnect(connection_string::forMySqlDatabases(shown),
            platform::OdbcCompletion::Complete,
            kBrowseLoginTimeoutSeconds,
            diagnostic);
        if (!connection) {
            support::debugOutput("CPgODBCSQL: BrowseDatabases failed. " + diagnostic);
        } else if (auto names = connection->firstColumn(u"show databases")) {
            result.choices = std::move(*names);
        } else {
            support::debugOutput("CPgODBCSQL: BrowseDatabases failed. " + connection->lastDiagnostic());
        }
    } else if (shown.type == SqlType::MsSql) {
        if (!renewEnvironment("BrowseDatabases"))
            return result;
        const platform::OdbcBrowseReply reply
            = m_environment->browseConnect(connection_string::forMsSqlDatabaseBrowse(shown));
        if (reply.status == platform::OdbcBrowseStatus::Failed)
            support::debugOutput("CPgODBCSQL: BrowseDatabases failed. " + reply.diagnostic);
        if (reply.status == platform::OdbcBrowseStatus::NeedData) {
            if (reply.text.find(u"DATABASE") == std::u16string::npos)
                return result;
            result.choices = browseChoices(reply.text, u"DATABASE");
        }
    }
    result.dropDown = true;
    return result;
}

ApplyOutcome OdbcSettings::CheckSettings(const HistorySettings& shown,
    const std::filesystem::path& nodeCfgPath,
    const std::function<bool()>& continueWithLocalhost) const
{
    ApplyOutcome outcome = checkFields(shown, nodeCfgPath, continueWithLocalhost);
    // Every key is written, the history database on or off: all must fit before the first is.
    if (outcome.passed) {
        if (const auto field = UnwritableHistoryField(shown)) {
            outcome.passed = false;
            outcome.failure = notices::valueNotWritable(*field, nodeCfgPath);
        }
    }
    return outcome;
}

ApplyOutcome OdbcSettings::checkFields(const HistorySettings& shown,
    const std::filesystem::path& nodeCfgPath,
    const std::function<bool()>& continueWithLocalhost) const
{
    if (!opensForReadingAndWriting(nodeCfgPath))
        return failed(notices::fileNotOpened(nodeCfgPath));
    ApplyOutcome outcome;
    if (!shown.active) {
        // The history database is off: its fields are not needed.
        outcome.passed = true;
        return outcome;
    }
    if (isBlank(shown.driver) || isBlank(shown.server))
        return failed(notices::blankField());
    if (shown.server == kLocalhostAddress) {
        if (!continueWithLocalhost()) {
            outcome.serverCleared = true;
            return outcome;
        }
        outcome.restartRequested = true;
    }
    const bool passwordNeeded = shown.type != SqlType::MsSql;
    // A missing type is a blank field too; it is reported rather than refused in silence.
    if (isBlank(shown.port) || isBlank(shown.user) || (passwordNeeded && isBlank(shown.password))
        || isBlank(shown.database) || shown.type == SqlType::None) {
        outcome.failure = notices::blankField();
        return outcome;
    }
    outcome.passed = true;
    return outcome;
}

ApplyOutcome OdbcSettings::Apply(const HistorySettings& shown,
    const std::filesystem::path& nodeCfgPath,
    const std::function<bool()>& continueWithLocalhost)
{
    ApplyOutcome outcome = CheckSettings(shown, nodeCfgPath, continueWithLocalhost);
    if (!outcome.passed)
        return outcome;
    if (!m_ensureHistorySection(nodeCfgPath)) {
        support::debugOutput("CPgODBCSQL: OnApply failed. The settings block of " + nodeCfgPath.string()
            + " holds no [HistorizedtoODBCSQL] section and none could be made.");
        outcome.passed = false;
        outcome.failure = notices::fileNotWritten(nodeCfgPath);
        return outcome;
    }
    if (!writeHistoryKeys(nodeCfgPath, shown)) {
        support::debugOutput(
            "CPgODBCSQL: OnApply failed. The keys could not be written to " + nodeCfgPath.string() + ".");
        outcome.passed = false;
        outcome.failure = notices::fileNotWritten(nodeCfgPath);
    }
    return outcome;
}

} // namespace history
