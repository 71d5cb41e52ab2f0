#include "config/CTavoxEnvmnt.h"
#include "config/EndpointSettings.h"

#include "config/ServerKey.h"
#include "platform/Registry.h"
#include "support/DebugOutput.h"
#include "testing/TempStores.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

using namespace platform;
using support::ScopedDebugCapture;

namespace {

struct Stored {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
};

Stored sz(std::u16string_view text) { return { kRegSz, regSzBytes(text) }; }

Stored dword(std::uint32_t value)
{
    const auto bytes = regDwordBytes(value);
    return { kRegDword, { bytes.begin(), bytes.end() } };
}

Stored binary(std::vector<std::uint8_t> bytes) { return { kRegBinary, std::move(bytes) }; }

std::vector<std::uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

class CTavoxEnvmntTest : public ::testing::Test {
protected:
    void createKey() { ASSERT_EQ(RegistryKey::createKey(m_stores.machine(), ServerKey::kPath), RegStatus::Success); }

    void store(std::string_view name, const Stored& value)
    {
        RegistryKey key;
        ASSERT_EQ(key.open(m_stores.machine(), ServerKey::kPath, RegAccess::Write), RegStatus::Success);
        ASSERT_EQ(key.setValue(name, value.type, value.data.data(), static_cast<std::uint32_t>(value.data.size())),
            RegStatus::Success);
    }

    std::optional<Stored> stored(std::string_view name)
    {
        RegistryKey key;
        if (key.open(m_stores.machine(), ServerKey::kPath, RegAccess::Read) != RegStatus::Success)
            return std::nullopt;
        Stored value {};
        if (key.queryValue(name, value.type, value.data) != RegStatus::Success)
            return std::nullopt;
        return value;
    }

    void makeReadOnly() { std::filesystem::permissions(m_stores.machine(), std::filesystem::perms::owner_read); }

    TempDir m_dir;
    TempStores m_stores { m_dir };
    const CTavoxEnvmnt m_server { m_stores.machineStore() };
};

TEST_F(CTavoxEnvmntTest, StringValuesFallBackToTheirDefaults)
{
    const std::u16string longest(511, u'n');
    struct Case {
        const char* what;
        std::optional<Stored> nodeCfg; // nullopt: no value stored
        std::u16string expected;
    };
    std::vector<std::uint8_t> unterminated(1024, 'a');
    const Case cases[] = {
        { "missing", std::nullopt, u"NodeConfig.xml" },
        { "empty", sz(u""), u"NodeConfig.xml" },
        { "stored", sz(u"Plant.xml"), u"Plant.xml" },
        { "stored as REG_EXPAND_SZ, unexpanded", Stored { kRegExpandSz, regSzBytes(u"%P%.xml") }, u"%P%.xml" },
        { "511 characters fit", sz(longest), longest },
        { "600 characters are too long", sz(std::u16string(600, u'n')), u"NodeConfig.xml" },
        { "unterminated in the whole buffer", Stored { kRegSz, unterminated }, u"NodeConfig.xml" },
        { "binary", binary({ 'a', 0, 0, 0 }), u"NodeConfig.xml" },
        { "dword", dword(0x41), u"NodeConfig.xml" },
        { "odd length", Stored { kRegSz, { 'a', 0, 'b' } }, u"ab" },
        { "text after the NUL is ignored", Stored { kRegSz, { 'a', 0, 0, 0, 'b', 0 } }, u"a" },
    };
    createKey();
    for (const Case& c : cases) {
        {
            RegistryKey key;
            ASSERT_EQ(key.open(m_stores.machine(), ServerKey::kPath, RegAccess::Write), RegStatus::Success);
            (void)key.deleteValue("NodeCfg");
            (void)key.deleteValue("ServiceCfg");
            (void)key.deleteValue("UaTcpUri");
        }
        if (c.nodeCfg) {
            store("NodeCfg", *c.nodeCfg);
            store("ServiceCfg", *c.nodeCfg);
            store("UaTcpUri", *c.nodeCfg);
        }
        ScopedDebugCapture capture;
        EXPECT_EQ(m_server.GetNodeCfgName(), c.expected) << c.what;
        const std::u16string serviceCfg = c.expected == u"NodeConfig.xml" ? u"ServerConfig.xml" : c.expected;
        EXPECT_EQ(m_server.GetServiceCfgName(), serviceCfg) << c.what;
        const std::u16string uri = c.expected == u"NodeConfig.xml" ? u"" : c.expected;
        EXPECT_EQ(m_server.GetUaTcpAddr(), uri) << c.what;
        EXPECT_EQ(capture.text(), "") << c.what;
    }
}

TEST_F(CTavoxEnvmntTest, GetAppPathReportsWhyItFailed)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        const char* diagnostic; // nullptr: success
    };
    const Case cases[] = {
        { "no store", [] {}, "CTavoxEnvmnt: GetAppPath failed. Can't open registry." },
        { "foreign store",
            [&] { std::ofstream(m_stores.machine()) << "SQLite format 3 but not really"; },
            "CTavoxEnvmnt: GetAppPath failed. Can't open registry." },
        { "no key",
            [&] { ASSERT_EQ(RegistryKey::createKey(m_stores.machine(), "SOFTWARE\\Other"), RegStatus::Success); },
            "CTavoxEnvmnt: GetAppPath failed. Can't open registry." },
        { "no value", [&] { createKey(); }, "CTavoxEnvmnt: GetAppPath failed. Can't query the ServicePath." },
        { "too long",
            [&] { createKey(), store("ServicePath", sz(std::u16string(600, u'd'))); },
            "CTavoxEnvmnt: GetAppPath failed. Can't query the ServicePath." },
        { "wrong type",
            [&] { createKey(), store("ServicePath", dword(7)); },
            "CTavoxEnvmnt: GetAppPath failed. Can't query the ServicePath." },
        { "empty",
            [&] { createKey(), store("ServicePath", sz(u"")); },
            "CTavoxEnvmnt: GetAppPath failed. The length of ServicePath is empty." },
        { "stored", [&] { createKey(), store("ServicePath", sz(u"/opt/tavox/")); }, nullptr },
        { "imported as REG_EXPAND_SZ",
            [&] {
                createKey(), store("ServicePath", Stored { kRegExpandSz, regSzBytes(u"/opt/tavox/") });
            },
            nullptr },
    };
    for (const Case& c : cases) {
        std::filesystem::remove(m_stores.machine());
        c.arrange();
        std::u16string dir = u"untouched";
        ScopedDebugCapture capture;
        const bool ok = m_server.GetAppPath(dir);
        if (c.diagnostic) {
            EXPECT_FALSE(ok) << c.what;
            EXPECT_EQ(dir, u"untouched") << c.what;
            EXPECT_EQ(capture.text(), std::string(c.diagnostic) + "\n") << c.what;
        } else {
            EXPECT_TRUE(ok) << c.what;
            EXPECT_EQ(dir, u"/opt/tavox/") << c.what;
            EXPECT_EQ(capture.text(), "") << c.what;
        }
    }
}

