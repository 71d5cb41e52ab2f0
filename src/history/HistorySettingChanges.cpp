#include "history/HistorySettingChanges.h"

#include "history/HistoryDatabase.h"
#include "history/OdbcSettings.h"
#include "support/TextCodec.h"

#include <algorithm>

namespace history {
namespace {

using support::Error;

std::string utf8(std::u16string_view text) { return support::utf16ToUtf8(text); }

std::string listed(const std::vector<std::u16string>& drivers)
{
    std::string text;
    for (const std::u16string& driver : drivers)
        text += (text.empty() ? "\"" : ", \"") + utf8(driver) + "\"";
    return text;
}

} // namespace

support::Result<HistorySettings> changedHistorySettings(const OdbcSettings& odbc,
    const std::filesystem::path& nodeCfgPath,
    const HistorySettingChanges& changes)
{
    const LoadedSettings loaded = odbc.LoadSettings(nodeCfgPath);
    HistorySettings settings = loaded.settings;
    std::vector<std::u16string> drivers = loaded.drivers;
    if (loaded.noDriver) {
        // The page stops loading here; the stored fields are what a new type starts from.
        settings = storedHistorySettings(nodeCfgPath);
        drivers.clear();
    }
    const bool typeChanged = changes.type && *changes.type != settings.type;
    if (typeChanged || loaded.noDriver) {
        settings.type = changes.type.value_or(settings.type);
        // The driver list is filled anew and offered, not chosen from.
        drivers = odbc.FillDriverList(settings.type);
        settings.driver.clear();
    }
    if (settings.type != SqlType::None && drivers.empty())
        return Error::invalidInput(notices::noDriverFound().text);
    if (changes.driver) {
        if (settings.type == SqlType::None)
            return Error::invalidInput("Choose the SQL type (--type MySQL or MSSQL) before its driver.");
        const std::vector<std::u16string> offered = odbc.FillDriverList(settings.type);
        if (std::find(offered.begin(), offered.end(), *changes.driver) == offered.end())
            return Error::invalidInput("The driver \"" + utf8(*changes.driver) + "\" is not an installed "
                + utf8(sqlTypeName(settings.type)) + " driver; installed: " + listed(offered) + ".");
        settings.driver = *changes.driver;
    }
    settings.active = changes.active.value_or(settings.active);
    settings.server = changes.server.value_or(settings.server);
    settings.port = changes.port.value_or(settings.port);
    settings.user = changes.user.value_or(settings.user);
    settings.password = changes.password.value_or(settings.password);
    settings.database = changes.database.value_or(settings.database);
    return settings;
}

namespace {

support::Result<bool> refusalOf(const ApplyOutcome& outcome)
{
    if (outcome.serverCleared)
        return Error::invalidInput(
            "The IP is localhost. It means that you can't remote connect. Add --force to keep it.");
    if (!outcome.passed)
        return Error::invalidInput(outcome.failure.isEmpty() ? "The settings were refused." : outcome.failure.text);
    return outcome.restartRequested;
}

} // namespace

support::Result<CheckedHistorySettings> checkHistorySettingChanges(const OdbcSettings& odbc,
    const std::filesystem::path& nodeCfgPath,
    const HistorySettingChanges& changes,
    bool keepLocalhost)
{
    auto settings = changedHistorySettings(odbc, nodeCfgPath, changes);
    if (!settings)
        return settings.error();
    const auto checked
        = refusalOf(odbc.CheckSettings(*settings, nodeCfgPath, [keepLocalhost] { return keepLocalhost; }));
    if (!checked)
        return checked.error();
    return CheckedHistorySettings { std::move(*settings), *checked };
}

support::Result<bool> applyHistorySettingChanges(OdbcSettings& odbc,
    const std::filesystem::path& nodeCfgPath,
    const HistorySettingChanges& changes,
    bool keepLocalhost)
{
    const auto checked = checkHistorySettingChanges(odbc, nodeCfgPath, changes, keepLocalhost);
    if (!checked)
        return checked.error();
    return refusalOf(odbc.Apply(checked->settings, nodeCfgPath, [keepLocalhost] { return keepLocalhost; }));
}

} // namespace history
