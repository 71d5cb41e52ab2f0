#pragma once

#include <cstdint>
#include <string_view>

/// The server's machine settings key and the names and defaults of the values under it.
/// Everything that reads or writes the server's settings (the utility's pages, the daemon,
/// the admin tool) takes the names from here.
struct ServerKey {
    /// Under HKEY_LOCAL_MACHINE, i.e. the machine settings store.
    static constexpr std::string_view kPath = "SOFTWARE\\MORVANE\\Tavox Server";

    static constexpr std::string_view kServicePath = "ServicePath";
    static constexpr std::string_view kNodeCfg = "NodeCfg";
    static constexpr std::string_view kServiceCfg = "ServiceCfg";
    static constexpr std::string_view kUaTcpUri = "UaTcpUri";
    static constexpr std::string_view kHttpsUri = "HttpsUri";
    static constexpr std::string_view kUaTcpPort = "UaTcpPort";
    static constexpr std::string_view kHttpsPort = "HttpsPort";
    static constexpr std::string_view kSecurityMode = "SecurityMode";
    static constexpr std::string_view kAuthentication = "Authentication";
    static constexpr std::string_view kUsrAuth = "UsrAuth";
    static constexpr std::string_view kRootAuth = "RootAuth";
    static constexpr std::string_view kSqlServerStatus = "SQLServerStatus";
    /// Written by administrators only: how many history values the daemon's spool holds.
    static constexpr std::string_view kHistorySpoolLimit = "HistorySpoolLimit";

    static constexpr std::u16string_view kDefaultNodeCfg = u"NodeConfig.xml";
    static constexpr std::u16string_view kDefaultServiceCfg = u"ServerConfig.xml";
    static constexpr std::uint32_t kDefaultUaTcpPort = 48010;
    static constexpr std::uint32_t kDefaultHttpsPort = 48011;
    static constexpr std::uint32_t kDefaultSecurityMode = 7;
    /// Bit 0x02 of "Authentication" is set on every read and every write.
    static constexpr std::uint32_t kAuthenticationForced = 0x02;
    static constexpr std::uint32_t kDefaultSqlServerStatus = 0;
    /// About 2 GB of disk.
    static constexpr std::uint32_t kDefaultHistorySpoolLimit = 10'000'000;

    /// String values are read into a 1024-byte buffer: 511 UTF-16 units and the terminating NUL.
    static constexpr std::uint32_t kStringBufferBytes = 1024;
};