TEST_F(CTavoxEnvmntTest, NodeConfigPathIsComposedWithoutASeparator)
{
    struct Case {
        std::optional<std::u16string> servicePath;
        std::optional<std::u16string> nodeCfg;
        std::u16string expected;
    };
    const Case cases[] = {
        { u"/srv/tavox/", u"Plant.xml", u"/srv/tavox/Plant.xml" },
        { u"/srv/tavox", u"a.xml", u"/srv/tavoxa.xml" },
        { u"/srv/tavox/", u"", u"/srv/tavox/NodeConfig.xml" },
        { u"/srv/tavox/", std::nullopt, u"/srv/tavox/NodeConfig.xml" },
        { std::nullopt, u"Plant.xml", u"Plant.xml" },
        { std::nullopt, std::nullopt, u"NodeConfig.xml" },
    };
    for (const Case& c : cases) {
        std::filesystem::remove(m_stores.machine());
        createKey();
        if (c.servicePath)
            store("ServicePath", sz(*c.servicePath));
        if (c.nodeCfg)
            store("NodeCfg", sz(*c.nodeCfg));
        ScopedDebugCapture quiet;
        EXPECT_EQ(m_server.GetNodeCfgPath(), c.expected);
    }
    std::filesystem::remove(m_stores.machine());
    ScopedDebugCapture capture;
    EXPECT_EQ(m_server.GetNodeCfgPath(), u"NodeConfig.xml") << "a missing key gives the bare default name";
    EXPECT_EQ(capture.text(), "CTavoxEnvmnt: GetAppPath failed. Can't open registry.\n");
}

TEST_F(CTavoxEnvmntTest, DwordValuesFallBackToTheirDefaults)
{
    struct Case {
        const char* what;
        std::optional<Stored> value;
        std::uint32_t securityMode, authentication, uaTcpPort, httpsPort, sqlStatus;
    };
    const Case cases[] = {
        { "missing", std::nullopt, 7, 2, 48010, 48011, 0 },
        { "zero", dword(0), 0, 2, 0, 0, 0 },
        { "stored", dword(0x31), 0x31, 0x33, 0x31, 0x31, 0x31 },
        { "all bits", dword(0xFFFFFFFF), 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF },
        { "too short", Stored { kRegDword, { 1, 0 } }, 7, 2, 48010, 48011, 0 },
        { "too long", Stored { kRegDword, { 1, 0, 0, 0, 0, 0, 0, 0 } }, 7, 2, 48010, 48011, 0 },
        { "string", sz(u"1"), 7, 2, 48010, 48011, 0 },
        { "binary of four bytes", binary({ 1, 0, 0, 0 }), 7, 2, 48010, 48011, 0 },
    };
    createKey();
    for (const Case& c : cases) {
        for (const char* name : { "SecurityMode", "Authentication", "UaTcpPort", "HttpsPort", "SQLServerStatus" }) {
            RegistryKey key;
            ASSERT_EQ(key.open(m_stores.machine(), ServerKey::kPath, RegAccess::Write), RegStatus::Success);
            (void)key.deleteValue(name);
            key.close();
            if (c.value)
                store(name, *c.value);
        }
        ScopedDebugCapture capture;
        EXPECT_EQ(m_server.ReadSecurityMode(), c.securityMode) << c.what;
        EXPECT_EQ(m_server.ReadAuthentication(), c.authentication) << c.what;
        EXPECT_EQ(m_server.ReadUaTcpPort(), c.uaTcpPort) << c.what;
        EXPECT_EQ(m_server.ReadHttpsPort(), c.httpsPort) << c.what;
        EXPECT_EQ(m_server.ReadSqlServerStatus(), c.sqlStatus) << c.what;
        EXPECT_EQ(capture.text(), "") << c.what;
    }
}

