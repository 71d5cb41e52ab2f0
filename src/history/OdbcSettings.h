#pragma once

#include "history/HistorySettings.h"
#include "history/OdbcNotices.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class OdbcDriverManager;
class OdbcEnvironment;
} // namespace platform

namespace history {

/// What loading the stored settings gives the page.
struct LoadedSettings {
    /// A type is stored but no driver for it is installed: the page warns (noDriverFound),
    /// disables "Active SQL" and takes nothing else from here.
    bool noDriver = false;
    /// The stored settings; `driver` is the selected entry of `drivers`.
    HistorySettings settings;
    /// The "SQL Driver:" list.
    std::vector<std::u16string> drivers;
    /// The selected entry of `drivers`, -1 for none.
    int selectedDriver = -1;
};

/// The result of a server or database browse.
struct BrowseResult {
    /// A message shown instead of browsing (a required field is empty).
    UserMessage refusal;
    /// The new content of the list, which is emptied in any case.
    std::vector<std::u16string> choices;
    /// Whether the list is dropped open.
    bool dropDown = false;
};

/// The outcome of a setting check, or of an apply.
struct ApplyOutcome {
    bool passed = false;
    /// The failure message to show; empty for a failure without one (the localhost question
    /// answered No) and for success.
    UserMessage failure;
    /// The localhost question was answered No: "Server:" is emptied and gets the focus.
    bool serverCleared = false;
    /// The localhost question was answered Yes: the page asks the sheet for its restart question.
    bool restartRequested = false;
};

/// The logic of the ODBC Database page: driver discovery, loading, the server and database
/// browses and the apply of the history database settings to the node configuration file's
/// "[HistorizedtoODBCSQL]" section. The ODBC environment of the last browse is kept until the
/// next browse that opens one, or until the object goes.
class OdbcSettings {
public:
    /// `ensureHistorySection` makes the node configuration file ready for the keys (see
    /// EnsureHistorySectionFn); it runs on every apply that passes the check.
    OdbcSettings(platform::OdbcDriverManager& odbc, EnsureHistorySectionFn ensureHistorySection);
    ~OdbcSettings();
    OdbcSettings(const OdbcSettings&) = delete;
    OdbcSettings& operator=(const OdbcSettings&) = delete;

    /// The installed drivers offered for `type`; none for SqlType::None.
    std::vector<std::u16string> FillDriverList(SqlType type) const;

    /// Reads the section. A stored "SQLTYPE" of exactly "MySQL" or "MSSQL" selects the type
    /// and discovers its drivers; the stored driver is selected when it is in the list, and
    /// otherwise appended, with the first entry selected. An empty "PORT" shows as "3306".
    LoadedSettings LoadSettings(const std::filesystem::path& nodeCfgPath) const;

    /// Lists the servers that the MSSQL driver offers; for other types the list is only
    /// emptied. Refused without a driver. ODBC failures leave the list empty and show nothing.
    BrowseResult BrowseServers(const HistorySettings& shown);
    /// Lists the databases of the server: "show databases" for MySQL, the driver's browse for
    /// MSSQL. Refused when driver, server, port, user or password is empty. ODBC failures
    /// leave the list empty and show nothing.
    BrowseResult BrowseDatabases(const HistorySettings& shown);

    /// The checks of apply, in order: the file opens for reading and writing; with "Active
    /// SQL" checked, driver and server are not blank (empty or one space), "127.0.0.1" is
    /// confirmed through `continueWithLocalhost`, port, user, password (not for MSSQL) and
    /// database are not blank and a type is selected; then, "Active SQL" checked or not, every
    /// value can be stored in the file (valueNotWritable names the first that cannot).
    ApplyOutcome CheckSettings(const HistorySettings& shown,
        const std::filesystem::path& nodeCfgPath,
        const std::function<bool()>& continueWithLocalhost) const;

    /// CheckSettings, then the history section is made sure of and the nine keys are written in
    /// one replacement of the file. Nothing is written when the check fails; a file that cannot
    /// be changed gives fileNotWritten.
    ApplyOutcome Apply(const HistorySettings& shown,
        const std::filesystem::path& nodeCfgPath,
        const std::function<bool()>& continueWithLocalhost);

    /// Whether the environment of a browse is kept.
    bool hasEnvironment() const { return m_environment != nullptr; }

private:
    /// CheckSettings without the check that every value can be stored.
    ApplyOutcome checkFields(const HistorySettings& shown,
        const std::filesystem::path& nodeCfgPath,
        const std::function<bool()>& continueWithLocalhost) const;
    /// A new environment for a browse, replacing the last one; false when it cannot be had.
    bool renewEnvironment(const char* operation);

    platform::OdbcDriverManager& m_odbc;
    EnsureHistorySectionFn m_ensureHistorySection;
    std::unique_ptr<platform::OdbcEnvironment> m_environment;
};

/// A field counts as blank when it is empty or exactly one space.
bool isBlank(std::u16string_view field);

} // namespace history
