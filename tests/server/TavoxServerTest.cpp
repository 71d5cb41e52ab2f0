#include "TavoxServer.h"

#include "DemoSetup.h"
#include "PortListener.h"

#include <gtest/gtest.h>

#include <functional>
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
    for (const Case& c : {Case{"HTTPS off", 0x02, false}, Case{"HTTPS on", 0x22, true}}) {
        SCOPED_TRACE(c.what);
        DemoSetup demo(c.authentication);
        demo.setDword(ServerKey::kSqlServerStatus, 1);
        demo.setString(ServerKey::kHttpsUri, "https://stale:1");
        std::ostringstream log;
        TavoxServer server(log, demo.machineStore());

        ASSERT_TRUE(server.start()) << log.str();
        const std::string host = testHostName();
        EXPECT_EQ(demo.string(ServerKey::kUaTcpUri), "opc.tcp://" + host + ":" + std::to_string(demo.tcpPort()));
        EXPECT_EQ(demo.string(ServerKey::kHttpsUri),
            c.https ? "https://" + host + ":" + std::to_string(demo.httpsPort()) : "");
        EXPECT_EQ(demo.dword(ServerKey::kSqlServerStatus), 0u);
        EXPECT_TRUE(isListening(demo.tcpPort()));
        EXPECT_EQ(isListening(demo.httpsPort()), c.https);
        EXPECT_NE(log.str().find("tavox-server: running\n"), std::string::npos) << log.str();

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
        {"no store", [](DemoSetup& d, PortListener&) { std::filesystem::remove(d.store()); },
            "cannot open the key SOFTWARE\\MORVANE\\Tavox Server in the settings store"},
        {"no service directory", [](DemoSetup& d, PortListener&) { d.remove(ServerKey::kServicePath); },
            "names no service directory (\"ServicePath\")"},
        {"no node configuration file", [](DemoSetup& d, PortListener&) { std::filesystem::remove(d.nodeConfig()); },
            "NodeConfig.xml: No such file or directory."},
        {"not well-formed",
            [](DemoSetup& d, PortListener&) { d.writeNodeConfig("<UANodeSet><UAVariable></UANodeSet>"); },
            "does not read: cannot load XML file (0x80AB0000)."},
        {"not a nodeset", [](DemoSetup& d, PortListener&) { d.writeNodeConfig("<?xml version=\"1.0\"?><Other/>"); },
            "does not read: root XML element name is not UANodeSet (0x80AB0000)."},
        {"a node that does not read",
            [](DemoSetup& d, PortListener&) {
                d.writeNodeConfig("<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">"
                                  "<UAVariable NodeId=\"ns=1;i=1\" BrowseName=\"1:A\"/>"
                                  "<UAVariable NodeId=\"ns=1;i=1\" BrowseName=\"1:B\"/></UANodeSet>");
            },
            "does not read: parsing node fails"},
        {"external entity", [](DemoSetup& d, PortListener&) {
             d.writeNodeConfig("<!DOCTYPE UANodeSet [<!ENTITY e SYSTEM \"http://example.invalid/x\">]>"
                               "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">&e;</UANodeSet>");
         },
            ""},
        {"UA TCP port in use", [](DemoSetup& d, PortListener& l) { ASSERT_TRUE(l.listen(d.tcpPort(), "test").ok()); },
            "(UA TCP) is in use by another program."},
        {"HTTPS port in use",
            [](DemoSetup& d, PortListener& l) {
                d.setDword(ServerKey::kAuthentication, 0x22);
                ASSERT_TRUE(l.listen(d.httpsPort(), "test").ok());
            },
            "(HTTPS) is in use by another program."},
        {"one port for both", [](DemoSetup& d, PortListener&) {
             d.setDword(ServerKey::kAuthentication, 0x22);
             d.setDword(ServerKey::kHttpsPort, d.tcpPort());
         },
            "the UA TCP and HTTPS endpoints are both set to port"},
        {"port 0", [](DemoSetup& d, PortListener&) { d.setDword(ServerKey::kUaTcpPort, 0); },
            "the UA TCP port 0 is not a port number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DemoSetup demo;
        PortListener occupied;
        c.arrange(demo, occupied);
        std::ostringstream log;
        TavoxServer server(log, demo.machineStore());
        if (c.line.empty()) {
            // Entities are kept, not fetched: the file reads without the network.
            EXPECT_TRUE(server.start()) << log.str();
            continue;
        }
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
