#include "EngineHandOff.h"

#include "AlarmMonitoring.h"
#include "DemoSetup.h"
#include "NodeConfigCheck.h"
#include "ServerConfig.h"
#include "ServerUsers.h"

#include "users/CTavoxUsrAuth.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cstring>

using namespace tavoxserver;
using nlohmann::json;

namespace {

constexpr const char* kPlant
    = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\r\n"
      "  <NamespaceUris><Uri>urn:tavox:plant</Uri></NamespaceUris>\r\n"
      "  <UAVariable NodeId=\"ns=1;s=Boiler.Temperature\" BrowseName=\"1:Temperature\" DataType=\"i=11\"/>\r\n"
      "  <UAVariable NodeId=\"ns=1;i=7\" BrowseName=\"1:Count\" DataType=\"i=8\"/>\r\n"
      "  <UAVariable NodeId=\"ns=1;s=Boiler.BurnerOn\" BrowseName=\"1:BurnerOn\" DataType=\"i=1\"/>\r\n"
      "  <UAVariable NodeId=\"ns=1;s=Boiler.Pressure\" BrowseName=\"1:Pressure\" DataType=\"i=11\"\r\n"
      "    AccessLevel=\"7\"/>\r\n"
      "  <UAVariable NodeId=\"ns=3;s=Stray\" BrowseName=\"3:Stray\" DataType=\"i=1\"/>\r\n"
      "</UANodeSet>\r\n"
      "<!--\r\n"
      "[AlarmSourceNodes]\r\n"
      "Node1=Boiler.Temperature\r\n"
      "Node2=7\r\n"
      "Node3=Boiler.BurnerOn\r\n"
      "Node4=Stray\r\n"
      "[AlarmsWithNodesXML.ExternalLevelAlarm_Boiler.Temperature]\r\n"
      "AlarmsWithNodesXML.ExternalLevelAlarm_Boiler.Temperature.HighHighLimit=95.5\r\n"
      "AlarmsWithNodesXML.ExternalLevelAlarm_Boiler.Temperature.HighLimit=90\r\n"
      "AlarmsWithNodesXML.ExternalLevelAlarm_Boiler.Temperature.LowLimit=\r\n"
      "AlarmsWithNodesXML.ExternalLevelAlarm_Boiler.Temperature.LowLowLimit=-5e1\r\n"
      "[AlarmsWithNodesXML.ExternalLevelAlarm_7]\r\n"
      "AlarmsWithNodesXML.ExternalLevelAlarm_7.HighLimit=9007199254740993\r\n"
      "[HistorizedtoODBCSQL]\r\n"
      "StartLogging=false\r\n"
      "-->";

UsrAuthEntry user(const CTavoxUsrAuth& store, const char* name, const char* password, std::uint32_t rights)
{
    UsrAuthEntry entry {};
    std::strcpy(entry.name, name);
    if (!store.MakeDigest(password, entry.password))
        ADD_FAILURE() << "no digest";
    entry.rights = rights;
    return entry;
}

// The store, the user table and the node configuration file as the utility leaves them, handed
// to the engine as one line with every field resolved.
TEST(EngineHandOffTest, HandsTheEngineWhatTheUtilityStored)
{
    DemoSetup demo(0x02 | 0x04 | 0x08);
    demo.setDword(ServerKey::kSecurityMode, 6);
    demo.writeNodeConfig(kPlant);
    const CTavoxUsrAuth store(demo.machineStore());
    UsrAuthTable table {};
    table[0] = user(store, "operator", "secret", 0x20F);
    table[2] = user(store, "viewer", "look", 0x00B);
    table[3] = user(store, "runner", "go", 0x004);
    table[4] = user(store, "writer", "pen", 0x204);
    table[5] = user(store, "broken", "x", 0x00B);
    std::strcpy(table[5].password, "not a digest");
    ASSERT_TRUE(store.SetAllUserAuth(table));
    ASSERT_TRUE(store.SetRootAuth(u"rootpw"));

    ServerConfig config;
    ASSERT_TRUE(readServerConfig(demo.machineStore(), config).ok());
    const ServerUsers users = readServerUsers(demo.machineStore());
    EXPECT_EQ(users.warnings,
        std::vector<std::string> { "user \"broken\" (slot 6) skipped: its stored password is not "
                                   "a digest of 32 hexadecimal digits" });
    AlarmPlan plan;
    ASSERT_TRUE(checkNodeConfig(demo.nodeConfig(), nullptr, &plan).ok());
    EXPECT_EQ(plan.warnings,
        std::vector<std::string> { "alarm on ns=3;s=Stray skipped: the file's NamespaceUris name "
                                   "no namespace 3" });

    const std::string line = engineHandOff(config, users, plan, { "plant1", "/var/lib/tavox" });
    ASSERT_EQ(line.find('\n'), line.size() - 1) << "one line";
    const json handOff = json::parse(line);
    char rootDigest[CTavoxUsrAuth::kDigestBufferSize];
    ASSERT_TRUE(store.MakeDigest("rootpw", rootDigest));
    char secret[CTavoxUsrAuth::kDigestBufferSize];
    ASSERT_TRUE(store.MakeDigest("secret", secret));

    EXPECT_EQ(handOff["type"], "configure");
    EXPECT_EQ(handOff["hostName"], "plant1");
    EXPECT_EQ(handOff["port"], demo.tcpPort());
    EXPECT_EQ(handOff["applicationUri"], "urn:plant1:Tavox:Server");
    EXPECT_EQ(handOff["securityNone"], false);
    EXPECT_EQ(handOff["logon"], json::parse(R"({"anonymous": false, "certificate": true})"));
    EXPECT_EQ(handOff["digitTable"], std::string(CTavoxUsrAuth::DigitTable()));
    EXPECT_EQ(handOff["rootDigest"], rootDigest);
    EXPECT_EQ(handOff["nodeConfig"], demo.nodeConfig().string());
    // Rights as the Users page shows them: Write holds the Executable bit.
    const std::pair<const char*, const char*> rights[]
        = { { "operator", "rwx" }, { "viewer", "r--" }, { "runner", "--x" }, { "writer", "-wx" } };
    ASSERT_EQ(handOff["users"].size(), std::size(rights));
    for (std::size_t i = 0; i < std::size(rights); ++i) {
        const json& u = handOff["users"][i];
        EXPECT_EQ(u["name"], rights[i].first);
        EXPECT_EQ(std::string(u["read"] ? "r" : "-") + (u["write"] ? "w" : "-") + (u["execute"] ? "x" : "-"),
            rights[i].second)
            << rights[i].first;
    }
    EXPECT_EQ(handOff["users"][0]["digest"], secret);
    // In the order of the node map; a 64-bit limit stays exact.
    EXPECT_EQ(handOff["alarms"], json::parse(R"([
        {"nodeId": "ns=1;i=7", "namespaceUri": "urn:tavox:plant", "identifier": "i=7",
         "dataType": "Int64", "kind": "level", "high": 9007199254740993},
        {"nodeId": "ns=1;s=Boiler.BurnerOn", "namespaceUri": "urn:tavox:plant", "identifier": "s=Boiler.BurnerOn",
         "dataType": "Boolean", "kind": "offNormal"},
        {"nodeId": "ns=1;s=Boiler.Temperature", "namespaceUri": "urn:tavox:plant", "identifier": "s=Boiler.Temperature",
         "dataType": "Double", "kind": "level", "highHigh": 95.5, "high": 90.0, "lowLow": -50.0}])"));
    EXPECT_EQ(handOff["historized"], json::parse(R"([{"nodeId": "ns=1;s=Boiler.Pressure",
        "namespaceUri": "urn:tavox:plant", "identifier": "s=Boiler.Pressure"}])"));
    EXPECT_EQ(handOff["history"], json::parse(R"({"store": "memory", "maxValuesPerNode": 10000})"));
    EXPECT_EQ(handOff["pki"], json::parse(R"({"root": "/var/lib/tavox/pki", "userRoot": "/var/lib/tavox/pki-user",
        "certificateFile": "/var/lib/tavox/pki/own/certs/server.pem",
        "privateKeyFile": "/var/lib/tavox/pki/own/private/private_key.pem"})"));
}

} // namespace
