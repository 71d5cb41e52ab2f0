#include "config/CTavoxEnvmnt.h"

#include "config/ServerKey.h"
#include "platform/SettingsStore.h"
#include "support/DebugOutput.h"

#include <array>

using platform::RegAccess;
using platform::RegistryKey;
using platform::RegStatus;

namespace {

// Reads a string value (REG_SZ, or REG_EXPAND_SZ as stored) as the Windows call does into a
// zero-filled 1024-byte buffer. A value that fills the buffer without a terminating NUL reads as
// missing rather than running past it.
bool readString(const RegistryKey& key, std::string_view name, std::u16string& text)
{
    std::array<std::uint8_t, ServerKey::kStringBufferBytes> buffer {};
    std::uint32_t size = ServerKey::kStringBufferBytes;
    std::uint32_t type = 0;
    if (key.queryValue(name, &type, buffer.data(), &size) != RegStatus::Success || !platform::isRegString(type))
        return false;
    std::u16string result;
    for (std::size_t i = 0; i + 1 < buffer.size(); i += 2) {
        const auto unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
        if (unit == 0) {
            text = std::move(result);
            return true;
        }
        result.push_back(unit);
    }
    return false;
}

std::u16string orDefault(std::u16string text, std::u16string_view fallback)
{
    return text.empty() ? std::u16string(fallback) : text;
}

bool openServerKey(const platform::SettingsStore& machine, RegistryKey& key, RegAccess access)
{
    return machine.open(key, ServerKey::kPath, access) == RegStatus::Success;
}

// One string value of the server key; empty when the key or the value cannot be read. The
// operation name is the one its diagnostic carries, or empty for a silent read.
std::u16string
readStringOrEmpty(const platform::SettingsStore& machine, std::string_view name, std::string_view operation)
{
    RegistryKey key;
    if (!openServerKey(machine, key, RegAccess::Read)) {
        if (!operation.empty())
            support::debugOutput("CTavoxEnvmnt: " + std::string(operation) + " failed. Can't open registry.");
        return {};
    }
    std::u16string text;
    if (!readString(key, name, text))
        return {};
    return text;
}

} // namespace

bool CTavoxEnvmnt::GetAppPath(std::u16string& dir) const
{
    RegistryKey key;
    if (!openServerKey(*m_machine, key, RegAccess::Read)) {
        support::debugOutput("CTavoxEnvmnt: GetAppPath failed. Can't open registry.");
        return false;
    }
    std::u16string text;
    if (!readString(key, ServerKey::kServicePath, text)) {
        support::debugOutput("CTavoxEnvmnt: GetAppPath failed. Can't query the ServicePath.");
        return false;
    }
    if (text.empty()) {
        support::debugOutput("CTavoxEnvmnt: GetAppPath failed. The length of ServicePath is empty.");
        return false;
    }
    dir = std::move(text);
    return true;
}

std::u16string CTavoxEnvmnt::GetUaTcpAddr() const
{
    return readStringOrEmpty(*m_machine, ServerKey::kUaTcpUri, "GetUaTcpAddr");
}

std::u16string CTavoxEnvmnt::GetHttpsUri() const
{
    return readStringOrEmpty(*m_machine, ServerKey::kHttpsUri, "GetHttpsUri");
}

std::u16string CTavoxEnvmnt::GetNodeCfgName() const
{
    return orDefault(readStringOrEmpty(*m_machine, ServerKey::kNodeCfg, {}), ServerKey::kDefaultNodeCfg);
}

std::u16string CTavoxEnvmnt::GetServiceCfgName() const
{
    return orDefault(readStringOrEmpty(*m_machine, ServerKey::kServiceCfg, {}), ServerKey::kDefaultServiceCfg);
}

std::u16string CTavoxEnvmnt::GetNodeCfgPath() const
{
    // The directory carries its own trailing separator; a failed read leaves it empty and the
    // bare file name results, as callers expect.
    std::u16string dir;
    (void)GetAppPath(dir);
    return dir + GetNodeCfgName();
}

std::uint32_t CTavoxEnvmnt::ReadSecurityMode() const
{
    return ReadDword(ServerKey::kSecurityMode, ServerKey::kDefaultSecurityMode);
}

std::uint32_t CTavoxEnvmnt::ReadAuthentication() const
{
    return ReadDword(ServerKey::kAuthentication, ServerKey::kAuthenticationForced) | ServerKey::kAuthenticationForced;
}

bool CTavoxEnvmnt::WriteAuthentication(std::uint32_t flags) const
{
    return WriteDword(ServerKey::kAuthentication, flags | ServerKey::kAuthenticationForced);
}

std::uint32_t CTavoxEnvmnt::ReadUaTcpPort() const
{
    return ReadDword(ServerKey::kUaTcpPort, ServerKey::kDefaultUaTcpPort);
}

std::uint32_t CTavoxEnvmnt::ReadHttpsPort() const
{
    return ReadDword(ServerKey::kHttpsPort, ServerKey::kDefaultHttpsPort);
}

bool CTavoxEnvmnt::WriteUaTcpPort(std::uint32_t port) const { return WriteDword(ServerKey::kUaTcpPort, port); }

bool CTavoxEnvmnt::WriteHttpsPort(std::uint32_t port) const { return WriteDword(ServerKey::kHttpsPort, port); }

bool CTavoxEnvmnt::WriteSecurityMode(std::uint32_t mode) const { return WriteDword(ServerKey::kSecurityMode, mode); }

std::uint32_t CTavoxEnvmnt::ReadSqlServerStatus() const
{
    return ReadDword(ServerKey::kSqlServerStatus, ServerKey::kDefaultSqlServerStatus);
}

std::uint32_t CTavoxEnvmnt::ReadDword(std::string_view name, std::uint32_t fallback) const
{
    RegistryKey key;
    if (!openServerKey(*m_machine, key, RegAccess::Read))
        return fallback;
    std::array<std::uint8_t, 4> bytes {};
    std::uint32_t size = 4;
    std::uint32_t type = 0;
    // A shorter value would leave part of the word unset; any other type is not a number.
    if (key.queryValue(name, &type, bytes.data(), &size) != RegStatus::Success || type != platform::kRegDword
        || size != 4)
        return fallback;
    return platform::regDwordValue(bytes.data());
}

bool CTavoxEnvmnt::WriteDword(std::string_view name, std::uint32_t value) const
{
    RegistryKey key;
    if (!openServerKey(*m_machine, key, RegAccess::Write))
        return false;
    const auto bytes = platform::regDwordBytes(value);
    return key.setValue(name, platform::kRegDword, bytes.data(), 4) == RegStatus::Success;
}
