#include "history/HistorySettings.h"

#include "platform/PrivateProfile.h"

#include <string>

namespace history {
namespace {

constexpr std::uint32_t kProfileBufferChars = 260;
constexpr std::u16string_view kNotAvailable = u"N/A";

std::u16string readKey(const std::filesystem::path& file, std::u16string_view key, std::u16string_view fallback)
{
    char16_t buffer[kProfileBufferChars];
    const std::uint32_t length
        = platform::getPrivateProfileString(kHistorySection, key, fallback, buffer, kProfileBufferChars, file);
    return std::u16string(buffer, length);
}

} // namespace

std::u16string_view sqlTypeName(SqlType type)
{
    switch (type) {
    case SqlType::MySql:
        return u"MySQL";
    case SqlType::MsSql:
        return u"MSSQL";
    case SqlType::None:
        break;
    }
    return {};
}

SqlType sqlTypeFromName(std::u16string_view name)
{
    if (name == u"MySQL")
        return SqlType::MySql;
    if (name == u"MSSQL")
        return SqlType::MsSql;
    return SqlType::None;
}

std::u16string_view driverKeyword(SqlType type)
{
    switch (type) {
    case SqlType::MySql:
        return u"MySQL";
    case SqlType::MsSql:
        return u"SQL Server";
    case SqlType::None:
        break;
    }
    return {};
}

bool StoredHistoryKeys::isActive() const
{
    return !active.empty() && active.front() == u'1';
}

StoredHistoryKeys readHistoryKeys(const std::filesystem::path& nodeCfgPath)
{
    StoredHistoryKeys keys;
    keys.sqlType = readKey(nodeCfgPath, u"SQLTYPE", kNotAvailable);
    keys.driver = readKey(nodeCfgPath, u"DRIVER", u"");
    keys.server = readKey(nodeCfgPath, u"SERVER", u"");
    keys.port = readKey(nodeCfgPath, u"PORT", u"");
    keys.uid = readKey(nodeCfgPath, u"UID", u"");
    keys.pwd = readKey(nodeCfgPath, u"PWD", u"");
    keys.database = readKey(nodeCfgPath, u"DATABASE", u"");
    keys.active = readKey(nodeCfgPath, u"ACTIVE", u"0,0");
    return keys;
}

bool writeHistoryKeys(const std::filesystem::path& nodeCfgPath, const HistorySettings& settings)
{
    const std::u16string active = (settings.active ? u"1," : u"0,")
        + std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(settings.type)));
    const std::pair<std::u16string_view, std::u16string_view> keys[] = {
        {u"SQLTYPE", sqlTypeName(settings.type)},
        {u"DRIVER", settings.driver},
        {u"SERVER", settings.server},
        {u"PORT", settings.port},
        {u"UID", settings.user},
        {u"PWD", settings.password},
        {u"DATABASE", settings.database},
        {u"DSN", settings.active ? u"ACTIVE" : u""},
        {u"ACTIVE", active},
    };
    for (const auto& [key, value] : keys) {
        if (!platform::writePrivateProfileString(kHistorySection, key, value, nodeCfgPath))
            return false;
    }
    return true;
}

} // namespace history
