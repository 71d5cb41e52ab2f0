#include "config/EndpointSettings.h"

#include "support/ServerKeyStore.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace {

using Check = EndpointSettings::Check;

TEST(EndpointSettingsTest, PortTextsConvertAsTheCLibraryDoes)
{
    const std::pair<std::u16string, int> cases[] = {
        {u"", 0},
        {u"48010", 48010},
        {u"007", 7},
        {u"  12", 12},
        {u"12ab", 12},
        {u"ab12", 0},
        {u"+5", 5},
        {u"-1", -1},
        {u"2147483647", INT_MAX},
        {u"2147483648", INT_MAX},
        {u"4294967297", INT_MAX},
        {u"99999999999999999999999", INT_MAX},
        {u"-2147483648", INT_MIN},
        {u"-99999999999", INT_MIN},
    };
    for (const auto& [text, port] : cases)
        EXPECT_EQ(EndpointSettings::portFromText(text), port) << std::string(text.begin(), text.end());
}

TEST(EndpointSettingsTest, PortChecksComeInOrder)
{
    const struct {
        bool https;
        int uaTcp, httpsPort;
        Check expected;
    } cases[] = {
        {true, 48010, 48010, Check::SamePorts},
        {false, 48010, 48010, Check::Ok},
        {true, 0, 0, Check::SamePorts},
        {true, 70000, 70000, Check::SamePorts},
        {true, 65534, 48011, Check::Ok},
        {true, 63335, 48011, Check::Ok},
        {false, 0, 0, Check::Ok},
        {true, 65535, 48011, Check::PortTooLarge},
        {false, 48010, 65535, Check::PortTooLarge},
        {true, -1, 48011, Check::PortTooLarge},
        {false, INT_MAX, 1, Check::PortTooLarge},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EndpointSettings::validate(c.https, c.uaTcp, c.httpsPort), c.expected)
            << c.https << " " << c.uaTcp << " " << c.httpsPort;
}

TEST(EndpointSettingsTest, HugePortTextIsRefusedNotWrapped)
{
    ServerKeyStore server;
    EXPECT_EQ(EndpointSettings::apply({false, true, u"4294967297", u"48011"}), Check::PortTooLarge);
    EXPECT_FALSE(server.dword("UaTcpPort"));
}

TEST(EndpointSettingsTest, ApplyKeepsForeignBitsAndStoresPorts)
{
    const struct {
        std::optional<std::uint32_t> securityMode, authentication;
        EndpointSettings::Edited edited;
        std::uint32_t securityModeWritten, authenticationWritten, uaTcpWritten, httpsWritten;
    } cases[] = {
        {7, 0x2F, {false, false, u"4840", u""}, 6, 0x1F, 4840, 0},
        {std::nullopt, std::nullopt, {true, true, u"48010", u"443"}, 7, 0x32, 48010, 443},
        {0x100, 0x02, {true, true, u"1", u"2"}, 0x101, 0x32, 1, 2},
        {0xFFFFFFFF, 0xFFFFFFFF, {false, true, u"5", u"5"}, 0xFFFFFFFF, 0xFFFFFFDF, 5, 5},
    };
    for (const auto& c : cases) {
        ServerKeyStore server;
        if (c.securityMode)
            server.setDword("SecurityMode", *c.securityMode);
        if (c.authentication)
            server.setDword("Authentication", *c.authentication);
        ASSERT_EQ(EndpointSettings::apply(c.edited), Check::Ok);
        EXPECT_EQ(server.dword("SecurityMode"), c.securityModeWritten);
        EXPECT_EQ(server.dword("Authentication"), c.authenticationWritten);
        EXPECT_EQ(server.dword("UaTcpPort"), c.uaTcpWritten);
        EXPECT_EQ(server.dword("HttpsPort"), c.httpsWritten);
    }
}

TEST(EndpointSettingsTest, RefusedApplyStoresNothing)
{
    ServerKeyStore server;
    EXPECT_EQ(EndpointSettings::apply({true, false, u"48010", u"48010"}), Check::SamePorts);
    EXPECT_EQ(EndpointSettings::apply({false, false, u"65535", u"1"}), Check::PortTooLarge);
    for (const char* name : {"SecurityMode", "Authentication", "UaTcpPort", "HttpsPort"})
        EXPECT_FALSE(server.raw(name)) << name;
}

TEST(EndpointSettingsTest, LoadShowsStoredValuesOrDefaults)
{
    ServerKeyStore server;
    const std::u16string host = EndpointSettings::computerName();
    ASSERT_FALSE(host.empty());

    EndpointSettings::Shown shown = EndpointSettings::load();
    EXPECT_EQ(shown.computerName, host);
    EXPECT_EQ(shown.uaTcpPort, 48010u);
    EXPECT_EQ(shown.httpsPort, 48011u);
    EXPECT_TRUE(shown.securityNone);
    EXPECT_FALSE(shown.https);
    EXPECT_EQ(shown.uaTcpUrl, u"opc.tcp://" + host + u":48010");
    EXPECT_EQ(shown.httpsUrl, u"https://" + host + u":48011");

    server.setDword("UaTcpPort", 4840);
    server.setDword("HttpsPort", 443);
    server.setDword("SecurityMode", 6);
    server.setDword("Authentication", 0x20);
    shown = EndpointSettings::load();
    EXPECT_FALSE(shown.securityNone);
    EXPECT_TRUE(shown.https);
    EXPECT_EQ(shown.uaTcpUrl, u"opc.tcp://" + host + u":4840");
    EXPECT_EQ(shown.httpsUrl, u"https://" + host + u":443");
}

} // namespace
