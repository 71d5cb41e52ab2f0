#include "HistoryConnection.h"
#include "HistoryLogging.h"
#include "TavoxServer.h"

#include "DemoSetup.h"

#include "history/HistoryDatabase.h"
#include "history/OdbcConnectionString.h"
#include "testing/FakeOdbc.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <sstream>
#include <thread>

using namespace tavoxserver;
using namespace std::chrono_literals;

namespace {

history::HistorySettings historySettings()
{
    history::HistorySettings s;
    s.active = true;
    s.type = history::SqlType::MySql;
    s.driver = u"MariaDB MySQL ODBC Driver";
    s.server = u"db1";
    s.port = u"3306";
    s.user = u"logger";
    s.password = u"pw;}";
    s.database = u"history";
    return s;
}

/// The lines and status writes of one connection, safe from its thread.
struct Record {
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(mutex);
        return logged;
    }
    std::vector<std::uint32_t> statuses() const
    {
        std::lock_guard lock(mutex);
        return written;
    }
    HistoryConnection::Log log()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            logged.push_back(line);
        };
    }
    HistoryConnection::StatusWriter writer()
    {
        return [this](std::uint32_t status) -> support::Result<void> {
            std::lock_guard lock(mutex);
            if (failWrites > 0) {
                --failWrites;
                return support::Error { support::ErrorKind::InUse, "the store is busy" };
            }
            written.push_back(status);
            return {};
        };
    }
    mutable std::mutex mutex;
    std::vector<std::string> logged;
    std::vector<std::uint32_t> written;
    int failWrites = 0;
};

TEST(HistoryConnectionTest, EachChangeIsStoredAndLoggedOnceAndOutagesEndInAReconnect)
{
    FakeOdbc odbc;
    Record record;
    HistoryConnection connection(odbc, historySettings(), record.log(), record.writer());

    odbc.serverUp = false;
    connection.check();
    connection.check();
    odbc.serverUp = true;
    connection.check();
    connection.check();
    odbc.serverUp = false;
    connection.check();
    connection.check();
    odbc.serverUp = true;
    connection.check();
    EXPECT_TRUE(connection.isConnected());

    EXPECT_EQ(record.lines(),
        (std::vector<std::string> {
            "history database not connected: [HY000] Can't connect to server (SQLServerStatus 0)",
            "history database connected (SQLServerStatus 1)",
            "history database connection lost: [08S01] server has gone away (SQLServerStatus 0)",
            "history database connected (SQLServerStatus 1)",
        }));
    EXPECT_EQ(record.statuses(), (std::vector<std::uint32_t> { 0, 1, 0, 1 }));
    // Connects: twice refused, the first success, once refused after the outage, the reconnect.
    const auto strings = odbc.connectionStrings();
    ASSERT_EQ(strings.size(), 5u);
    for (const auto& s : strings)
        EXPECT_EQ(s, history::connection_string::forHistoryDatabase(historySettings()));
    EXPECT_EQ(odbc.connections, 1);
    connection.stop();
    EXPECT_EQ(odbc.connections, 0);
    EXPECT_EQ(odbc.environments, 0);
}

TEST(HistoryConnectionTest, AStatusThatCouldNotBeStoredIsStoredLater)
{
    FakeOdbc odbc;
    Record record;
    record.failWrites = 2;
    HistoryConnection connection(odbc, historySettings(), record.log(), record.writer());
    connection.check();
    connection.check();
    connection.check();
    connection.check();
    EXPECT_EQ(record.statuses(), std::vector<std::uint32_t> { 1 });
    EXPECT_EQ(record.lines(),
        (std::vector<std::string> { "history database connected (SQLServerStatus 1)",
            "history database status not stored: the store is busy." }));
}

