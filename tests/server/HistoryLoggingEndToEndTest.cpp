// Logged history from end to end: the daemon and its real engine, a MariaDB server and its
// ODBC driver, and an OPC UA client (server/engine/testing/historyClient.js) that writes and
// reads history.
#include "DemoSetup.h"

#include "users/CTavoxUsrAuth.h"

#include "support/ChildProcess.h"
#include "support/MariaDbServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using nlohmann::json;

namespace {

const std::string kServerBinary = TAVOX_BINARY_DIR "/server/tavox-server";
constexpr const char* kUri = "urn:tavox:history-test";
constexpr const char* kPassword = "se;c{r}et";

/// A plant of historized variables of several types (AccessLevel 7: read, write, history),
/// logging into the database "plant history" as the user "logger".
std::string plantConfig(const MariaDbServer& db)
{
    std::string file = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                       "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\r\n"
                       "  <NamespaceUris><Uri>"
        + std::string(kUri) + "</Uri></NamespaceUris>\r\n";
    const std::pair<const char*, const char*> variables[] = {{"Pressure", "i=11"}, {"Total", "i=8"},
        {"Serial", "i=9"}, {"Label", "i=12"}, {"Raw", "i=15"}, {"Running", "i=1"}, {"Count", "i=6"}};
    for (const auto& [name, type] : variables)
        file += std::string("  <UAVariable NodeId=\"ns=1;s=Plant.") + name + "\" BrowseName=\"1:" + name
            + "\" DataType=\"" + type + "\" AccessLevel=\"7\" UserAccessLevel=\"7\"/>\r\n";
    file += "  <UAVariable NodeId=\"ns=1;s=Plant.Levels\" BrowseName=\"1:Levels\" DataType=\"i=4\" ValueRank=\"1\" "
            "AccessLevel=\"7\" UserAccessLevel=\"7\"/>\r\n"
            "</UANodeSet>\r\n<!--\r\n[AlarmSourceNodes]\r\n[HistorizedtoODBCSQL]\r\nStartLogging=true\r\n"
            "SQLTYPE=MySQL\r\nDRIVER="
        + std::string(MariaDbServer::kDriverName) + "\r\nSERVER=127.0.0.1\r\nPORT=" + db.portText()
        + "\r\nUID=logger\r\nPWD=" + kPassword + "\r\nDATABASE=plant history\r\nDSN=ACTIVE\r\nACTIVE=1,1\r\n-->";
    return file;
}

/// The service manager's end of NOTIFY_SOCKET: what the daemon tells it, read as it comes
/// (a daemon blocks when the socket's queue is full).
class NotifySocket {
public:
    explicit NotifySocket(std::filesystem::path path)
        : m_path(std::move(path))
        , m_fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
        m_reader = std::thread([this] { read(); });
    }
    ~NotifySocket()
    {
        m_stopping = true;
        m_reader.join();
        ::close(m_fd);
    }
    std::string variable() const { return "NOTIFY_SOCKET=" + m_path.string(); }
    /// The last "STATUS=" told so far.
    std::string lastStatus()
    {
        std::lock_guard lock(m_mutex);
        return m_status;
    }

private:
    void read()
    {
        char message[4096];
        while (!m_stopping) {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, 100) <= 0)
                continue;
            const ssize_t got = ::recv(m_fd, message, sizeof message, 0);
            const std::string text(message, got > 0 ? static_cast<std::size_t>(got) : 0);
            if (const auto at = text.find("STATUS="); at != std::string::npos) {
                std::lock_guard lock(m_mutex);
                m_status = text.substr(at + 7, text.find('\n', at) - at - 7);
            }
        }
    }

    std::filesystem::path m_path;
    int m_fd;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::string m_status;
    std::thread m_reader;
};

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
        UsrAuthTable table{};
        std::strcpy(table[0].name, "operator");
        ASSERT_TRUE(users.MakeDigest("op-pass", table[0].password));
        table[0].rights = 0x20F;
        ASSERT_TRUE(users.SetAllUserAuth(table));
    }

    /// Starts the daemon with the real engine and waits until it serves; the engine's process id.
    pid_t startDaemon()
    {
        std::vector<std::string> environment = m_demo.environment();
        for (std::string& variable : environment) {
            if (variable.rfind("TAVOX_ENGINE=", 0) == 0)
                variable = "TAVOX_ENGINE=" TAVOX_BINARY_DIR "/server/engine";
        }
        environment.push_back(m_db.environment().front());
        environment.push_back(m_notify.variable());
        if (m_daemon)
            m_earlier += m_daemon->seen();
        m_daemon = std::make_unique<ChildProcess>(
            std::vector<std::string>{kServerBinary}, ChildProcess::Stderr::Capture, environment);
        EXPECT_TRUE(m_daemon->waitForLine("tavox-server: running", 60s)) << m_daemon->seen();
        const std::string& seen = m_daemon->seen();
        const auto at = seen.rfind("server.js (process ");
        return at == std::string::npos ? -1 : std::stoi(seen.substr(at + 19));
    }

    /// Runs the client's steps in one session; its results, or a JSON object with "error".
    json client(const json& steps)
    {
        drainDaemon();
        ChildProcess node({"node", TAVOX_SOURCE_DIR "/server/engine/testing/historyClient.js",
                              "opc.tcp://localhost:" + std::to_string(m_demo.tcpPort()), "operator", "op-pass", kUri,
                              (m_demo.store().parent_path() / "client-pki").string(), steps.dump()},
            ChildProcess::Stderr::Capture, {"NODE_PATH=" TAVOX_BINARY_DIR "/server/engine-test/node_modules"});
        std::string output;
        while (const auto line = node.readLine(60s)) {
            if (line->rfind("result: ", 0) == 0)
                return json::parse(line->substr(8));
            output += *line + "\n";
        }
        return {{"error", "no result: " + output}};
    }

    /// Reads what the daemon logged meanwhile, so that its pipe never fills.
    void drainDaemon()
    {
        if (m_daemon)
            (void)m_daemon->waitForLine("\n", 10ms);
    }

    /// Waits until `count` rows of `node` have a source time in [from, to].
    std::vector<std::string> rowsBetween(const std::string& node, const std::string& from, const std::string& to,
        std::size_t count)
    {
        const std::string query = "SELECT value FROM `plant history`.tavox_history WHERE node = 'nsu=" + std::string(kUri)
            + ";s=Plant." + node + "' AND source_time BETWEEN '" + sqlTime(from) + "' AND '" + sqlTime(to)
            + "' ORDER BY source_time, origin, seq";
        std::vector<std::string> rows;
        for (int i = 0; i < 600 && (rows = m_db.rows(query)).size() != count; ++i) {
            drainDaemon();
            std::this_thread::sleep_for(100ms);
        }
        return rows;
    }

    static std::string sqlTime(std::string iso)
    {
        iso[10] = ' ';
        iso.pop_back(); // the Z
        return iso;
    }

    MariaDbServer m_db;
    DemoSetup m_demo;
    NotifySocket m_notify{m_demo.store().parent_path() / "notify"};
    std::unique_ptr<ChildProcess> m_daemon;
    std::string m_earlier; // what the daemons before this one logged
};

