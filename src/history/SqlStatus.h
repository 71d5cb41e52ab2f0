#pragma once

#include <cstdint>
#include <string_view>

namespace history {

/// The server's connection to the history database as the ODBC Database page shows it: the
/// stored "SQLServerStatus" counts only while the service runs (`running`); 1 is connected.
constexpr bool sqlConnected(bool running, std::uint32_t storedStatus) { return running && storedStatus == 1; }

/// The page's connection label for `connected`.
constexpr std::string_view sqlStatusText(bool connected)
{
    return connected ? "SQL Server is Connecting" : "SQL Server is Disconnection";
}

} // namespace history
