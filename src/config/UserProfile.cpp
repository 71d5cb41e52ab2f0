#include "config/UserProfile.h"

#include "platform/SettingsStore.h"

#include <vector>

using platform::RegAccess;
using platform::RegistryKey;
using platform::RegStatus;

UserProfile::UserProfile(const platform::SettingsStore& user, std::string company, std::string application)
    : m_user(&user)
    , m_company(std::move(company))
    , m_application(std::move(application))
{
}

UserProfile UserProfile::utility(const platform::SettingsStore& user)
{
    return UserProfile(user, "MORVANE", "Tavox Utility");
}

std::string UserProfile::sectionKey(std::string_view section) const
{
    return "Software\\" + m_company + "\\" + m_application + "\\" + std::string(section);
}

std::u16string
UserProfile::getString(std::string_view section, std::string_view entry, std::u16string_view fallback) const
{
    RegistryKey key;
    if (m_user->open(key, sectionKey(section), RegAccess::Read) != RegStatus::Success)
        return std::u16string(fallback);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (key.queryValue(entry, type, data) != RegStatus::Success || !platform::isRegString(type))
        return std::u16string(fallback);
    return platform::regSzText(data.data(), data.size());
}

bool UserProfile::writeString(std::string_view section, std::string_view entry, std::u16string_view value) const
{
    const std::string keyPath = sectionKey(section);
    RegistryKey key;
    RegStatus status = m_user->open(key, keyPath, RegAccess::Write);
    if (status == RegStatus::NotFound) {
        if (m_user->createKey(keyPath) != RegStatus::Success)
            return false;
        status = m_user->open(key, keyPath, RegAccess::Write);
    }
    if (status != RegStatus::Success)
        return false;
    const auto bytes = platform::regSzBytes(value);
    return key.setValue(entry, platform::kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size()))
        == RegStatus::Success;
}