TEST_F(HistoryLoggingEndToEndTest, ValuesReachTheTableTypedAndSurviveAnOutageAndAKilledDaemon)
{
    pid_t engine = startDaemon();
    ASSERT_GT(engine, 0) << m_daemon->seen();

    // Each type lands with its text form and the millisecond source time the client reads back.
    const json typed = json::array({
        {{"write", "s=Plant.Pressure"}, {"dataType", "Double"}, {"values", {1.5, "-Infinity"}}},
        {{"write", "s=Plant.Total"}, {"dataType", "Int64"}, {"values", {"-9007199254740993"}}},
        {{"write", "s=Plant.Serial"}, {"dataType", "UInt64"}, {"values", {"18446744073709551615"}}},
        {{"write", "s=Plant.Label"}, {"dataType", "String"}, {"values", {"Druck \u00b0C ;{}'"}}},
        {{"write", "s=Plant.Raw"}, {"dataType", "ByteString"}, {"values", {"AAEC/w=="}}},
        {{"write", "s=Plant.Running"}, {"dataType", "Boolean"}, {"values", {true}}},
        {{"write", "s=Plant.Levels"}, {"dataType", "Int16"}, {"values", {{-1, 2, 3}}}},
    });
    const json written = client(typed);
    ASSERT_TRUE(written.is_array()) << written.dump() << m_daemon->seen();
    const std::string from = written.front()["from"];
    const std::string to = written.back()["to"];
    const std::vector<std::string> expected = {"Pressure\tDouble\t1.5", "Pressure\tDouble\t-Infinity",
        "Total\tInt64\t-9007199254740993", "Serial\tUInt64\t18446744073709551615", "Label\tString\tDruck \u00b0C ;{}'",
        "Raw\tByteString\tAAEC/w==", "Running\tBoolean\ttrue", "Levels\tInt16[]\t[-1,2,3]"};
    const std::string table = "SELECT SUBSTRING(node, LENGTH('nsu=" + std::string(kUri)
        + ";s=Plant.') + 1), data_type, value, source_time FROM `plant history`.tavox_history WHERE source_time "
          "BETWEEN '"
        + sqlTime(from) + "' AND '" + sqlTime(to) + "' ORDER BY source_time, seq";
    std::vector<std::string> rows;
    for (int i = 0; i < 100 && (rows = m_db.rows(table)).size() < expected.size(); ++i)
        std::this_thread::sleep_for(100ms);
    ASSERT_EQ(rows.size(), expected.size()) << m_daemon->seen();
    json reads = json::array();
    for (const json& step : typed)
        reads.push_back({{"read", step["write"]}, {"start", from}, {"end", to}});
    const json read = client(reads);
    ASSERT_TRUE(read.is_array()) << read.dump();
    std::size_t row = 0;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        EXPECT_EQ(read[i]["statuses"], json::array({"Good"})) << typed[i];
        ASSERT_EQ(read[i]["values"].size(), typed[i]["values"].size()) << read[i];
        for (std::size_t v = 0; v < typed[i]["values"].size(); ++v, ++row) {
            const json& value = read[i]["values"][v];
            EXPECT_EQ(rows[row].substr(0, rows[row].rfind('\t')), expected[row]);
            EXPECT_EQ(rows[row].substr(rows[row].rfind('\t') + 1), sqlTime(value["sourceTime"])) << "milliseconds";
            EXPECT_EQ(value["dataType"], typed[i]["dataType"]);
            EXPECT_EQ(value["value"], typed[i]["values"][v]);
        }
    }
    EXPECT_EQ(m_demo.dword(ServerKey::kSqlServerStatus), 1u);

    // MariaDB goes down while 1,000 values come; a read answers from the spool, in two pages.
    m_db.stop();
    json counts = json::array();
    for (int i = 1; i <= 1000; ++i)
        counts.push_back(i);
    const json outage = client(json::array({{{"write", "s=Plant.Count"}, {"dataType", "Int32"}, {"values", counts}}}));
    ASSERT_TRUE(outage.is_array()) << outage.dump() << m_daemon->seen();
    const std::string countFrom = outage[0]["from"];
    const std::string countTo = outage[0]["to"];
    ASSERT_TRUE(m_daemon->waitForLine("history database unreachable since ", 30s)) << m_daemon->seen();
    const json readCounts = json::array({{{"read", "s=Plant.Count"}, {"start", countFrom}, {"end", countTo}, {"max", 600}}});
    const auto countsOf = [](const json& answer) {
        json values = json::array();
        for (const json& value : answer[0]["values"])
            values.push_back(value["value"]);
        return values;
    };
    json spooled = client(readCounts);
    ASSERT_TRUE(spooled.is_array()) << spooled.dump() << m_daemon->seen();
    EXPECT_EQ(spooled[0]["statuses"], json::array({"GoodResultsMayBeIncomplete", "GoodResultsMayBeIncomplete"}))
        << spooled.dump().substr(0, 300);
    EXPECT_EQ(countsOf(spooled), counts);
    EXPECT_NE(m_notify.lastStatus().find("; history: database unreachable since "), std::string::npos)
        << m_notify.lastStatus();

    // The daemon and its engine killed during the outage: the spool keeps the values for the next start.
    ASSERT_EQ(::kill(engine, SIGKILL), 0);
    m_daemon->signal(SIGKILL);
    ASSERT_TRUE(m_daemon->wait(10s));
    for (int i = 0; i < 100 && isListening(m_demo.tcpPort()); ++i)
        std::this_thread::sleep_for(100ms);
    engine = startDaemon();
    ASSERT_GT(engine, 0) << m_daemon->seen();
    EXPECT_NE(m_daemon->seen().find(" values from before wait and are written first"), std::string::npos)
        << m_daemon->seen();
    spooled = client(readCounts);
    ASSERT_TRUE(spooled.is_array()) << spooled.dump() << m_daemon->seen();
    EXPECT_EQ(spooled[0]["statuses"][0], "GoodResultsMayBeIncomplete");
    EXPECT_EQ(countsOf(spooled), counts) << "the spool survived";

    // MariaDB back: all 1,000 in the table, in order, once each; reads are complete again.
    ASSERT_TRUE(m_db.start()) << m_db.problem();
    std::vector<std::string> expectedCounts;
    for (int i = 1; i <= 1000; ++i)
        expectedCounts.push_back(std::to_string(i));
    EXPECT_EQ(rowsBetween("Count", countFrom, countTo, 1000), expectedCounts);
    ASSERT_TRUE(m_daemon->waitForLine("values that waited are written", 30s)) << m_daemon->seen();
    const json complete = client(readCounts);
    ASSERT_TRUE(complete.is_array()) << complete.dump() << m_daemon->seen();
    EXPECT_EQ(complete[0]["statuses"], json::array({"Good", "Good"}));
    EXPECT_EQ(countsOf(complete), counts);
    EXPECT_EQ(m_demo.dword(ServerKey::kSqlServerStatus), 1u);
    for (int i = 0; i < 30 && m_notify.lastStatus().find("; history: connected, 0 values waiting") == std::string::npos; ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_NE(m_notify.lastStatus().find("; history: connected, 0 values waiting"), std::string::npos)
        << m_notify.lastStatus();

    m_daemon->signal(SIGTERM);
    EXPECT_TRUE(m_daemon->waitForLine("tavox-server: stopped (SQLServerStatus 0)", 20s)) << m_daemon->seen();
    EXPECT_EQ(m_demo.dword(ServerKey::kSqlServerStatus), 0u);
    EXPECT_EQ((m_earlier + m_daemon->seen()).find(kPassword), std::string::npos) << "the password stays out of the log";
}

} // namespace
