// The history store against a real MariaDB server and its ODBC driver.
#include "HistoryStore.h"
#include "HistoryMessages.h"

#include "history/HistoryDatabase.h"
#include "platform/UnixOdbc.h"
#include "support/TextCodec.h"

#include "testing/FakeOdbc.h"
#include "testing/MariaDbServer.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>
#include <thread>

using namespace tavoxserver;
using namespace std::chrono_literals;
using nlohmann::json;

namespace {

constexpr const char* kUri = "urn:tavox:test";

/// The log lines and "SQLServerStatus" writes of a store, safe from its threads.
struct Journal {
    std::vector<std::string> lines() const
    {
        std::lock_guard lock(mutex);
        return logged;
    }
    std::string text() const
    {
        std::string all;
        for (const std::string& line : lines())
            all += line + "\n";
        return all;
    }
    HistoryStore::Log log()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            logged.push_back(line);
        };
    }
    HistoryStore::StatusWriter writer()
    {
        return [this](std::uint32_t status) -> support::Result<void> {
            std::lock_guard lock(mutex);
            statuses.push_back(status);
            return {};
        };
    }
    mutable std::mutex mutex;
    std::vector<std::string> logged;
    std::vector<std::uint32_t> statuses;
};

json valueMessage(const std::string& identifier, const std::string& sourceTime, const std::string& dataType, json value)
{
    return { { "type", "value" },
        { "namespaceUri", kUri },
        { "identifier", identifier },
        { "sourceTime", sourceTime },
        { "serverTime", "2026-12-10T02:00:01.456Z" },
        { "status", 0 },
        { "dataType", dataType },
        { "value", value } };
}

json readMessage(int id, const std::string& identifier, std::uint32_t maxValues, json continuation = nullptr)
{
    return { { "type", "historyRead" },
        { "id", id },
        { "namespaceUri", kUri },
        { "identifier", identifier },
        { "start", "2026-01-01T00:00:00.000Z" },
        { "end", "2027-01-01T00:00:00.000Z" },
        { "maxValues", maxValues },
        { "continuation", continuation } };
}

/// Second `i` of an hour, with milliseconds, as the engine sends times.
std::string timeOf(int i)
{
    char text[40];
    std::snprintf(text, sizeof text, "2026-12-10T03:%02d:%02d.%03dZ", i / 60000 % 60, i / 1000 % 60, i % 1000);
    return text;
}

bool eventually(const std::function<bool()>& done, std::chrono::seconds limit = 60s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return done();
}

/// The rows of a query, one text per row, through a connection of its own.
std::vector<std::string> rows(const history::HistorySettings& settings, const std::string& query)
{
    platform::UnixOdbc odbc;
    const auto environment = odbc.openEnvironment();
    std::string reason;
    const auto connection = history::connectHistoryDatabase(*environment, settings, reason);
    if (!connection)
        return { "no connection: " + reason };
    std::vector<std::string> out;
    for (const std::u16string& row :
        connection->firstColumn(support::utf8ToUtf16(query)).value_or(std::vector<std::u16string> {}))
        out.push_back(support::utf16ToUtf8(row));
    return out;
}

/// Records 1,000 values into the spool of `options` while the database is down, reports on
/// `done` and waits to be killed; runs in a forked child, so no test macro here.
[[noreturn]] void recordInChild(int go, int done, const history::HistorySettings& settings, HistoryStoreOptions options)
{
    ::alarm(120);
    char byte = 0;
    if (::read(go, &byte, 1) != 1)
        ::_exit(3);
    platform::UnixOdbc odbc;
    HistoryStore store(
        odbc, [](const std::string&) {}, [](std::uint32_t) -> support::Result<void> { return {}; });
    if (!store.start(settings, options))
        ::_exit(4);
    for (int i = 0; i < 1000; ++i)
        store.handle(valueMessage("s=Outage.Child", timeOf(i), "Int32", i));
    if (!store.flush(30s) || ::write(done, "1", 1) != 1)
        ::_exit(5);
    for (;;)
        ::pause();
}

