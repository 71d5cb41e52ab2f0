#pragma once

#include "history/HistorySettings.h"
#include "support/Result.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace platform {
class OdbcConnection;
class OdbcDriverManager;
class OdbcEnvironment;
} // namespace platform

namespace tavoxserver {

/// The server's connection to its history database. Every check connects when there is no
/// connection and otherwise makes sure that the database still answers; a change of state is
/// stored as "SQLServerStatus" (1 connected, 0 not) and logged as one line. After an outage
/// the next check connects again. Work on the connection (use()) that fails because the
/// database is gone counts as a failed check.
class HistoryConnection {
public:
    using Log = std::function<void(const std::string&)>;
    using StatusWriter = std::function<support::Result<void>(std::uint32_t)>;
    /// Work on the open connection; `generation` counts the connections made, so that state
    /// that belongs to one connection (a table checked, a transaction mode) is set up once.
    using Work = std::function<bool(platform::OdbcConnection& connection, std::uint64_t generation)>;

    /// How use() ended.
    enum class Use {
        Done, ///< the work succeeded
        Failed, ///< the work failed, and the database still answers
        Lost, ///< the work failed, and so does the database: the connection is closed
        NotConnected, ///< no connection; the work did not run
    };

    static constexpr std::chrono::milliseconds kCheckInterval { 2000 };

    HistoryConnection(platform::OdbcDriverManager& odbc,
        history::HistorySettings settings,
        Log log,
        StatusWriter writeStatus,
        std::chrono::milliseconds checkInterval = kCheckInterval);
    /// Stops the checks; the stored status is left as it is.
    ~HistoryConnection();
    HistoryConnection(const HistoryConnection&) = delete;
    HistoryConnection& operator=(const HistoryConnection&) = delete;

    /// Checks at once and then every interval on a thread of its own, until stop().
    void start();
    /// Ends the checks and closes the connection; waits for an attempt under way.
    void stop();

    /// One check on the calling thread. Checks from several threads take turns; work waits
    /// for a probe, not for a connection attempt.
    void check();
    bool isConnected() const;

    /// Runs `work` on the connection, one work or probe at a time. When it fails, the database
    /// is probed: a database that does not answer is logged and stored as lost, as by check().
    Use use(const Work& work);

private:
    void run();
    std::unique_ptr<platform::OdbcConnection> connect(std::string& reason);
    // With m_link held.
    void publish(bool connected, const std::string& reason);

    platform::OdbcDriverManager& m_odbc;
    const history::HistorySettings m_settings;
    Log m_log;
    StatusWriter m_writeStatus;
    const std::chrono::milliseconds m_interval;

    // The environment belongs to the checks; the connection and what is published to m_link.
    std::mutex m_checking;
    std::unique_ptr<platform::OdbcEnvironment> m_environment;
    std::mutex m_link;
    std::unique_ptr<platform::OdbcConnection> m_connection;
    std::uint64_t m_generation = 0;
    // The state last logged, and whether the store holds it; nothing before the first check.
    std::optional<bool> m_logged;
    bool m_stored = false;
    std::atomic<bool> m_connected { false };

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

/// What the server connects to: the history section of the node configuration file, when
/// its "ACTIVE" starts with 1. Nothing when the database is not active.
std::optional<history::HistorySettings> activeHistoryDatabase(const std::filesystem::path& nodeCfgPath);

} // namespace tavoxserver
