#pragma once

#include "HistoryConnection.h"
#include "HistoryRead.h"
#include "HistorySpool.h"
#include "HistoryTable.h"
#include "HistoryValue.h"
#include "config/ServerKey.h"
#include "history/HistorySettings.h"
#include "support/Result.h"

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <thread>
#include <vector>

namespace platform {
class OdbcDriverManager;
} // namespace platform

namespace tavoxserver {

/// Smaller spool limits are raised to this.
inline constexpr std::uint64_t kMinHistorySpoolLimit = 1000;

struct HistoryStoreOptions {
    std::filesystem::path spoolFile;
    std::uint64_t spoolLimit = ServerKey::kDefaultHistorySpoolLimit;
    /// A batch goes to the database when this many values wait, or when the oldest has waited
    /// `batchDelay`, whichever comes first.
    std::size_t batchValues = 1000;
    std::chrono::milliseconds batchDelay { 500 };
    /// How often a lost database is tried again.
    std::chrono::milliseconds reconnectInterval = HistoryConnection::kCheckInterval;
};

/// Counts for the log and the daemon's status.
struct HistoryStats {
    bool connected = false;
    std::uint64_t waiting = 0; ///< values not yet in the table (in the spool or on their way into it)
    std::uint64_t written = 0; ///< values the table took since start
    std::uint64_t dropped = 0; ///< values dropped because the spool was full, since start
    std::uint64_t refused = 0; ///< values refused by the checks or by the table, since start
    std::optional<std::chrono::system_clock::time_point> outageSince; ///< while the database is unreachable
};

/// The daemon's history store: every value goes into the spool first and leaves it only once
/// the history table has committed it, in batches; reads merge the table and the spool. The
/// connection keeps "SQLServerStatus" (HistoryConnection), and is tried again while the
/// database is down; the log says when an outage started, how many values wait, and when they
/// are all written. Thread-safe: record() and read() may come from any thread.
class HistoryStore {
public:
    using Log = HistoryConnection::Log;
    using StatusWriter = HistoryConnection::StatusWriter;

    HistoryStore(platform::OdbcDriverManager& odbc, Log log, StatusWriter writeStatus);
    /// Stops the store.
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    /// Opens the spool and starts writing to the database of `database`. Fails (logged by the
    /// caller) when the spool cannot be opened; a database that cannot be reached is not a failure.
    support::Result<void> start(const history::HistorySettings& database, const HistoryStoreOptions& options);
    /// Takes a value on its way into the spool; returns at once.
    void record(HistoryValue value);
    /// A raw read of one node from the table and the spool. With the database unreachable the
    /// spool alone answers, with GoodResultsMayBeIncomplete.
    HistoryReadResult read(const HistoryReadRequest& request);
    /// Waits until every value recorded before the call is in the spool; false after `timeout`.
    bool flush(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Spools what was recorded, ends the writing and closes the connection and the spool. What
    /// waits in the spool is written after the next start.
    void stop();
    HistoryStats stats() const;

    /// A history message of the engine: a "value" is recorded (nothing to answer), a
    /// "historyRead" is answered with its "historyData". A message that is refused is logged;
    /// a read with an "id" is then answered with BadHistoryOperationInvalid.
    std::optional<nlohmann::json> handle(const nlohmann::json& message);

private:
    /// The last number of a group of values appended together, and when the first came.
    struct Arrival {
        std::int64_t lastSeq;
        std::chrono::steady_clock::time_point at;
    };
    /// When the writing goes on, and whether newly spooled values end the wait early.
    struct Next {
        std::chrono::milliseconds wait;
        bool onValues;
    };

    void spoolLoop();
    void drainLoop();
    Next drainStep();
    /// Sets a new connection up once: no automatic commit, the table, what it already holds.
    bool prepareConnection();
    Next writeBatch(const std::vector<SpooledValue>& batch);
    void noteWritten(std::int64_t lastSeq, std::size_t count);
    void noteOutage();
    void noteDrained();
    // With m_mutex held.
    void logThrottled(std::optional<std::chrono::steady_clock::time_point>& last,
        std::uint64_t& quiet,
        const std::string& line);

    platform::OdbcDriverManager& m_odbc;
    Log m_log;
    StatusWriter m_writeStatus;
    HistoryStoreOptions m_options;
    std::unique_ptr<HistorySpool> m_spool;
    std::unique_ptr<HistoryConnection> m_connection;
    std::optional<HistoryTable> m_table;

    // Held shared by reads, whole by stop(), which closes the spool and the connection.
    mutable std::shared_mutex m_use;
    mutable std::mutex m_mutex;
    std::condition_variable m_recorded; // values to spool, or stop
    std::condition_variable m_spooled; // values spooled (flush, drain), or stop
    std::deque<HistoryValue> m_pending;
    std::chrono::steady_clock::time_point m_pendingSince;
    std::uint64_t m_recordedCount = 0;
    std::uint64_t m_spooledCount = 0;
    std::deque<Arrival> m_arrivals;
    bool m_running = false;
    bool m_stopping = false;
    HistoryStats m_stats;
    // The drain thread's own state.
    std::uint64_t m_preparedGeneration = 0;
    std::chrono::steady_clock::time_point m_lastCheck;
    std::uint64_t m_writtenAtOutage = 0;
    bool m_catchingUp = false;
    std::optional<std::int64_t> m_failedBatch;
    // Recurring lines, at most one a minute.
    std::optional<std::chrono::steady_clock::time_point> m_droppedLogged, m_incompleteLogged, m_spoolFailureLogged,
        m_refusedLogged, m_tableRefusalLogged;
    std::uint64_t m_droppedQuiet = 0, m_incompleteQuiet = 0, m_spoolFailureQuiet = 0, m_refusedQuiet = 0,
                  m_tableRefusalQuiet = 0;

    std::thread m_spoolThread;
    std::thread m_drainThread;
};

/// The store's state in one line for the daemon's status: "history: connected, 12 values
/// waiting, 3456 written, 0 dropped" (with the refused values when there are), or "history:
/// database unreachable since 2026-12-10T02:00:00.123Z, ..." during an outage.
std::string historyStatusText(const HistoryStats& stats);

/// The spool's file in the daemon's state directory.
std::filesystem::path historySpoolFile(const std::filesystem::path& stateDirectory);

} // namespace tavoxserver
