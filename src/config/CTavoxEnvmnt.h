#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class SettingsStore;
} // namespace platform

/// Stateless operations on the server's machine settings key (ServerKey::kPath) of the machine
/// store it is handed.
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
    /// The store must outlive the object.
    explicit CTavoxEnvmnt(const platform::SettingsStore& machine)
        : m_machine(&machine)
    {
    }

    /// The service directory ("ServicePath", which ends with a path separator). False, with a
    /// diagnostic, when the key cannot be opened or the value is unreadable or empty; `dir`
    /// is left untouched then.
    bool GetAppPath(std::u16string& dir) const;

    /// "UaTcpUri" and "HttpsUri"; empty when missing, unreadable or empty. A key that cannot
    /// be opened also writes a diagnostic.
    std::u16string GetUaTcpAddr() const;
    std::u16string GetHttpsUri() const;

    /// "NodeCfg", or "NodeConfig.xml" when it is missing, unreadable or empty. No diagnostic.
    std::u16string GetNodeCfgName() const;
    /// "ServiceCfg", or "ServerConfig.xml" when it is missing, unreadable or empty. No diagnostic.
    std::u16string GetServiceCfgName() const;

    /// The service directory immediately followed by the node configuration file name. No
    /// separator is inserted, and without a readable directory the bare file name results.
    std::u16string GetNodeCfgPath() const;

    /// "SecurityMode", 7 when unreadable.
    std::uint32_t ReadSecurityMode() const;

    /// "Authentication" OR 0x02; 0x02 when unreadable. Silent.
    std::uint32_t ReadAuthentication() const;
    /// Stores `flags` OR 0x02. False when the key cannot be opened for writing or the write fails.
    bool WriteAuthentication(std::uint32_t flags) const;

    /// "UaTcpPort" and "HttpsPort", 48010 and 48011 when unreadable.
    std::uint32_t ReadUaTcpPort() const;
    std::uint32_t ReadHttpsPort() const;

    /// Each write opens the key for writing on its own. The Endpoints page ignores the
    /// result; false means the key could not be opened for writing or the write failed.
    bool WriteUaTcpPort(std::uint32_t port) const;
    bool WriteHttpsPort(std::uint32_t port) const;
    bool WriteSecurityMode(std::uint32_t mode) const;

    /// "SQLServerStatus" as the server keeps it (1 while connected to the history database);
    /// 0 when unreadable.
    std::uint32_t ReadSqlServerStatus() const;

    /// A REG_DWORD value of the server key, `fallback` when the key or the value cannot be read
    /// or the value is not a 4-byte REG_DWORD.
    std::uint32_t ReadDword(std::string_view name, std::uint32_t fallback) const;
    /// Writes a REG_DWORD value of the server key; never creates the key.
    bool WriteDword(std::string_view name, std::uint32_t value) const;

private:
    const platform::SettingsStore* m_machine;
};
