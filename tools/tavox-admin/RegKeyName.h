#pragma once

#include "platform/Registry.h"
#include "support/Result.h"

#include <string>
#include <string_view>

namespace admin {

/// A key written as the reg program writes it: a root (HKLM, HKEY_LOCAL_MACHINE, HKCU,
/// HKEY_CURRENT_USER, any case) and a subkey path, e.g. "HKLM\SOFTWARE\MORVANE\Tavox Server".
struct RegKeyName {
    platform::RegHive hive = platform::RegHive::LocalMachine;
    std::string subKey; ///< without leading or trailing backslashes

    /// "HKEY_LOCAL_MACHINE\<subKey>" or "HKEY_CURRENT_USER\<subKey>".
    std::string fullName() const;
    RegKeyName child(std::string_view name) const;
};

/// Refuses an unknown root, a missing subkey, empty path components and paths beyond the
/// registry's limits (key names of 255 characters, 512 levels, no NUL).
support::Result<RegKeyName> parseRegKeyName(std::string_view text);

} // namespace admin