TEST_F(CTavoxEnvmntTest, UnreadableStoresGiveDefaultsAndDiagnostics)
{
    const char* const contents[] = { "", "garbage that is no database", nullptr };
    for (const char* content : contents) {
        std::filesystem::remove(m_stores.machine());
        if (content)
            std::ofstream(m_stores.machine()) << content;
        ScopedDebugCapture capture;
        EXPECT_EQ(m_server.GetUaTcpAddr(), u"");
        EXPECT_EQ(m_server.GetHttpsUri(), u"");
        EXPECT_EQ(m_server.GetNodeCfgName(), u"NodeConfig.xml");
        EXPECT_EQ(m_server.GetServiceCfgName(), u"ServerConfig.xml");
        EXPECT_EQ(m_server.ReadSecurityMode(), 7u);
        EXPECT_EQ(m_server.ReadAuthentication(), 2u);
        EXPECT_EQ(capture.text(),
            "CTavoxEnvmnt: GetUaTcpAddr failed. Can't open registry.\n"
            "CTavoxEnvmnt: GetHttpsUri failed. Can't open registry.\n");
        EXPECT_FALSE(m_server.WriteAuthentication(1));
        EXPECT_FALSE(m_server.WriteUaTcpPort(1));
        if (content)
            EXPECT_EQ(readFile(m_stores.machine()), std::vector<std::uint8_t>(content, content + std::strlen(content)));
        else
            EXPECT_FALSE(std::filesystem::exists(m_stores.machine())) << "a write never creates the store";
    }
}

TEST_F(CTavoxEnvmntTest, WritesStoreFourByteWordsWithTheForcedBit)
{
    createKey();
    struct Case {
        std::function<bool()> write;
        const char* name;
        std::uint32_t expected;
    };
    const Case cases[] = {
        { [this] { return m_server.WriteAuthentication(0); }, "Authentication", 2 },
        { [this] { return m_server.WriteAuthentication(0x31); }, "Authentication", 0x33 },
        { [this] { return m_server.WriteUaTcpPort(4840); }, "UaTcpPort", 4840 },
        { [this] { return m_server.WriteHttpsPort(443); }, "HttpsPort", 443 },
        { [this] { return m_server.WriteSecurityMode(6); }, "SecurityMode", 6 },
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.write()) << c.name;
        const auto value = stored(c.name);
        ASSERT_TRUE(value) << c.name;
        EXPECT_EQ(value->type, kRegDword) << c.name;
        const auto bytes = regDwordBytes(c.expected);
        EXPECT_EQ(value->data, std::vector<std::uint8_t>(bytes.begin(), bytes.end())) << c.name;
    }
    EXPECT_EQ(m_server.ReadAuthentication(), 0x33u);
}

TEST_F(CTavoxEnvmntTest, ReadOnlyStoreIsReadButNeverWritten)
{
    createKey();
    store("UaTcpPort", dword(4840));
    store("Authentication", dword(0x12));
    makeReadOnly();
    const auto before = readFile(m_stores.machine());
    EXPECT_FALSE(m_server.WriteUaTcpPort(1));
    EXPECT_FALSE(m_server.WriteAuthentication(0));
    EXPECT_FALSE(m_server.WriteSecurityMode(0));
    const support::Result<void> applied = EndpointSettings(m_stores.machineStore()).apply({ false, true, u"1", u"2" });
    ASSERT_FALSE(applied.ok()) << "the Endpoints page's apply says that it stored nothing";
    EXPECT_EQ(
        applied.error().message, "cannot store the endpoint values SecurityMode, Authentication, UaTcpPort, HttpsPort");
    EXPECT_EQ(m_server.ReadUaTcpPort(), 4840u);
    EXPECT_EQ(m_server.ReadAuthentication(), 0x12u);
    EXPECT_EQ(m_server.ReadSecurityMode(), 7u);
    EXPECT_EQ(readFile(m_stores.machine()), before);
}

TEST_F(CTavoxEnvmntTest, WritesNeverCreateTheKey)
{
    ASSERT_EQ(RegistryKey::createKey(m_stores.machine(), "SOFTWARE\\MORVANE"), RegStatus::Success);
    EXPECT_FALSE(m_server.WriteAuthentication(2));
    RegistryKey key;
    EXPECT_EQ(key.open(m_stores.machine(), ServerKey::kPath, RegAccess::Read), RegStatus::NotFound);
}

} // namespace
