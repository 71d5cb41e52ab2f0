// status and service: the Status page's texts and the sheet's operations, on a service
// manager held in memory.
#include "AdminHarness.h"

#include "config/ServerKey.h"
#include "platform/ServiceManager.h"
#include "testing/ServerKeyStore.h"

#include <gtest/gtest.h>

using namespace admin;

namespace {

const std::string kService = "Tavox Server";

std::vector<std::uint8_t> sz(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    bytes.insert(bytes.end(), { 0, 0 });
    return bytes;
}

TEST(AdminStatusTest, ShowsTheStatusPagesTexts)
{
    struct Case {
        const char* what;
        std::optional<std::uint32_t> state; ///< none: the manager cannot be reached
        bool queryFails;
        std::uint32_t sqlStatus;
        std::string text;
        std::string json; ///< the "service" and "sqlServer" members
    };
    const Case cases[] = {
        { "running",
            platform::kServiceRunning,
            false,
            1,
            "Running",
            "\"state\": 4,\n    \"text\": \"Running\"|\"connected\": true,\n    \"text\": \"SQL Server is "
            "Connecting\"" },
        { "stopped",
            platform::kServiceStopped,
            false,
            1,
            "Stopped",
            "\"state\": 1,\n    \"text\": \"Stopped\"|\"connected\": false,\n    \"text\": \"SQL Server is "
            "Disconnection\"" },
        { "query fails",
            platform::kServiceRunning,
            true,
            1,
            "Unknown status. Please check your Tavox service status!",
            "\"state\": null,\n    \"text\": \"Unknown status. Please check your Tavox service "
            "status!\"|\"connected\": false" },
        { "pending",
            platform::kServiceStartPending,
            false,
            0,
            "Start pending",
            "\"state\": 2,\n    \"text\": \"Start pending\"|" },
        { "unreachable",
            std::nullopt,
            false,
            1,
            "---",
            "\"state\": null,\n    \"text\": \"---\"|\"connected\": false" },
    };
    for (const Case& c : cases) {
        ServerKeyStore store;
        store.set(ServerKey::kUaTcpUri, platform::kRegSz, sz(u"x"));
        store.set(ServerKey::kHttpsUri, platform::kRegSz, sz(u"ab"));
        store.setDword(ServerKey::kSqlServerStatus, c.sqlStatus);
        AdminHarness admin(store.stores());
        admin.services.addService(kService, c.state.value_or(platform::kServiceRunning));
        admin.services.setQueryFails(kService, c.queryFails);
        admin.services.setReachable(c.state.has_value());
        const AdminOutcome text = admin.run({ "status" });
        EXPECT_EQ(text.code, kExitSuccess);
        const std::string sql
            = c.sqlStatus == 1 && c.text == "Running" ? "SQL Server is Connecting" : "SQL Server is Disconnection";
        EXPECT_EQ(text.out,
            "Status:         " + c.text
                + "\nUA TCP:         Not Supported.\nHTTPS:          ab\n"
                  "Server Config:  ServerConfig.xml\nNode Config:    NodeConfig.xml\nSQL Server:     "
                + sql + "\n")
            << c.what;
        const AdminOutcome json = admin.run({ "status", "--json" });
        const std::string service = c.json.substr(0, c.json.find('|'));
        const std::string sqlServer = c.json.substr(c.json.find('|') + 1);
        EXPECT_NE(json.out.find(service), std::string::npos) << c.what << json.out;
        EXPECT_NE(json.out.find(sqlServer), std::string::npos) << c.what << json.out;
        EXPECT_TRUE(admin.sleeper.pauses.empty()) << "a status shows, it does not wait";
    }
}

TEST(AdminServiceTest, RunsTheSheetsOperationsWithItsWaitsAndTexts)
{
    struct Case {
        std::string operation;
        std::uint32_t state;
        bool startFails;
        int code;
        std::string out;
        std::string err;
        std::uint32_t finalState;
        std::vector<unsigned> pauses;
    };
    const Case cases[] = {
        { "start",
            platform::kServiceStopped,
            false,
            kExitSuccess,
            "Tavox Service has been started.\n",
            "",
            platform::kServiceRunning,
            {} },
        { "start",
            platform::kServiceRunning,
            false,
            kExitSuccess,
            "Tavox Service has been started.\n",
            "",
            platform::kServiceRunning,
            {} },
        { "start",
            platform::kServiceStopped,
            true,
            kExitFailure,
            "",
            "ERROR: Could not start the Tavox Service. Please recheck your parameters.\n",
            platform::kServiceStopped,
            {} },
        { "start",
            platform::kServicePaused,
            false,
            kExitFailure,
            "",
            "ERROR: Could not start the Tavox Service. Please recheck your parameters.\n",
            platform::kServicePaused,
            {} },
        { "stop",
            platform::kServiceRunning,
            false,
            kExitSuccess,
            "Tavox Service has been stopped.\n",
            "",
            platform::kServiceStopped,
            {} },
        { "restart",
            platform::kServiceRunning,
            false,
            kExitSuccess,
            "Tavox Service has been restarted!\n",
            "",
            platform::kServiceRunning,
            { 1000 } },
        { "restart",
            platform::kServiceRunning,
            true,
            kExitFailure,
            "",
            "ERROR: Could not restart the Tavox Service. Please recheck your parameters.\n",
            platform::kServiceStopped,
            { 1000 } },
    };
    for (const Case& c : cases) {
        ServerKeyStore store;
        AdminHarness admin(store.stores());
        admin.services.addService(kService, c.state);
        admin.services.setStartFails(kService, c.startFails);
        const AdminOutcome o = admin.run({ "service", c.operation });
        EXPECT_EQ(o.code, c.code) << c.operation;
        EXPECT_EQ(o.out, c.out) << c.operation;
        EXPECT_EQ(o.err, c.err) << c.operation;
        EXPECT_EQ(admin.services.state(kService), c.finalState) << c.operation;
        EXPECT_EQ(admin.sleeper.pauses, c.pauses) << c.operation;
    }

    ServerKeyStore store;
    AdminHarness unreachable(store.stores());
    const AdminOutcome o = unreachable.run({ "service", "stop" });
    EXPECT_EQ(o.code, kExitFailure);
    EXPECT_EQ(o.err, "ERROR: Could not stop the Tavox Service. Please recheck your parameters.\n");
    EXPECT_EQ(unreachable.run({ "service", "reload" }).code, kExitUsage);
}

} // namespace
