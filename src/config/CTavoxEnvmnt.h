#pragma once

#include <cstdint>
#include <string>
#include <string_view>

/// Stateless operations on the server's machine settings key (ServerKey::kPath).
///
/// Every call opens the key, handles one value and closes it again; nothing is cached, so
/// each read sees what is stored at that moment. The key is never created here: without it
/// the reads return their defaults and the writes do nothing.
///
/// Text is UTF-16 (std::u16string), as the store keeps it and the user interface shows it;
/// callers that need 8-bit text convert with support::utf16ToUtf8.
///
/// String values hold at most 511 characters: a longer one, one of a non-string type, or one
/// that is not terminated within its 1024 bytes reads as missing. DWORD values must be
/// REG_DWORD of exactly 4 bytes, else they read as missing. Diagnostics go to
/// support::debugOutput, one line each, and are never shown to the user.
class CTavoxEnvmnt {
public:
    /// The service directory ("ServicePath", which ends with a path separator). False, with a
    /// diagnostic, when the key cannot be opened or the value is unreadable or empty; `dir`
    /// is left untouched then.
    static bool GetAppPath(std::u16string& dir);

    /// "UaTcpUri" and "HttpsUri"; empty when missing, unreadable or empty. A key that cannot
    /// be opened also writes a diagnostic.
    static std::u16string GetUaTcpAddr();
    static std::u16string GetHttpsUri();

    /// "NodeCfg", or "NodeConfig.xml" when it is missing, unreadable or empty. No diagnostic.
    static std::u16string GetNodeCfgName();
    /// "ServiceCfg", or "ServerConfig.xml" when it is missing, unreadable or empty. No diagnostic.
    static std::u16string GetServiceCfgName();

    /// The service directory immediately followed by the node configuration file name. No
    /// separator is inserted, and without a readable directory the bare file name results.
    static std::u16string GetNodeCfgPath();

    /// "SecurityMode", 7 when unreadable.
    static std::uint32_t ReadSecurityMode();

    /// "Authentication" OR 0x02; 0x02 when unreadable. Silent.
    static std::uint32_t ReadAuthentication();
    /// Stores `flags` OR 0x02. False when the key cannot be opened for writing or the write fails.
    static bool WriteAuthentication(std::uint32_t flags);

    /// "UaTcpPort" and "HttpsPort", 48010 and 48011 when unreadable.
    static std::uint32_t ReadUaTcpPort();
    static std::uint32_t ReadHttpsPort();

    /// Each write opens the key for writing on its own. The Endpoints page ignores the
    /// result; false means the key could not be opened for writing or the write failed.
    static bool WriteUaTcpPort(std::uint32_t port);
    static bool WriteHttpsPort(std::uint32_t port);
    static bool WriteSecurityMode(std::uint32_t mode);

    /// "SQLServerStatus" as the server keeps it (1 while connected to the history database);
    /// 0 when unreadable.
    static std::uint32_t ReadSqlServerStatus();

    /// A REG_DWORD value of the server key, `fallback` when the key or the value cannot be read
    /// or the value is not a 4-byte REG_DWORD.
    static std::uint32_t ReadDword(std::string_view name, std::uint32_t fallback);
    /// Writes a REG_DWORD value of the server key; never creates the key.
    static bool WriteDword(std::string_view name, std::uint32_t value);
};
