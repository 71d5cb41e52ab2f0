#pragma once

#include "config/ServerKey.h"
#include "platform/Registry.h"

#include "testing/LocalPorts.h"
#include "testing/TempStores.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

inline constexpr const char* kDemoNodeConfig
    = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\r\n"
      "  <NamespaceUris><Uri>urn:tavox:demo</Uri></NamespaceUris>\r\n"
      "  <UAVariable NodeId=\"ns=1;i=1001\" BrowseName=\"1:Temperature\" DataType=\"Double\"/>\r\n"
      "</UANodeSet>\r\n"
      "<!--\r\n"
      "[AlarmSourceNodes]\r\n"
      "[HistorizedtoODBCSQL]\r\n"
      "StartLogging=false\r\n"
      "-->";

/// The stand-in engine of the daemon's tests (see its server.js for what it can be made to do).
inline constexpr const char* kFakeEngineFolder = TAVOX_TEST_DATA_DIR "/engine";

/// A service directory with a node configuration file, and the machine store that the
/// server's setup would leave, on ports of its own. The server is handed machineStore(); a
/// server process gets its path in TAVOX_REGISTRY.
class DemoSetup {
public:
    explicit DemoSetup(std::uint32_t authentication = 0x02)
        : m_stores(m_dir)
        , m_serviceDir(m_dir / "srv")
        , m_tcpPort(freePort())
        , m_httpsPort(freePort())
    {
        while (m_httpsPort == m_tcpPort)
            m_httpsPort = freePort();
        std::filesystem::create_directory(m_serviceDir);
        writeNodeConfig(kDemoNodeConfig);
        EXPECT_EQ(platform::RegistryKey::createKey(store(), ServerKey::kPath), platform::RegStatus::Success);
        setString(ServerKey::kServicePath, m_serviceDir.string() + "/");
        setString(ServerKey::kNodeCfg, "NodeConfig.xml");
        setDword(ServerKey::kUaTcpPort, m_tcpPort);
        setDword(ServerKey::kHttpsPort, m_httpsPort);
        setDword(ServerKey::kAuthentication, authentication);
    }

    const std::filesystem::path& store() const { return m_stores.machine(); }
    const platform::SettingsStore& machineStore() const { return m_stores.machineStore(); }
    /// What a server process is started with to find the store, and the stand-in engine of
    /// tests/data/engine.
    std::vector<std::string> environment() const
    {
        return { "TAVOX_REGISTRY=" + store().string(), "TAVOX_ENGINE=" + std::string(kFakeEngineFolder) };
    }
    std::filesystem::path nodeConfig() const { return m_serviceDir / "NodeConfig.xml"; }
    std::uint16_t tcpPort() const { return m_tcpPort; }
    std::uint16_t httpsPort() const { return m_httpsPort; }

    void writeNodeConfig(const std::string& content) const { std::ofstream(nodeConfig(), std::ios::binary) << content; }

    void setString(std::string_view name, const std::string& text) const
    {
        const auto bytes = platform::regSzBytesFromUtf8(text);
        set(name, platform::kRegSz, bytes.data(), bytes.size());
    }
    void setDword(std::string_view name, std::uint32_t value) const
    {
        const auto bytes = platform::regDwordBytes(value);
        set(name, platform::kRegDword, bytes.data(), bytes.size());
    }
    void remove(std::string_view name) const
    {
        platform::RegistryKey key;
        ASSERT_EQ(key.open(store(), ServerKey::kPath, platform::RegAccess::Write), platform::RegStatus::Success);
        EXPECT_EQ(key.deleteValue(name), platform::RegStatus::Success);
    }

    /// A string value as stored, or "<missing>".
    std::string string(std::string_view name) const
    {
        platform::RegistryKey key;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (key.open(store(), ServerKey::kPath, platform::RegAccess::Read) != platform::RegStatus::Success
            || key.queryValue(name, type, data) != platform::RegStatus::Success || type != platform::kRegSz)
            return "<missing>";
        std::string text;
        for (char16_t c : platform::regSzText(data.data(), data.size()))
            text += static_cast<char>(c);
        return text;
    }
    /// A DWORD value as stored, or 0xFFFFFFFF when missing.
    std::uint32_t dword(std::string_view name) const
    {
        platform::RegistryKey key;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        if (key.open(store(), ServerKey::kPath, platform::RegAccess::Read) != platform::RegStatus::Success
            || key.queryValue(name, type, data) != platform::RegStatus::Success || data.size() != 4)
            return 0xFFFFFFFF;
        return platform::regDwordValue(data.data());
    }

private:
    void set(std::string_view name, std::uint32_t type, const std::uint8_t* data, std::size_t size) const
    {
        platform::RegistryKey key;
        ASSERT_EQ(key.open(store(), ServerKey::kPath, platform::RegAccess::Write), platform::RegStatus::Success);
        ASSERT_EQ(key.setValue(name, type, data, static_cast<std::uint32_t>(size)), platform::RegStatus::Success);
    }

    TempDir m_dir;
    TempStores m_stores;
    std::filesystem::path m_serviceDir;
    std::uint16_t m_tcpPort;
    std::uint16_t m_httpsPort;
};

inline std::string testHostName()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}
