// History logging into a MariaDB server of the benchmark's own, through the MariaDB ODBC driver:
//   (a) a plain loop of single-row INSERTs (automatic commit) through the same driver;
//   (b) the sustained rate of the history store (spool, then batches of 1,000 in transactions);
//   (c) the delay from record() to the committed row at 1,000 values per second;
//   (d) the rate at which the spool drains after an outage of 100,000 values.
//   build/bench/HistoryLoggingBench
#include "HistoryStore.h"

#include "history/HistoryDatabase.h"
#include "platform/Odbc.h"
#include "platform/UnixOdbc.h"
#include "support/TextCodec.h"

#include "testing/MariaDbServer.h"
#include "testing/TempDir.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace tavoxserver;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

HistoryValue valueNumber(std::int64_t i)
{
    const std::int64_t at = historyTicks(std::chrono::system_clock::now());
    return { "nsu=urn:tavox:bench;s=Boiler.Pressure", at, at, 0, "Double", std::to_string(i) + ".25" };
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

bool waitUntil(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

/// (a): single-row INSERTs of the history table's columns, each committed on its own, for `seconds`.
double plainInsertRate(const history::HistorySettings& settings, double seconds)
{
    platform::UnixOdbc odbc;
    const auto environment = odbc.openEnvironment();
    std::string reason;
    const auto connection = history::connectHistoryDatabase(*environment, settings, reason);
    if (!connection || !connection->execute(u"CREATE TABLE plain_insert LIKE tavox_history")) {
        std::fprintf(
            stderr, "plain INSERT loop: %s\n", connection ? connection->lastDiagnostic().c_str() : reason.c_str());
        return 0;
    }
    using platform::OdbcType;
    auto insert = connection->prepare(u"INSERT INTO plain_insert (node, source_time, server_time, status_code, "
                                      u"data_type, value, origin, seq) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
        { OdbcType::Text,
            OdbcType::Timestamp,
            OdbcType::Timestamp,
            OdbcType::Integer,
            OdbcType::Text,
            OdbcType::Text,
            OdbcType::Integer,
            OdbcType::Integer });
    const platform::OdbcTimestamp time { 2026, 12, 10, 2, 0, 0, 123'000'000 };
    std::int64_t rows = 0;
    const auto start = Clock::now();
    while (secondsSince(start) < seconds) {
        ++rows;
        if (!insert->execute({ { u"nsu=urn:tavox:bench;s=Boiler.Pressure",
                time,
                time,
                std::int64_t { 0 },
                u"Double",
                std::u16string(u"1.25"),
                std::int64_t { 1 },
                rows } })) {
            std::fprintf(stderr, "plain INSERT loop: %s\n", insert->lastDiagnostic().c_str());
            return 0;
        }
    }
    return static_cast<double>(rows) / secondsSince(start);
}

struct Run {
    platform::UnixOdbc odbc;
    HistoryStore store { odbc, [](const std::string&) {}, [](std::uint32_t) -> support::Result<void> { return {}; } };
};

/// (b): values recorded as fast as they come, until all are committed.
double sustainedRate(const history::HistorySettings& settings, const HistoryStoreOptions& options, std::int64_t count)
{
    Run run;
    if (!run.store.start(settings, options))
        return 0;
    const auto start = Clock::now();
    for (std::int64_t i = 0; i < count; ++i)
        run.store.record(valueNumber(i));
    if (!waitUntil([&] { return run.store.stats().written == static_cast<std::uint64_t>(count); }, 600s))
        return 0;
    return static_cast<double>(count) / secondsSince(start);
}

/// (c): values at `perSecond` for `seconds`; each value's delay until the store had it committed.
std::vector<double>
commitDelays(const history::HistorySettings& settings, const HistoryStoreOptions& options, int perSecond, int seconds)
{
    Run run;
    if (!run.store.start(settings, options))
        return {};
    const int count = perSecond * seconds;
    std::vector<Clock::time_point> recorded(static_cast<std::size_t>(count));
    std::vector<Clock::time_point> committed(static_cast<std::size_t>(count));
    std::atomic<bool> recording { true };
    std::thread watcher([&] {
        std::uint64_t seen = 0;
        while (seen < static_cast<std::uint64_t>(count)) {
            const std::uint64_t written = std::min<std::uint64_t>(run.store.stats().written, count);
            const auto at = Clock::now();
            for (; seen < written; ++seen)
                committed[seen] = at;
            if (!recording && written == seen && seen < static_cast<std::uint64_t>(count)
                && run.store.stats().waiting == 0)
                break;
            std::this_thread::sleep_for(1ms);
        }
    });
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(start + std::chrono::microseconds(1'000'000LL * i / perSecond));
        recorded[static_cast<std::size_t>(i)] = Clock::now();
        run.store.record(valueNumber(i));
    }
    recording = false;
    watcher.join();
    std::vector<double> delays;
    for (int i = 0; i < count; ++i)
        delays.push_back(std::chrono::duration<double, std::milli>(
            committed[static_cast<std::size_t>(i)] - recorded[static_cast<std::size_t>(i)])
                             .count());
    std::sort(delays.begin(), delays.end());
    return delays;
}

/// (d): `count` values spooled while MariaDB is down; the rate from its restart to an empty spool.
double drainRate(MariaDbServer& db,
    const history::HistorySettings& settings,
    HistoryStoreOptions options,
    std::int64_t count,
    std::uintmax_t& spoolBytes)
{
    Run run;
    options.reconnectInterval = 50ms;
    if (!run.store.start(settings, options))
        return 0;
    db.stop();
    for (std::int64_t i = 0; i < count; ++i)
        run.store.record(valueNumber(i));
    if (!run.store.flush(600s))
        return 0;
    spoolBytes = std::filesystem::file_size(options.spoolFile);
    std::error_code ec;
    spoolBytes += std::filesystem::file_size(options.spoolFile.string() + "-wal", ec);
    if (!db.start())
        return 0;
    const auto start = Clock::now();
    if (!waitUntil([&] { return run.store.stats().waiting == 0; }, 600s))
        return 0;
    return static_cast<double>(count) / secondsSince(start);
}

} // namespace

