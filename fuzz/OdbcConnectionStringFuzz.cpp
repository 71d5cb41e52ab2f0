// ODBC connection strings of the history database: the input is six UTF-16 values (driver,
// server, port, user, password, database), split at the code unit 0xFFFF, so that every other
// code unit, NUL included, may stand in a value. Each string must read back, as the driver
// manager reads a string that ends at its first NUL, into exactly the attributes it was built
// from, each with its value (a value reads up to its first NUL, as the stored key does): no
// value can end the string early or set another attribute.
#include "history/HistorySettings.h"
#include "history/OdbcConnectionString.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Attributes = std::vector<std::pair<std::u16string, std::u16string>>;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

/// The attributes of a connection string: "KEY=value" pairs separated by ";", a value in
/// braces read up to the "}" that is not doubled. Fails (false) on a braced value that does
/// not end, or text after the closing brace.
bool readAttributes(std::u16string_view text, Attributes& out)
{
    text = text.substr(0, text.find(u'\0'));
    while (!text.empty()) {
        const std::size_t equals = text.find(u'=');
        if (equals == std::u16string_view::npos)
            return false;
        std::u16string key(text.substr(0, equals));
        text.remove_prefix(equals + 1);
        std::u16string value;
        if (!text.empty() && text.front() == u'{') {
            std::size_t at = 1;
            for (;;) {
                if (at >= text.size())
                    return false;
                if (text[at] == u'}') {
                    if (at + 1 < text.size() && text[at + 1] == u'}') {
                        value += u'}';
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                value += text[at++];
            }
            text.remove_prefix(at);
            if (!text.empty() && text.front() != u';')
                return false;
        } else {
            const std::size_t end = text.find(u';');
            value = std::u16string(text.substr(0, end));
            text.remove_prefix(end == std::u16string_view::npos ? text.size() : end);
        }
        out.emplace_back(std::move(key), std::move(value));
        if (!text.empty())
            text.remove_prefix(1); // the ";"
    }
    return true;
}

std::u16string upToNul(std::u16string_view value) { return std::u16string(value.substr(0, value.find(u'\0'))); }

void checkReadsAs(const std::u16string& text, const Attributes& expected)
{
    Attributes read;
    check(readAttributes(text, read));
    check(read == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::u16string> fields(1);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit == 0xFFFF && fields.size() < 6)
            fields.emplace_back();
        else
            fields.back() += unit;
    }
    fields.resize(6);
    history::HistorySettings settings;
    settings.driver = fields[0];
    settings.server = fields[1];
    settings.port = fields[2];
    settings.user = fields[3];
    settings.password = fields[4];
    settings.database = fields[5];
    namespace cs = history::connection_string;
    const auto value = [](const std::u16string& field) { return upToNul(field); };

    for (const std::u16string& field : fields) {
        Attributes read;
        check(readAttributes(u"K=" + cs::attributeValue(field), read));
        check(read == Attributes { { u"K", value(field) } });
    }
    checkReadsAs(cs::forServerBrowse(settings.driver), { { u"DRIVER", value(settings.driver) } });
    checkReadsAs(cs::forMySqlDatabases(settings),
        { { u"DRIVER", value(settings.driver) },
            { u"SERVER", value(settings.server) },
            { u"PORT", value(settings.port) },
            { u"UID", value(settings.user) },
            { u"PWD", value(settings.password) } });
    checkReadsAs(cs::forMsSqlDatabaseBrowse(settings),
        { { u"DRIVER", value(settings.driver) },
            { u"SERVER", value(settings.server) },
            { u"UID", value(settings.user) },
            { u"PWD", value(settings.password) },
            { u"Trusted_Connection", u"yes" } });
    Attributes history { { u"DRIVER", value(settings.driver) }, { u"SERVER", value(settings.server) } };
    if (!settings.port.empty())
        history.emplace_back(u"PORT", value(settings.port));
    history.insert(history.end(),
        { { u"UID", value(settings.user) },
            { u"PWD", value(settings.password) },
            { u"DATABASE", value(settings.database) } });
    checkReadsAs(cs::forHistoryDatabase(settings), history);
    return 0;
}
