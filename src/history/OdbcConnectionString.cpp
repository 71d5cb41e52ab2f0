#include "history/OdbcConnectionString.h"

namespace history::connection_string {
namespace {

// A value ends at its first NUL, as the stored key reads: passed on, the NUL would end the whole
// connection string there and drop the attributes after it.
std::u16string_view upToNul(std::u16string_view value) { return value.substr(0, value.find(u'\0')); }

// The inside of a braced value: a "}" is written twice.
std::u16string escapedForBraces(std::u16string_view value)
{
    std::u16string out;
    out.reserve(value.size() + 2);
    for (char16_t c : value) {
        out += c;
        if (c == u'}')
            out += u'}';
    }
    return out;
}

void appendAttribute(std::u16string& out, std::u16string_view name, std::u16string_view value)
{
    out += name;
    out += u'=';
    out += attributeValue(value);
    out += u';';
}

std::u16string driverAttribute(std::u16string_view driver)
{
    return u"DRIVER={" + escapedForBraces(upToNul(driver)) + u"}";
}

} // namespace

std::u16string attributeValue(std::u16string_view value)
{
    value = upToNul(value);
    if (value.find_first_of(u";{}") == std::u16string_view::npos)
        return std::u16string(value);
    // Appended piece by piece: GCC 12 misreads u"{" + string as overlapping copies (-Wrestrict).
    std::u16string braced = u"{";
    braced += escapedForBraces(value);
    braced += u"}";
    return braced;
}

std::u16string forServerBrowse(std::u16string_view driver) { return driverAttribute(driver); }

std::u16string forMySqlDatabases(const HistorySettings& settings)
{
    std::u16string out = driverAttribute(settings.driver) + u";";
    appendAttribute(out, u"SERVER", settings.server);
    appendAttribute(out, u"PORT", settings.port);
    appendAttribute(out, u"UID", settings.user);
    appendAttribute(out, u"PWD", settings.password);
    return out;
}

std::u16string forMsSqlDatabaseBrowse(const HistorySettings& settings)
{
    std::u16string out = driverAttribute(settings.driver) + u";";
    appendAttribute(out, u"SERVER", settings.server);
    appendAttribute(out, u"UID", settings.user);
    appendAttribute(out, u"PWD", settings.password);
    out += u"Trusted_Connection=yes";
    return out;
}

std::u16string forHistoryDatabase(const HistorySettings& settings)
{
    std::u16string out = driverAttribute(settings.driver) + u";";
    appendAttribute(out, u"SERVER", settings.server);
    if (!settings.port.empty())
        appendAttribute(out, u"PORT", settings.port);
    appendAttribute(out, u"UID", settings.user);
    appendAttribute(out, u"PWD", settings.password);
    appendAttribute(out, u"DATABASE", settings.database);
    return out;
}

} // namespace history::connection_string