int main()
{
    // Before the first ODBC call and before any thread: the driver manager reads it once.
    TempDir odbcDir;
    ::setenv("ODBCSYSINI", odbcDir.path().c_str(), 1);
    MariaDbServer db;
    if (!db.ready()
        || !db.sql("CREATE DATABASE history; CREATE USER 'logger'@'%' IDENTIFIED BY 'pw'; "
                   "GRANT ALL ON history.* TO 'logger'@'%';")
                .empty()) {
        std::fprintf(stderr, "HistoryLoggingBench: %s\n", db.problem().c_str());
        return 1;
    }
    history::HistorySettings settings;
    settings.active = true;
    settings.type = history::SqlType::MySql;
    settings.driver = support::utf8ToUtf16(MariaDbServer::kDriverName);
    settings.server = u"127.0.0.1";
    settings.port = support::utf8ToUtf16(db.portText());
    settings.user = u"logger";
    settings.password = u"pw";
    settings.database = u"history";
    TempDir dir;
    HistoryStoreOptions options;

    options.spoolFile = dir / "sustained.db";
    const double store = sustainedRate(settings, options, 200'000);
    const double plain = plainInsertRate(settings, 5.0);
    std::printf("(a) plain INSERT loop, one commit per row:   %10.0f values/s\n", plain);
    std::printf("(b) history store, spool and batches:        %10.0f values/s (%.1f times (a))\n",
        store,
        plain > 0 ? store / plain : 0.0);

    options.spoolFile = dir / "delay.db";
    const std::vector<double> delays = commitDelays(settings, options, 1000, 20);
    if (!delays.empty())
        std::printf(
            "(c) record() to committed row at 1,000/s:    median %.0f ms, 99th percentile %.0f ms, max %.0f ms\n",
            delays[delays.size() / 2],
            delays[delays.size() * 99 / 100],
            delays.back());

    options.spoolFile = dir / "outage.db";
    std::uintmax_t spoolBytes = 0;
    const double drain = drainRate(db, settings, options, 100'000, spoolBytes);
    std::printf("(d) spool drain after an outage of 100,000:  %10.0f values/s (spool %.0f bytes per value)\n",
        drain,
        static_cast<double>(spoolBytes) / 100'000);
    return plain > 0 && store > 0 && !delays.empty() && drain > 0 ? 0 : 1;
}
