#pragma once

#include "HistoryConnection.h"
#include "PortListener.h"
#include "ServerConfig.h"

#include <chrono>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
class OdbcDriverManager;
class SettingsStore;
} // namespace platform

namespace tavoxserver {

/// The stand-in for the server service: it reads the settings that the utility writes,
/// checks the node configuration file, holds the endpoint ports and publishes the endpoint
/// URLs and the history database status in the machine store. Every step is logged as one
/// line; a failing step names what is wrong.
class TavoxServer {
public:
    /// A server on the machine store `machine`, which must outlive the object, that reaches its
    /// history database through unixODBC.
    TavoxServer(std::ostream& log, const platform::SettingsStore& machine);
    /// A server that reaches its history database through `odbc`, checking it every
    /// `historyCheckInterval`.
    TavoxServer(std::ostream& log,
        const platform::SettingsStore& machine,
        platform::OdbcDriverManager& odbc,
        std::chrono::milliseconds historyCheckInterval = HistoryConnection::kCheckInterval);
    ~TavoxServer();

    /// Reads the store and the node configuration file, binds the ports, stores the endpoint
    /// URLs and "SQLServerStatus" 0; when the node configuration file's history database is
    /// active, starts keeping the connection to it. False after logging the step that failed.
    bool start();
    /// Holds the ports (connections are closed at once) until `stopFd` becomes readable (true)
    /// or waiting fails (false, logged).
    bool serve(int stopFd);
    /// Closes the history database connection, releases the ports and stores
    /// "SQLServerStatus" 0. False when that write fails.
    bool stop(const std::string& reason);

    const ServerConfig& config() const { return m_config; }
    /// Writes one line; safe from the history connection's thread.
    void log(const std::string& line);
    /// The connection to the history database; null when it is not active.
    const HistoryConnection* history() const { return m_history.get(); }

private:
    bool fail(const support::Error& error);
    void startHistory();

    std::ostream& m_log;
    std::mutex m_logMutex;
    const platform::SettingsStore& m_machine;
    std::unique_ptr<platform::OdbcDriverManager> m_ownOdbc;
    platform::OdbcDriverManager& m_odbc;
    std::chrono::milliseconds m_historyCheckInterval;
    ServerConfig m_config;
    std::vector<PortListener> m_listeners;
    std::unique_ptr<HistoryConnection> m_history;
};

/// Runs the server on the machine store `machine` until SIGTERM or SIGINT; the process's exit status.
int runUntilSignalled(std::ostream& log, const platform::SettingsStore& machine);

} // namespace tavoxserver
