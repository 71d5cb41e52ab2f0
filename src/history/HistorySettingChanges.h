#pragma once

#include "history/HistorySettings.h"
#include "support/Result.h"

#include <filesystem>
#include <optional>
#include <string>

namespace history {

class OdbcSettings;

/// The fields of the ODBC Database page that an edit sets; the others keep what the page shows
/// when it loads.
struct HistorySettingChanges {
    std::optional<bool> active;
    std::optional<SqlType> type;
    std::optional<std::u16string> driver;
    std::optional<std::u16string> server;
    std::optional<std::u16string> port;
    std::optional<std::u16string> user;
    std::optional<std::u16string> password;
    std::optional<std::u16string> database;
};

/// What the page shows after loading with the changes made as the administrator would make them
/// in its controls: a new type fills the driver list anew and leaves the driver to be chosen; a
/// driver is chosen from the installed drivers of the type only. Refused (with the page's message where
/// it has one) when a type has no driver or the driver is not offered.
support::Result<HistorySettings> changedHistorySettings(const OdbcSettings& odbc,
    const std::filesystem::path& nodeCfgPath,
    const HistorySettingChanges& changes);

/// Changed settings that pass the page's setting check.
struct CheckedHistorySettings {
    HistorySettings settings;
    /// The localhost question was answered Yes: the page asks for the restart question.
    bool restartRequested = false;
};

/// The changed settings under the setting check of the page's apply, which writes nothing. The
/// localhost question is answered with `keepLocalhost`; answered No, the refusal says so.
support::Result<CheckedHistorySettings> checkHistorySettingChanges(const OdbcSettings& odbc,
    const std::filesystem::path& nodeCfgPath,
    const HistorySettingChanges& changes,
    bool keepLocalhost);

/// checkHistorySettingChanges, then the page's apply of the settings. True in the result when
/// the page would ask for the restart question.
support::Result<bool> applyHistorySettingChanges(OdbcSettings& odbc,
    const std::filesystem::path& nodeCfgPath,
    const HistorySettingChanges& changes,
    bool keepLocalhost);

} // namespace history
