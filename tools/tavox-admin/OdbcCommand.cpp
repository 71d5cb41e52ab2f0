#include "CommandFamilies.h"
#include "CommandLine.h"
#include "ConfigurationChange.h"
#include "JsonOutput.h"
#include "PasswordInput.h"

#include "history/HistoryDatabase.h"
#include "history/HistorySettingChanges.h"
#include "history/OdbcSettings.h"
#include "nodeconfig/NodeConfigPaths.h"
#include "nodeconfig/SettingsBlock.h"
#include "platform/SettingsStore.h"
#include "platform/UnixOdbc.h"
#include "support/TextCodec.h"

#include <algorithm>
#include <ostream>

namespace admin {
namespace {

using history::HistorySettings;
using history::SqlType;
using support::utf16ToUtf8;
using support::utf8ToUtf16;

constexpr std::string_view kFamily = "odbc";

std::filesystem::path nodeCfgPath(const AdminContext& context)
{
    return nodeconfig::nodeConfigPathsFromSettings(context.stores.machine).nodeCfgPath;
}

int show(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const std::filesystem::path file = nodeCfgPath(context);
    const HistorySettings stored = history::storedHistorySettings(file);
    platform::UnixOdbc odbc;
    const history::OdbcSettings page(odbc, nodeconfig::EnsureHistorySection);
    const std::vector<std::u16string> drivers = page.FillDriverList(stored.type);
    const bool installed = std::find(drivers.begin(), drivers.end(), stored.driver) != drivers.end();
    const std::string type = utf16ToUtf8(history::sqlTypeName(stored.type));
    if (parsed.has("--json")) {
        nlohmann::ordered_json installedDrivers = nlohmann::ordered_json::array();
        for (const std::u16string& driver : drivers)
            installedDrivers.push_back(utf16ToUtf8(driver));
        printJson(io,
            { { "file", file.string() },
                { "active", stored.active },
                { "type", type.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(type) },
                { "driver", utf16ToUtf8(stored.driver) },
                { "driverInstalled", installed },
                { "server", utf16ToUtf8(stored.server) },
                { "port", utf16ToUtf8(stored.port) },
                { "user", utf16ToUtf8(stored.user) },
                { "passwordSet", !stored.password.empty() },
                { "database", utf16ToUtf8(stored.database) },
                { "installedDrivers", installedDrivers } });
        return kExitSuccess;
    }
    io.out << "File:      " << file.string() << "\n"
           << "Active:    " << (stored.active ? "on" : "off") << "\n"
           << "SQL type:  " << (type.empty() ? "(none)" : type) << "\n"
           << "Driver:    " << utf16ToUtf8(stored.driver)
           << (stored.driver.empty() || installed ? "" : " (not installed)") << "\n"
           << "Server:    " << utf16ToUtf8(stored.server) << "\n"
           << "Port:      " << utf16ToUtf8(stored.port) << "\n"
           << "User:      " << utf16ToUtf8(stored.user) << "\n"
           << "Password:  " << (stored.password.empty() ? "(none)" : "(set)") << "\n"
           << "Database:  " << utf16ToUtf8(stored.database) << "\n";
    return kExitSuccess;
}

support::Result<SqlType> parseType(std::string_view text)
{
    const SqlType type = history::sqlTypeFromName(utf8ToUtf16(text));
    if (type == SqlType::None)
        return support::Error::invalidInput("--type takes MySQL or MSSQL, not \"" + std::string(text) + "\"");
    return type;
}

std::optional<std::u16string> wideValue(const ParsedArguments& parsed, std::string_view option)
{
    const auto value = parsed.value(option);
    if (!value)
        return std::nullopt;
    return utf8ToUtf16(*value);
}

constexpr FormOption kSetOptions[] = {
    { "--active", "on|off", "\"Active SQL\": whether the server writes historical data to the database." },
    { "--type", "MySQL|MSSQL", "\"SQL Type:\". A new type needs its --driver." },
    { "--driver", "NAME", "\"SQL Driver:\", one of the installed ODBC drivers of the type (see odbc show)." },
    { "--server", "HOST", "\"Server:\"." },
    { "--port", "N", "\"Port:\"." },
    { "--user", "NAME", "\"User:\"." },
    { "--password", "", "Asks for \"Password:\" twice on the terminal, without echo." },
    { "--password-stdin", "", "Reads \"Password:\" as one line of standard input instead." },
    { "--database", "NAME", "\"Database:\"." },
    { "--force", "", "Keep the server 127.0.0.1, which the page asks about (it cannot be reached from elsewhere)." },
};

int set(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    if (parsed.has("--password") && parsed.has("--password-stdin"))
        return usageError(io, kFamily, "give --password or --password-stdin, not both");

    history::HistorySettingChanges changes;
    if (const auto active = parsed.value("--active")) {
        const auto on = parseOnOff("--active", *active);
        if (!on)
            return usageError(io, kFamily, on.error().message);
        changes.active = *on;
    }
    if (const auto type = parsed.value("--type")) {
        const auto parsedType = parseType(*type);
        if (!parsedType)
            return usageError(io, kFamily, parsedType.error().message);
        changes.type = *parsedType;
    }
    changes.driver = wideValue(parsed, "--driver");
    changes.server = wideValue(parsed, "--server");
    changes.port = wideValue(parsed, "--port");
    changes.user = wideValue(parsed, "--user");
    changes.database = wideValue(parsed, "--database");
    if (parsed.has("--password") || parsed.has("--password-stdin")) {
        const auto password
            = readNewPassword(context.passwords, parsed.has("--password-stdin"), "Password of the database user");
        if (!password)
            return io.fail(password.error());
        if (password->password != password->confirmation)
            return io.fail("The two passwords differ; nothing was changed.");
        changes.password = utf8ToUtf16(password->password);
    }

    const std::filesystem::path file = nodeCfgPath(context);
    platform::UnixOdbc odbc;
    history::OdbcSettings page(odbc, nodeconfig::EnsureHistorySection);
    const bool keepLocalhost = parsed.has("--force");
    const auto checked = history::checkHistorySettingChanges(page, file, changes, keepLocalhost);
    if (!checked)
        return io.fail(checked.error().message);
    if (const int snapped = snapshotBeforeChange(context, io, commandOrigin("odbc set", args)); snapped != kExitSuccess)
        return snapped;
    const auto applied = history::applyHistorySettingChanges(page, file, changes, keepLocalhost);
    if (!applied)
        return io.fail(applied.error().message);
    const HistorySettings& now = checked->settings;
    return reportChange(io,
        now.active ? "The history database is " + history::describeHistoryDatabase(now) + "."
                   : std::string("The history database is off."));
}

int test(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    const HistorySettings stored = history::storedHistorySettings(nodeCfgPath(context));
    if (stored.driver.empty() || stored.server.empty())
        return io.fail("No history database is set: tavox-admin odbc set gives one.");
    if (!stored.active)
        io.out << "The history database is off (\"Active SQL\"); testing its stored settings.\n";
    platform::UnixOdbc odbc;
    const auto connected = history::testHistoryDatabase(odbc, stored);
    if (!connected)
        return io.fail(
            "Cannot connect to " + history::describeHistoryDatabase(stored) + ": " + connected.error().message);
    io.out << "Connected to " << history::describeHistoryDatabase(stored) << ".\n";
    return kExitSuccess;
}

constexpr CommandForm kForms[] = {
    { "show",
        "",
        kJsonForList,
        "Shows the history database settings of the ODBC Database page as stored in the node configuration "
        "file; the password only as set or not.",
        show },
    { "set",
        "",
        kSetOptions,
        "Changes the settings as the page's fields would be changed and applies them with the page's checks: "
        "with \"Active SQL\" on, driver, server, port, user, password (not for MSSQL) and database must not be "
        "blank. Settings not given keep what the page shows.",
        set,
        "odbc set takes options only" },
    { "test",
        "",
        {},
        "Connects to the history database with the stored settings, as the server does, and says whether it "
        "answers and, if not, why.",
        test },
};

} // namespace

const CommandFamily kOdbcFamily {
    "show, set or test the history database connection",
    kForms,
    "The settings are the keys of the section [HistorizedtoODBCSQL] of the node configuration file's settings "
    "block. The password is stored there as plain text, as the page stores it.",
};

} // namespace admin