TEST(HistoryStoreTest, TypedValuesOutagesAndAKilledDaemonLoseNothing)
{
    MariaDbServer db;
    ASSERT_TRUE(db.ready()) << db.problem();
    ASSERT_EQ(db.sql("CREATE DATABASE `plant history`; CREATE USER 'logger'@'%' IDENTIFIED BY 'se;c{r}et'; "
                     "GRANT ALL ON `plant history`.* TO 'logger'@'%';"),
        "");
    history::HistorySettings settings;
    settings.active = true;
    settings.type = history::SqlType::MySql;
    settings.driver = support::utf8ToUtf16(MariaDbServer::kDriverName);
    settings.server = u"127.0.0.1";
    settings.port = support::utf8ToUtf16(db.portText());
    settings.user = u"logger";
    settings.password = u"se;c{r}et";
    settings.database = u"plant history";
    TempDir dir;
    HistoryStoreOptions options;
    options.spoolFile = historySpoolFile(dir.path());
    options.reconnectInterval = 100ms;
    HistoryStoreOptions childOptions = options;
    childOptions.spoolFile = dir / "child-spool.db";

    // The child is forked before this process uses ODBC or starts threads, and waits for its turn.
    int go[2];
    int done[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        recordInChild(go[0], done[1], settings, childOptions);
    ::close(go[0]);
    ::close(done[1]);
    bool reaped = false;
    const std::unique_ptr<void, std::function<void(void*)>> reaper(&go, [child, &reaped](void*) {
        if (!reaped) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    });

    platform::UnixOdbc odbc;
    Journal journal;
    HistoryStore store(odbc, journal.log(), journal.writer());
    ASSERT_TRUE(store.start(settings, options));

    // Each type lands with its text form and millisecond times, and reads back as it came.
    const std::vector<std::pair<std::string, json>> typed = {
        { "Double", 1.5 },
        { "Double", "-Infinity" },
        { "Float", "NaN" },
        { "Int64", "-9007199254740993" },
        { "UInt64", "18446744073709551615" },
        { "Boolean", true },
        { "String", "Druck \u00b0C \U0001F525 ;{}'" },
        { "LocalizedText", "Kessel" },
        { "DateTime", "2026-12-10T01:59:59.999Z" },
        { "ByteString", "AAEC/w==" },
        { "Int16", json::array({ -1, 2, 3 }) },
        { "Int64", json::array({ "1", "-2" }) },
        { "Double", nullptr },
    };
    for (std::size_t i = 0; i < typed.size(); ++i)
        store.handle(
            valueMessage("s=Boiler.Pressure", timeOf(static_cast<int>(i) * 1001), typed[i].first, typed[i].second));
    ASSERT_TRUE(eventually([&] { return store.stats().written == typed.size(); })) << journal.text();
    EXPECT_EQ(rows(settings,
                  "SELECT CONCAT_WS('|', node, source_time, server_time, status_code, data_type, "
                  "IFNULL(value, 'NULL')) FROM tavox_history ORDER BY seq LIMIT 3"),
        (std::vector<std::string> {
            "nsu=urn:tavox:test;s=Boiler.Pressure|2026-12-10 03:00:00.000|2026-12-10 02:00:01.456|0|Double|1.5",
            "nsu=urn:tavox:test;s=Boiler.Pressure|2026-12-10 03:00:01.001|2026-12-10 02:00:01.456|0|Double|-Infinity",
            "nsu=urn:tavox:test;s=Boiler.Pressure|2026-12-10 03:00:02.002|2026-12-10 02:00:01.456|0|Float|NaN" }));
    const json answer = *store.handle(readMessage(7, "s=Boiler.Pressure", 0));
    EXPECT_EQ(answer["status"], "Good");
    ASSERT_EQ(answer["values"].size(), typed.size()) << answer.dump();
    for (std::size_t i = 0; i < typed.size(); ++i) {
        EXPECT_EQ(answer["values"][i]["dataType"], typed[i].first);
        EXPECT_EQ(answer["values"][i]["value"], typed[i].second) << i;
        EXPECT_EQ(answer["values"][i]["sourceTime"], timeOf(static_cast<int>(i) * 1001));
    }

    // A table that takes no row (here a column it cannot fill) keeps the values waiting.
    ASSERT_EQ(db.sql("ALTER TABLE `plant history`.tavox_history ADD COLUMN blocker INT NOT NULL"), "");
    for (int i = 0; i < 3; ++i)
        store.handle(valueMessage("s=Refused", timeOf(i), "Int32", i));
    ASSERT_TRUE(eventually([&] {
        return journal.text().find("takes no values, they wait in the spool") != std::string::npos;
    })) << journal.text();
    EXPECT_EQ(store.stats().waiting, 3u);
    ASSERT_EQ(db.sql("ALTER TABLE `plant history`.tavox_history DROP COLUMN blocker"), "");
    ASSERT_TRUE(eventually([&] { return store.stats().written == typed.size() + 3; })) << journal.text();
    EXPECT_EQ(store.stats().refused, 0u);

    // MariaDB goes down while 1,000 values come; reads answer from the spool meanwhile.
    db.stop();
    for (int i = 0; i < 1000; ++i)
        store.handle(valueMessage("s=Outage.Parent", timeOf(i), "Int32", i));
    ASSERT_TRUE(store.flush());
    ASSERT_TRUE(eventually([&] { return store.stats().outageSince.has_value(); })) << journal.text();
    const json firstPage = *store.handle(readMessage(8, "s=Outage.Parent", 600));
    EXPECT_EQ(firstPage["status"], "GoodResultsMayBeIncomplete");
    ASSERT_EQ(firstPage["values"].size(), 600u);
    EXPECT_EQ(firstPage["values"][599]["value"], 599);
    const json secondPage = *store.handle(readMessage(9, "s=Outage.Parent", 600, firstPage["continuation"]));
    ASSERT_EQ(secondPage["values"].size(), 400u) << secondPage.dump().substr(0, 300) << firstPage["continuation"];
    EXPECT_EQ(secondPage["values"][0]["value"], 600);
    EXPECT_EQ(secondPage["continuation"], nullptr);

    // A daemon killed during the outage: what it spooled waits for a new store.
    ASSERT_EQ(::write(go[1], "1", 1), 1);
    char byte = 0;
    ASSERT_EQ(::read(done[0], &byte, 1), 1) << "the child did not spool its values";
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    reaped = true;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    Journal restartJournal;
    HistoryStore restarted(odbc, restartJournal.log(), restartJournal.writer());
    ASSERT_TRUE(restarted.start(settings, childOptions));
    EXPECT_EQ(restarted.stats().waiting, 1000u);

    ASSERT_TRUE(db.start()) << db.problem();
    ASSERT_TRUE(eventually([&] { return store.stats().waiting == 0 && restarted.stats().waiting == 0; }))
        << journal.text() << restartJournal.text();
    for (const char* node : { "Outage.Parent", "Outage.Child" }) {
        std::vector<std::string> expected;
        for (int i = 0; i < 1000; ++i)
            expected.push_back(std::to_string(i));
        EXPECT_EQ(rows(settings,
                      std::string("SELECT value FROM tavox_history WHERE node = 'nsu=urn:tavox:test;s=") + node
                          + "' ORDER BY origin, seq"),
            expected)
            << node << ": all 1,000, in order, once each";
    }
    const json afterwards = *store.handle(readMessage(10, "s=Outage.Child", 0));
    EXPECT_EQ(afterwards["status"], "Good");
    EXPECT_EQ(afterwards["values"].size(), 1000u);
    json backward = { { "type", "historyRead" },
        { "id", 11 },
        { "namespaceUri", kUri },
        { "identifier", "s=Outage.Child" },
        { "start", nullptr },
        { "end", timeOf(998) },
        { "maxValues", 2 } };
    const json newest = *store.handle(backward);
    backward["continuation"] = newest["continuation"];
    const json older = *store.handle(backward);
    EXPECT_EQ(json::array({ newest["values"][0]["value"],
                  newest["values"][1]["value"],
                  older["values"][0]["value"],
                  older["values"][1]["value"] }),
        json::array({ 998, 997, 996, 995 }))
        << newest.dump() << older.dump();

    EXPECT_EQ(historyStatusText(store.stats()), "history: connected, 0 values waiting, 1016 written, 0 dropped");
    store.stop();
    const std::string lines = journal.text();
    for (const char* expected : { "history database unreachable since ",
             // how many had come when the outage was noticed depends on the writer's timing
             " so far)",
             "history database reachable again after ",
             "the 1000 values that waited are written",
             "answered from the spool alone (GoodResultsMayBeIncomplete)" })
        EXPECT_NE(lines.find(expected), std::string::npos) << expected << "\n" << lines;
    EXPECT_NE(restartJournal.text().find("1000 values from before wait and are written first"), std::string::npos);
    EXPECT_EQ(journal.statuses, (std::vector<std::uint32_t> { 1, 0, 1 }));
    EXPECT_EQ(lines.find("se;c{r}et"), std::string::npos) << "the password stays out of the log";
}

TEST(HistoryStoreTest, AFullSpoolDropsTheOldestAndSaysSo)
{
    FakeOdbc odbc;
    odbc.serverUp = false;
    Journal journal;
    HistoryStore store(odbc, journal.log(), journal.writer());
    TempDir dir;
    HistoryStoreOptions options;
    options.spoolFile = historySpoolFile(dir.path());
    options.spoolLimit = 10; // raised to the least the spool holds, 1,000
    ASSERT_TRUE(store.start({}, options));
    for (int i = 0; i < 1500; ++i)
        store.handle(valueMessage("s=X", timeOf(i), "Int32", i));
    store.handle(valueMessage("s=X", timeOf(0), "Int32", "many"));
    ASSERT_TRUE(store.flush());
    ASSERT_TRUE(eventually([&] { return store.stats().outageSince.has_value(); }));
    const HistoryStats stats = store.stats();
    EXPECT_EQ(stats.waiting, 1000u);
    EXPECT_EQ(stats.dropped, 500u);
    EXPECT_EQ(stats.refused, 1u);
    EXPECT_EQ(historyStatusText(stats),
        "history: database unreachable since " + historyTimeText(historyTicks(*stats.outageSince))
            + ", 1000 values waiting, 0 written, 500 dropped, 1 refused");
    const json oldest = *store.handle(readMessage(1, "s=X", 1));
    EXPECT_EQ(oldest["values"][0]["value"], 500) << oldest.dump();
    const std::string lines = journal.text();
    EXPECT_NE(lines.find("history spool full (1000 values): the oldest "), std::string::npos) << lines;
    EXPECT_NE(lines.find("history value refused: the value \"many\" is not of the type Int32"), std::string::npos);
}

} // namespace
