#include "ServerUsers.h"

#include "config/ServerKey.h"
#include "platform/SettingsStore.h"
#include "support/TextCodec.h"
#include "users/CTavoxUsrAuth.h"
#include "users/Latin1Text.h"

#include <algorithm>
#include <cstring>

namespace tavoxserver {
namespace {

constexpr std::size_t kDigestLength = 32;

bool isDigest(std::string_view text)
{
    return text.size() == kDigestLength && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

std::string storedDigest(const UsrAuthEntry& entry)
{
    const std::size_t length = ::strnlen(entry.password, sizeof entry.password);
    return std::string(entry.password, length);
}

std::optional<std::string> readRootDigest(const platform::SettingsStore& machine, std::vector<std::string>& warnings)
{
    platform::RegistryKey key;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (machine.open(key, ServerKey::kPath, platform::RegAccess::Read) != platform::RegStatus::Success
        || key.queryValue(ServerKey::kRootAuth, type, data) != platform::RegStatus::Success)
        return std::nullopt;
    std::string digest(data.begin(), data.end());
    if (!isDigest(digest)) {
        warnings.push_back("the stored root password (\"RootAuth\") is not a digest of 32 hexadecimal digits: root "
                           "cannot log on");
        return std::nullopt;
    }
    return digest;
}

} // namespace

ServerUsers readServerUsers(const platform::SettingsStore& machine)
{
    ServerUsers result;
    UsrAuthTable table {};
    CTavoxUsrAuth(machine).GetAllUserAuth(table);
    for (std::size_t slot = 0; slot < table.size(); ++slot) {
        const UsrAuthEntry& entry = table[slot];
        if (isFreeSlot(entry))
            continue;
        const std::string_view name = entryName(entry);
        const std::string utf8 = support::utf16ToUtf8(latin1::toUtf16(name));
        const std::string where = "user \"" + utf8 + "\" (slot " + std::to_string(slot + 1) + ") skipped: ";
        if (name.size() == sizeof entry.name) {
            result.warnings.push_back(where + "its name has no end within 31 characters");
            continue;
        }
        std::string digest = storedDigest(entry);
        if (!isDigest(digest)) {
            result.warnings.push_back(where + "its stored password is not a digest of 32 hexadecimal digits");
            continue;
        }
        result.users.push_back({ utf8,
            std::move(digest),
            isReadGranted(entry.rights),
            isWriteGranted(entry.rights),
            isExecutableGranted(entry.rights) });
    }
    result.rootDigest = readRootDigest(machine, result.warnings);
    return result;
}

} // namespace tavoxserver
