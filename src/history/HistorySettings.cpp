#include "history/HistorySettings.h"

#include "platform/PrivateProfile.h"
#include "platform/ProfileText.h"
#include "support/TextCodec.h"

#include <string>
#include <vector>

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

/// A key as the page writes it: its name, the label of the field it comes from (none for the
/// keys the page composes) and the value as 8-bit text.
struct HistoryKey {
    std::string_view name;
    std::u16string_view label;
    std::string value;
};

std::vector<HistoryKey> historyKeys(const HistorySettings& settings)
{
    using support::utf16ToUtf8;
    const std::u16string active = (settings.active ? u"1," : u"0,")
        + std::u16string(1, static_cast<char16_t>(u'0' + static_cast<int>(settings.type)));
    return {
        { "SQLTYPE", {}, utf16ToUtf8(sqlTypeName(settings.type)) },
        { "DRIVER", u"SQL Driver:", utf16ToUtf8(settings.driver) },
        { "SERVER", u"Server:", utf16ToUtf8(settings.server) },
        { "PORT", u"Port:", utf16ToUtf8(settings.port) },
        { "UID", u"User:", utf16ToUtf8(settings.user) },
        { "PWD", u"Password:", utf16ToUtf8(settings.password) },
        { "DATABASE", u"Database:", utf16ToUtf8(settings.database) },
        { "DSN", {}, settings.active ? "ACTIVE" : "" },
        { "ACTIVE", {}, utf16ToUtf8(active) },
    };
}

} // namespace

std::u16string_view sqlTypeName(SqlType type)
{
    if (type == SqlType::MySql)
        return u"MySQL";
    if (type == SqlType::MsSql)
        return u"MSSQL";
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
    if (type == SqlType::MySql)
        return u"MySQL";
    if (type == SqlType::MsSql)
        return u"SQL Server";
    return {};
}

bool StoredHistoryKeys::isActive() const { return !active.empty() && active.front() == u'1'; }

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

std::optional<std::u16string_view> UnwritableHistoryField(const HistorySettings& settings)
{
    const std::string section = support::utf16ToUtf8(kHistorySection);
    for (const HistoryKey& key : historyKeys(settings)) {
        if (!platform::profile_text::isWritable(section, key.name, key.value))
            return key.label;
    }
    return std::nullopt;
}

bool writeHistoryKeys(const std::filesystem::path& nodeCfgPath, const HistorySettings& settings)
{
    std::vector<platform::ProfileKeyValue> values;
    const std::vector<HistoryKey> keys = historyKeys(settings);
    for (const HistoryKey& key : keys)
        values.push_back({ key.name, key.value });
    return platform::writeProfileStrings(nodeCfgPath, support::utf16ToUtf8(kHistorySection), values);
}

} // namespace history
