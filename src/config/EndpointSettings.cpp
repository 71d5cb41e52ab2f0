#include "config/EndpointSettings.h"

#include "config/AuthenticationFlags.h"
#include "support/TextCodec.h"

#include <unistd.h>

#include <climits>
#include <string>
#include <utility>

namespace {

constexpr std::uint32_t kSecurityNone = 0x01;
// Ports are refused from this value up, compared as unsigned so that negatives are refused too.
constexpr std::uint32_t kPortLimit = 65535;

std::u16string url(std::u16string_view scheme, std::u16string_view computerName, std::uint32_t port)
{
    // The port is formatted as a signed decimal number, as the stored value is printed.
    const std::string number = std::to_string(static_cast<std::int32_t>(port));
    std::u16string text(scheme);
    text += computerName;
    text += u':';
    text += support::utf8ToUtf16(number);
    return text;
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r'; }

} // namespace

EndpointSettings::Shown EndpointSettings::load() const
{
    Shown shown;
    const std::uint32_t authentication = m_server.ReadAuthentication();
    shown.computerName = computerName();
    shown.uaTcpPort = m_server.ReadUaTcpPort();
    shown.httpsPort = m_server.ReadHttpsPort();
    shown.securityNone = (m_server.ReadSecurityMode() & kSecurityNone) != 0;
    shown.https = (authentication & auth_flags::kHttps) != 0;
    shown.uaTcpUrl = uaTcpUrl(shown.computerName, shown.uaTcpPort);
    shown.httpsUrl = httpsUrl(shown.computerName, shown.httpsPort);
    return shown;
}

support::Result<void> EndpointSettings::apply(const Edited& edited) const
{
    const int uaTcpPort = portFromText(edited.uaTcpPortText);
    const int httpsPort = portFromText(edited.httpsPortText);
    if (const Check check = validate(edited.https, uaTcpPort, httpsPort); check != Check::Ok)
        return support::Error::invalidInput(std::string(message(check)));
    const std::pair<const char*, bool> written[] = {
        { "SecurityMode",
            m_server.WriteSecurityMode(securityModeWith(m_server.ReadSecurityMode(), edited.securityNone)) },
        { "Authentication",
            m_server.WriteAuthentication(authenticationWith(m_server.ReadAuthentication(), edited.https)) },
        { "UaTcpPort", m_server.WriteUaTcpPort(static_cast<std::uint32_t>(uaTcpPort)) },
        { "HttpsPort", m_server.WriteHttpsPort(static_cast<std::uint32_t>(httpsPort)) },
    };
    std::string failed;
    for (const auto& [name, stored] : written) {
        if (!stored)
            failed += (failed.empty() ? "" : ", ") + std::string(name);
    }
    if (!failed.empty())
        return support::Error { support::ErrorKind::System, "cannot store the endpoint values " + failed };
    return {};
}

std::string_view EndpointSettings::message(Check check)
{
    if (check == Check::SamePorts)
        return "The two ports of UA TCP and HTTPS should not be the same.\nPlease reset it!";
    if (check == Check::PortTooLarge)
        return "The port of UA TCP or HTTPS should be less than 63335.\nPlease reset it!";
    return {};
}

EndpointSettings::Check EndpointSettings::validate(bool https, int uaTcpPort, int httpsPort)
{
    if (https && uaTcpPort == httpsPort)
        return Check::SamePorts;
    if (static_cast<std::uint32_t>(uaTcpPort) >= kPortLimit || static_cast<std::uint32_t>(httpsPort) >= kPortLimit)
        return Check::PortTooLarge;
    return Check::Ok;
}

int EndpointSettings::portFromText(std::u16string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1; // saturated; more digits change nothing
    }
    if (negative)
        return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::uint32_t EndpointSettings::securityModeWith(std::uint32_t stored, bool securityNone)
{
    return auth_flags::withBit(stored, kSecurityNone, securityNone);
}

std::uint32_t EndpointSettings::authenticationWith(std::uint32_t stored, bool https)
{
    return auth_flags::withBit(stored | auth_flags::kEndpointsSaved, auth_flags::kHttps, https);
}

std::u16string EndpointSettings::uaTcpUrl(std::u16string_view computerName, std::uint32_t port)
{
    return url(u"opc.tcp://", computerName, port);
}

std::u16string EndpointSettings::httpsUrl(std::u16string_view computerName, std::uint32_t port)
{
    return url(u"https://", computerName, port);
}

std::u16string EndpointSettings::computerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof(name) - 1) != 0)
        return {};
    return support::utf8ToUtf16(name);
}
