#include "users/CTavoxUsrAuth.h"

#include "config/ServerKey.h"
#include "platform/SettingsStore.h"
#include "support/DebugOutput.h"
#include "users/Latin1Text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

using platform::RegAccess;
using platform::RegistryKey;
using platform::RegStatus;

namespace {

constexpr std::size_t kDigestLength = 32;

// The digit table is a permutation of the ten digits, computed rather than kept as text so that
// it does not stand in the binary as a string. Every reader of the stored digests uses it.
const std::array<char, 10>& digitTable()
{
    static const std::array<char, 10> table = [] {
        std::array<char, 10> t {};
        for (int d = 0; d < 10; ++d)
            t[static_cast<std::size_t>(d)] = static_cast<char>('0' + (3 * d + 7) % 10);
        return t;
    }();
    return table;
}

// The store and the server both open the key for reading and writing; a store that may not
// be written therefore cannot be read either, as on the original platform.
RegStatus openServerKey(const platform::SettingsStore& machine, RegistryKey& key)
{
    return machine.open(key, ServerKey::kPath, RegAccess::ReadWrite);
}

} // namespace

CTavoxUsrAuth::CTavoxUsrAuth(const platform::SettingsStore& machine, Md5Function md5)
    : m_machine(&machine)
    , m_md5(md5)
{
}

bool CTavoxUsrAuth::EncryptMd5(const char* text, char* out) const
{
    if (!text || !out)
        return false;
    // The hash is taken in full before `out` is touched, so `out` may alias `text`.
    const support::Result<platform::Md5Digest> digest = m_md5(text, std::strlen(text));
    if (!digest) {
        support::debugOutput("CTavoxUsrAuth: EncryptMd5: " + digest.error().message + ".");
        return false;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    char hex[kDigestBufferSize];
    for (std::size_t i = 0; i < digest->size(); ++i) {
        hex[2 * i] = kHex[(*digest)[i] >> 4];
        hex[2 * i + 1] = kHex[(*digest)[i] & 0x0F];
    }
    hex[kDigestLength] = '\0';
    std::memcpy(out, hex, sizeof(hex));
    return true;
}

std::string_view CTavoxUsrAuth::DigitTable()
{
    const std::array<char, 10>& table = digitTable();
    return { table.data(), table.size() };
}

bool CTavoxUsrAuth::SubstituteDigits(char* text)
{
    if (!text)
        return false;
    const std::array<char, 10>& table = digitTable();
    for (char* p = text; *p; ++p) {
        if (*p >= '0' && *p <= '9')
            *p = table[static_cast<std::size_t>(*p - '0')];
    }
    return true;
}

bool CTavoxUsrAuth::MakeDigest(const char* text, char* out) const
{
    return EncryptMd5(text, out) && SubstituteDigits(out);
}

void CTavoxUsrAuth::GetAllUserAuth(UsrAuthTable& table) const
{
    RegistryKey key;
    if (openServerKey(*m_machine, key) != RegStatus::Success) {
        support::debugOutput("TavoxUsrAuth: GetAllUserAuth: RegOpenKeyEx failed.");
        table = UsrAuthTable {};
        return;
    }
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (key.queryValue(ServerKey::kUsrAuth, type, data) != RegStatus::Success)
        return;
    std::memcpy(table.data(), data.data(), std::min(data.size(), kUsrAuthBytes));
}

bool CTavoxUsrAuth::SetAllUserAuth(UsrAuthTable& table) const
{
    for (std::size_t k = 0; k < table.size(); ++k)
        table[k].index = static_cast<std::uint32_t>(k + 1);
    RegistryKey key;
    if (openServerKey(*m_machine, key) != RegStatus::Success) {
        support::debugOutput("TavoxUsrAuth: SetAllUserAuth: RegOpenKeyEx failed.");
        return false;
    }
    if (key.setValue(ServerKey::kUsrAuth, platform::kRegBinary, table.data(), static_cast<std::uint32_t>(kUsrAuthBytes))
        != RegStatus::Success) {
        support::debugOutput("TavoxUsrAuth: SetAllUserAuth: RegSetValueEx failed.");
        return false;
    }
    return true;
}

bool CTavoxUsrAuth::SetRootAuth(std::u16string_view password) const
{
    const std::optional<std::string> bytes = latin1::fromUtf16(password);
    if (!bytes) {
        support::debugOutput("TavoxUsrAuth: SetRootAuth failed. The password has characters beyond U+00FF.");
        return false;
    }
    char digest[kDigestBufferSize];
    if (!MakeDigest(bytes->c_str(), digest))
        return false;
    RegistryKey key;
    if (openServerKey(*m_machine, key) != RegStatus::Success) {
        support::debugOutput("TavoxUsrAuth: SetRootAuth: RegOpenKeyEx failed.");
        return false;
    }
    if (key.setValue(ServerKey::kRootAuth, platform::kRegBinary, digest, static_cast<std::uint32_t>(kDigestLength))
        != RegStatus::Success) {
        support::debugOutput("TavoxUsrAuth: SetRootAuth: RegSetValueEx failed.");
        return false;
    }
    return true;
}
