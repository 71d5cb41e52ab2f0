// Logged history from end to end: the daemon with its real engine, MariaDB with its ODBC driver,
// and an OPC UA client (server/engine/testing/historyClient.js) that writes and reads history.
#include "DemoSetup.h"

#include "users/CTavoxUsrAuth.h"

#include "testing/ChildProcess.h"
#include "testing/MariaDbServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <memory>
#include <thread>

using namespace std::chrono_literals;
using nlohmann::json;

namespace {

constexpr const char* kUri = "urn:tavox:history-test";
constexpr const char* kPassword = "se;c{r}et";

/// Historized variables of several types (AccessLevel 7: read, write, history), logged into the
/// database "plant history" as "logger".
std::string plantConfig(const MariaDbServer& db)
{
    std::string file = "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\r\n<NamespaceUris><Uri>"
        + std::string(kUri) + "</Uri></NamespaceUris>\r\n";
    for (const auto& [name, type] : { std::pair { "Pressure", "i=11" },
             { "Total", "i=8" },
             { "Serial", "i=9" },
             { "Label", "i=12" },
             { "Raw", "i=15" },
             { "Running", "i=1" },
             { "Count", "i=6" },
             { "Levels", "i=4\" ValueRank=\"1" } })
        file += std::string("<UAVariable NodeId=\"ns=1;s=Plant.") + name + "\" BrowseName=\"1:" + name
            + "\" DataType=\"" + type + "\" AccessLevel=\"7\" UserAccessLevel=\"7\"/>\r\n";
    return file + "</UANodeSet>\r\n<!--\r\n[HistorizedtoODBCSQL]\r\nStartLogging=true\r\nSQLTYPE=MySQL\r\nDRIVER="
        + MariaDbServer::kDriverName + "\r\nSERVER=127.0.0.1\r\nPORT=" + db.portText()
        + "\r\nUID=logger\r\nPWD=" + kPassword + "\r\nDATABASE=plant history\r\nACTIVE=1,1\r\n-->";
}

std::string sqlTime(std::string iso)
{
    iso[10] = ' ';
    iso.pop_back(); // the Z
    return iso;
}

class HistoryLoggingEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_db.ready()) << m_db.problem();
        ASSERT_EQ(m_db.sql(std::string("CREATE DATABASE `plant history`; CREATE USER 'logger'@'%' IDENTIFIED BY '")
                      + kPassword + "'; GRANT ALL ON `plant history`.* TO 'logger'@'%';"),
            "");
        m_demo.writeNodeConfig(plantConfig(m_db));
        m_demo.setDword(ServerKey::kSecurityMode, 7);
        const CTavoxUsrAuth users(m_demo.machineStore());
        UsrAuthTable table {};
        std::strcpy(table[0].name, "operator");
        ASSERT_TRUE(users.MakeDigest("op-pass", table[0].password));
        table[0].rights = 0x20F;
        ASSERT_TRUE(users.SetAllUserAuth(table));
    }

    /// Starts the daemon with the real engine and waits until it serves; the engine's process id.
    pid_t startDaemon()
    {
        std::vector<std::string> environment = { "TAVOX_REGISTRY=" + m_demo.store().string(),
            "TAVOX_ENGINE=" TAVOX_BINARY_DIR "/server/engine",
            m_db.environment().front() };
        if (m_daemon)
            m_earlier += m_daemon->seen();
        m_daemon = std::make_unique<ChildProcess>(std::vector<std::string> { TAVOX_BINARY_DIR "/server/tavox-server" },
            ChildProcess::Stderr::Capture,
            environment);
        EXPECT_TRUE(m_daemon->waitForLine("tavox-server: running", 60s)) << m_daemon->seen();
        const auto at = m_daemon->seen().rfind("server.js (process ");
        return at == std::string::npos ? -1 : std::stoi(m_daemon->seen().substr(at + 19));
    }

    /// The results of the client's steps, run in one session; a JSON object with "error" when it fails.
    json client(const json& steps)
    {
        (void)m_daemon->waitForLine("\n", 10ms); // what the daemon logged meanwhile, so that its pipe never fills
        ChildProcess node({ "node",
                              TAVOX_SOURCE_DIR "/server/engine/testing/historyClient.js",
                              "opc.tcp://localhost:" + std::to_string(m_demo.tcpPort()),
                              "operator",
                              "op-pass",
                              kUri,
                              (m_demo.store().parent_path() / "client-pki").string(),
                              steps.dump() },
            ChildProcess::Stderr::Capture,
            { "NODE_PATH=" TAVOX_BINARY_DIR "/server/engine-test/node_modules" });
        std::string output;
        while (const auto line = node.readLine(60s)) {
            if (line->rfind("result: ", 0) == 0)
                return json::parse(line->substr(8));
            output += *line + "\n";
        }
        return { { "error", "no result: " + output } };
    }

    /// Whether this daemon has logged a line with `text`, or does within `timeout`.
    bool logged(const std::string& text, std::chrono::seconds timeout = 30s)
    {
        return m_daemon->seen().find(text) != std::string::npos || m_daemon->waitForLine(text, timeout);
    }

    /// The table's rows for `query` once there are `count` of them (or a minute has gone).
    std::vector<std::string> rowsOnce(const std::string& query, std::size_t count)
    {
        std::vector<std::string> rows;
        for (int i = 0; i < 600 && (rows = m_db.rows(query)).size() != count; ++i) {
            (void)m_daemon->waitForLine("\n", 10ms);
            std::this_thread::sleep_for(100ms);
        }
        return rows;
    }

    MariaDbServer m_db;
    DemoSetup m_demo;
    std::unique_ptr<ChildProcess> m_daemon;
    std::string m_earlier; // what the daemons before this one logged
};