TEST(HistoryConnectionTest, ChecksRunOnTheirOwnThreadUntilStopped)
{
    FakeOdbc odbc;
    Record record;
    HistoryConnection connection(odbc, historySettings(), record.log(), record.writer(), 10ms);
    connection.start();
    const auto waitFor = [&](std::uint32_t status) {
        for (int i = 0; i < 500; ++i) {
            const auto statuses = record.statuses();
            if (!statuses.empty() && statuses.back() == status)
                return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    };
    EXPECT_TRUE(waitFor(1));
    odbc.serverUp = false;
    EXPECT_TRUE(waitFor(0));
    odbc.serverUp = true;
    EXPECT_TRUE(waitFor(1));
    connection.stop();
    EXPECT_EQ(odbc.connections, 0);
    const auto written = record.statuses().size();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(record.statuses().size(), written) << "no check after stop";
}

TEST(HistoryConnectionTest, OnlyAnActiveSectionNamesADatabase)
{
    TempDir dir;
    const auto file = dir / "NodeConfig.xml";
    const std::pair<const char*, bool> cases[] = {
        { "ACTIVE=1,1\r\n", true },
        { "ACTIVE=1\r\n", true },
        { "ACTIVE=0,1\r\n", false },
        { "ACTIVE= 1,1\r\n", true },
        { "ACTIVE=\r\n", false },
        { "", false },
    };
    for (const auto& [active, expected] : cases) {
        std::ofstream(file, std::ios::binary)
            << "<UANodeSet/>\r\n<!--\r\n[HistorizedtoODBCSQL]\r\nSQLTYPE=MySQL\r\nDRIVER=D\r\nSERVER=s\r\nPWD=p;w\r\n"
            << active << "-->";
        const auto settings = activeHistoryDatabase(file);
        ASSERT_EQ(settings.has_value(), expected) << active;
        if (settings) {
            EXPECT_EQ(settings->password, u"p;w");
            EXPECT_EQ(history::describeHistoryDatabase(*settings), "\"D\" at s, database \"\", user \"\"");
        }
    }
    // Values are logged only while "StartLogging" is true as well.
    const std::tuple<const char*, const char*, bool> logging[] = {
        { "ACTIVE=1,1\r\n", "StartLogging=true\r\n", true },
        { "ACTIVE=1,1\r\n", "StartLogging=false\r\n", false },
        { "ACTIVE=1,1\r\n", "", false },
        { "ACTIVE=0,1\r\n", "StartLogging=true\r\n", false },
    };
    for (const auto& [active, startLogging, expected] : logging) {
        std::ofstream(file, std::ios::binary) << "<UANodeSet/>\r\n<!--\r\n[HistorizedtoODBCSQL]\r\n"
                                              << startLogging << "SQLTYPE=MySQL\r\nDRIVER=D\r\n"
                                              << active << "-->";
        EXPECT_EQ(historyLoggingDatabase(file).has_value(), expected) << active << startLogging;
    }
}

TEST(HistoryConnectionTest, TheServerConnectsWhenTheSectionIsActiveAndStoresZeroWhenItStops)
{
    DemoSetup demo;
    std::string config = kDemoNodeConfig;
    config.insert(config.size() - 3,
        "SQLTYPE=MySQL\r\nDRIVER=MariaDB MySQL ODBC Driver\r\nSERVER=db1\r\nPORT=3306\r\nUID=logger\r\n"
        "PWD=secret\r\nDATABASE=history\r\nDSN=ACTIVE\r\nACTIVE=1,1\r\n");
    demo.writeNodeConfig(config);
    FakeOdbc odbc;
    std::ostringstream log;
    TavoxServer server(log, demo.machineStore(), odbc, 10ms);
    ASSERT_TRUE(server.start()) << log.str();
    ASSERT_NE(server.history(), nullptr);
    for (int i = 0; i < 500 && demo.dword(ServerKey::kSqlServerStatus) != 1; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(demo.dword(ServerKey::kSqlServerStatus), 1u);

    EXPECT_TRUE(server.stop("SIGTERM"));
    EXPECT_EQ(demo.dword(ServerKey::kSqlServerStatus), 0u);
    EXPECT_EQ(odbc.connections, 0);
    const std::string lines = log.str();
    EXPECT_NE(lines.find("tavox-server: history database active: \"MariaDB MySQL ODBC Driver\" at db1:3306, database "
                         "\"history\", user \"logger\"\n"),
        std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("secret"), std::string::npos) << "the password stays out of the log";
}

} // namespace
