#include "TavoxServer.h"

#include "DemoSetup.h"
#include "PortListener.h"
#include "support/WholeFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

using namespace tavoxserver;

namespace {

TEST(TavoxServerTest, StartsWithADemoStoreAndPublishesItsEndpoints)
{
    struct Case {
        const char* what;
        std::uint32_t authentication;
        bool https;
    };
    for (const Case& c : { Case { "HTTPS off", 0x02, false }, Case { "HTTPS on", 0x22, true } }) {
        SCOPED_TRACE(c.what);
        DemoSetup demo(c.authentication);
        demo.setDword(ServerKey::kSqlServerStatus, 1);
        demo.setString(ServerKey::kHttpsUri, "https://stale:1");
        std::ostringstream log;
        TavoxServer server(log, demo.machineStore());
        server.setEngine({ "node", kFakeEngineFolder });

        ASSERT_TRUE(server.start()) << log.str();
        EXPECT_EQ(demo.string(ServerKey::kUaTcpUri), "<missing>") << "nothing is published before the engine listens";
        ASSERT_EQ(server.startEngine(-1), TavoxServer::EngineStart::Listening) << log.str();
        const std::string host = testHostName();
        EXPECT_EQ(demo.string(ServerKey::kUaTcpUri), "opc.tcp://" + host + ":" + std::to_string(demo.tcpPort()));
        EXPECT_EQ(demo.string(ServerKey::kHttpsUri),
            c.https ? "https://" + host + ":" + std::to_string(demo.httpsPort()) : "");
        EXPECT_EQ(demo.dword(ServerKey::kSqlServerStatus), 0u);
        EXPECT_TRUE(isListening(demo.tcpPort()));
        EXPECT_EQ(isListening(demo.httpsPort()), c.https);
        for (const char* line : { "tavox-server: running\n",
                 "the policy Basic128Rsa15 is not offered",
                 "the Windows account logon is not offered on Linux",
                 "tavox-server: engine listening: opc.tcp://" })
            EXPECT_NE(log.str().find(line), std::string::npos) << line << "\n" << log.str();
        EXPECT_EQ(log.str().find("the HTTPS transport is not served") != std::string::npos, c.https);

        demo.setDword(ServerKey::kSqlServerStatus, 1);
        EXPECT_TRUE(server.stop("SIGTERM"));
        EXPECT_EQ(demo.dword(ServerKey::kSqlServerStatus), 0u);
        EXPECT_FALSE(isListening(demo.tcpPort()));
    }
}

TEST(TavoxServerTest, StartFailsWithAClearLine)
{
    struct Case {
        const char* what;
        std::function<void(DemoSetup&, PortListener&)> arrange;
        std::string line;
    };
    const std::vector<Case> cases = {
        { "no store",
            [](DemoSetup& d, PortListener&) { std::filesystem::remove(d.store()); },
            "cannot open the key SOFTWARE\\MORVANE\\Tavox Server in the settings store" },
        { "no service directory",
            [](DemoSetup& d, PortListener&) { d.remove(ServerKey::kServicePath); },
            "names no service directory (\"ServicePath\")" },
        { "no node configuration file",
            [](DemoSetup& d, PortListener&) { std::filesystem::remove(d.nodeConfig()); },
            "NodeConfig.xml: No such file or directory." },
        { "not well-formed",
            [](DemoSetup& d, PortListener&) { d.writeNodeConfig("<UANodeSet><UAVariable></UANodeSet>"); },
            "does not read: line 1: Opening and ending tag mismatch: UAVariable line 1 and UANodeSet." },
        { "a pipe",
            [](DemoSetup& d, PortListener&) {
                std::filesystem::remove(d.nodeConfig());
                ASSERT_EQ(::mkfifo(d.nodeConfig().c_str(), 0600), 0);
            },
            "NodeConfig.xml: it is not a regular file." },
        { "too large",
            [](DemoSetup& d, PortListener&) {
                std::filesystem::resize_file(d.nodeConfig(), support::kMaxWholeFileBytes + 1);
            },
            "NodeConfig.xml: it is larger than 64 MiB." },
        { "not a nodeset",
            [](DemoSetup& d, PortListener&) { d.writeNodeConfig("<?xml version=\"1.0\"?><Other/>"); },
            "does not read: root XML element name is not UANodeSet (0x80AB0000)." },
        { "a node that does not read",
            [](DemoSetup& d, PortListener&) {
                d.writeNodeConfig("<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">"
                                  "<UAVariable NodeId=\"ns=1;i=1\" BrowseName=\"1:A\"/>"
                                  "<UAVariable NodeId=\"ns=1;i=1\" BrowseName=\"1:B\"/></UANodeSet>");
            },
            "does not read: parsing node fails" },
        { "external entity",
            [](DemoSetup& d, PortListener&) {
                d.writeNodeConfig(
                    "<!DOCTYPE UANodeSet [<!ENTITY e SYSTEM \"http://example.invalid/x\">]>"
                    "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">&e;</UANodeSet>");
            },
            "does not read: line 1: the document type declares an entity." },
        { "UA TCP port in use",
            [](DemoSetup& d, PortListener& l) { ASSERT_TRUE(l.listen(d.tcpPort(), "test").ok()); },
            "(UA TCP) is in use by another program." },
        { "HTTPS port in use",
            [](DemoSetup& d, PortListener& l) {
                d.setDword(ServerKey::kAuthentication, 0x22);
                ASSERT_TRUE(l.listen(d.httpsPort(), "test").ok());
            },
            "(HTTPS) is in use by another program." },
        { "one port for both",
            [](DemoSetup& d, PortListener&) {
                d.setDword(ServerKey::kAuthentication, 0x22);
                d.setDword(ServerKey::kHttpsPort, d.tcpPort());
            },
            "the UA TCP and HTTPS endpoints are both set to port" },
        { "port 0",
            [](DemoSetup& d, PortListener&) { d.setDword(ServerKey::kUaTcpPort, 0); },
            "the UA TCP port 0 is not a port number" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DemoSetup demo;
        PortListener occupied;
        c.arrange(demo, occupied);
        std::ostringstream log;
        TavoxServer server(log, demo.machineStore());
        EXPECT_FALSE(server.start());
        EXPECT_NE(log.str().find("tavox-server: cannot start: "), std::string::npos) << log.str();
        EXPECT_NE(log.str().find(c.line), std::string::npos) << log.str();
        EXPECT_EQ(demo.string(ServerKey::kUaTcpUri), "<missing>") << "a failed start publishes nothing";
        if (std::string(c.what) == "HTTPS port in use") {
            EXPECT_FALSE(isListening(demo.tcpPort())) << "ports bound before the failure are released";
        }
    }
}

} // namespace

namespace {

TEST(TavoxServerTest, LogsTheAlarmsOfTheBlockAndSkipsThoseWithLimitsThatAreNoNumbers)
{
    DemoSetup demo;
    std::ifstream tank(std::filesystem::path(TAVOX_TEST_DATA_DIR) / "nodeconfig" / "Tank.xml", std::ios::binary);
    std::string file(std::istreambuf_iterator<char>(tank), {});
    // The engine finds the variables by namespace URI: ns=2 needs one.
    file.replace(file.find("<Uri>"), 0, "<Uri>urn:tavox:tests:other</Uri>");
    demo.writeNodeConfig(file);
    std::ostringstream log;
    TavoxServer server(log, demo.machineStore());
    server.setEngine({ "node", kFakeEngineFolder });
    ASSERT_TRUE(server.start()) << log.str();
    ASSERT_EQ(server.startEngine(-1), TavoxServer::EngineStart::Listening) << log.str();
    // What the engine wrote after "listening" is read by the time it has stopped.
    EXPECT_TRUE(server.stop("SIGTERM"));
    const std::string text = log.str();
    for (const char* line : {
             "tavox-server: alarm on ns=2;s=Tank.Level: high-high 95, high 90, low 10, low-low 5\n",
             "tavox-server: alarm on ns=2;s=Pump.Running: when true\n",
             "tavox-server: warning: alarm on ns=2;s=Tank.Temperature skipped: limits \"7O\", \"-40000\" are not "
             "numbers of type Int16\n",
             "tavox-server: 2 variables historized (kept in memory)\n",
             "tavox-server: engine: hand-off: port ",
             ", users none, 2 alarms, 2 historized, pki ",
             // The stand-in engine reports the first alarm it was handed as raised.
             "tavox-server: alarm on ns=2;s=Tank.Level: High (value 91.5)\n",
             "tavox-server: running\n",
         })
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(text.find("alarm on ns=2;s=Tank.Temperature:"), std::string::npos)
        << "the skipped alarm is not monitored";
}

} // namespace