TEST_F(HistoryLoggingEndToEndTest, ValuesReachTheTableTypedAndSurviveAnOutageAndAKilledDaemon)
{
    pid_t engine = startDaemon();
    ASSERT_GT(engine, 0);

    // Each type lands with its text form and the millisecond source time that the client reads back.
    const std::vector<std::tuple<std::string, std::string, json, std::string>> typed
        = { { "Pressure", "Double", 1.5, "1.5" },
              { "Pressure", "Double", "-Infinity", "-Infinity" },
              { "Total", "Int64", "-9007199254740993", "-9007199254740993" },
              { "Serial", "UInt64", "18446744073709551615", "18446744073709551615" },
              { "Label", "String", "Druck \u00b0C ;{}'", "Druck \u00b0C ;{}'" },
              { "Raw", "ByteString", "AAEC/w==", "AAEC/w==" },
              { "Running", "Boolean", true, "true" },
              { "Levels", "Int16", json::array({ -1, 2, 3 }), "[-1,2,3]" } };
    json writes = json::array();
    for (const auto& [node, type, value, text] : typed)
        writes.push_back({ { "write", "s=Plant." + node }, { "dataType", type }, { "values", { value } } });
    const json written = client(writes);
    ASSERT_TRUE(written.is_array()) << written.dump() << m_daemon->seen();
    const std::string from = written.front()["from"];
    const std::string to = written.back()["to"];
    const std::vector<std::string> rows = rowsOnce("SELECT CONCAT_WS('|', node, data_type, value, source_time) FROM "
                                                   "`plant history`.tavox_history WHERE source_time BETWEEN '"
            + sqlTime(from) + "' AND '" + sqlTime(to) + "' ORDER BY source_time, seq",
        typed.size());
    ASSERT_EQ(rows.size(), typed.size()) << m_daemon->seen();
    json reads = json::array();
    for (const json& write : writes) {
        if (reads.empty() || reads.back()["read"] != write["write"])
            reads.push_back({ { "read", write["write"] }, { "start", from }, { "end", to } });
    }
    const json read = client(reads);
    ASSERT_TRUE(read.is_array()) << read.dump();
    for (std::size_t i = 0, row = 0; i < reads.size(); ++i) {
        EXPECT_EQ(read[i]["statuses"], json::array({ "Good" })) << reads[i];
        for (const json& value : read[i]["values"]) {
            const auto& [node, type, sent, text] = typed.at(row);
            EXPECT_EQ(rows[row++],
                std::string("nsu=") + kUri + ";s=Plant." + node + "|" + type + (sent.is_array() ? "[]|" : "|") + text
                    + "|" + sqlTime(value["sourceTime"]));
            EXPECT_EQ(value["dataType"], type);
            EXPECT_EQ(value["value"], sent);
        }
    }
    EXPECT_EQ(m_demo.dword(ServerKey::kSqlServerStatus), 1u);

    // MariaDB goes down while 1,000 values come; a read answers from the spool, in two pages.
    m_db.stop();
    json counts = json::array();
    std::vector<std::string> countTexts;
    for (int i = 1; i <= 1000; ++i) {
        counts.push_back(i);
        countTexts.push_back(std::to_string(i));
    }
    const json outage
        = client(json::array({ { { "write", "s=Plant.Count" }, { "dataType", "Int32" }, { "values", counts } } }));
    ASSERT_TRUE(outage.is_array()) << outage.dump() << m_daemon->seen();
    ASSERT_TRUE(logged("history database unreachable since ")) << m_daemon->seen();
    const json readCounts = json::array({ { { "read", "s=Plant.Count" },
        { "start", outage[0]["from"] },
        { "end", outage[0]["to"] },
        { "max", 600 } } });
    const auto expectCounts = [&](const char* status, const char* when) {
        const json answer = client(readCounts);
        ASSERT_TRUE(answer.is_array()) << when << answer.dump() << m_daemon->seen();
        EXPECT_EQ(answer[0]["statuses"], json::array({ status, status })) << when;
        json values = json::array();
        for (const json& value : answer[0]["values"])
            values.push_back(value["value"]);
        EXPECT_EQ(values, counts) << when;
    };
    expectCounts("GoodResultsMayBeIncomplete", "during the outage");

    // The daemon and its engine killed during the outage: the spool keeps the values for the next start.
    ASSERT_EQ(::kill(engine, SIGKILL), 0);
    m_daemon->signal(SIGKILL);
    ASSERT_TRUE(m_daemon->wait(10s));
    for (int i = 0; i < 100 && isListening(m_demo.tcpPort()); ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_GT(startDaemon(), 0);
    EXPECT_NE(m_daemon->seen().find(" values from before wait and are written first"), std::string::npos);
    expectCounts("GoodResultsMayBeIncomplete", "after the kill");

    // MariaDB back: all 1,000 in the table, in order, once each; reads are complete again.
    ASSERT_TRUE(m_db.start()) << m_db.problem();
    EXPECT_EQ(rowsOnce("SELECT value FROM `plant history`.tavox_history WHERE node = 'nsu=" + std::string(kUri)
                      + ";s=Plant.Count' AND source_time BETWEEN '" + sqlTime(outage[0]["from"]) + "' AND '"
                      + sqlTime(outage[0]["to"]) + "' ORDER BY source_time, origin, seq",
                  1000),
        countTexts);
    ASSERT_TRUE(logged("values that waited are written")) << m_daemon->seen();
    expectCounts("Good", "after the outage");
    EXPECT_EQ(m_demo.dword(ServerKey::kSqlServerStatus), 1u);

    m_daemon->signal(SIGTERM);
    EXPECT_TRUE(m_daemon->waitForLine("tavox-server: stopped (SQLServerStatus 0)", 20s)) << m_daemon->seen();
    EXPECT_EQ(m_demo.dword(ServerKey::kSqlServerStatus), 0u);
    EXPECT_EQ((m_earlier + m_daemon->seen()).find(kPassword), std::string::npos) << "the password stays out of the log";
}

} // namespace
