#pragma once

#include "EngineHistory.h"
#include "EngineProcess.h"
#include "EngineSupervisor.h"
#include "HistoryConnection.h"
#include "HistoryStore.h"
#include "PortListener.h"
#include "ServerConfig.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace platform {
class OdbcDriverManager;
class SettingsStore;
} // namespace platform

namespace tavoxserver {

/// The server service: it reads the settings that the utility writes, checks the node
/// configuration file with the project's reader, and has the engine (a Node.js child process
/// on node-opcua) serve OPC UA with them; it publishes the endpoint URLs and the history
/// database status in the machine store. Every step is logged as one line; a failing step
/// names what is wrong.
class TavoxServer : private EngineSupervisor::Events {
public:
    /// How the start of the engine went.
    enum class EngineStart { Listening, Failed, StopRequested };

    /// A server on the machine store `machine`, which must outlive the object, that reaches its
    /// history database through unixODBC and runs the engine that the environment names.
    TavoxServer(std::ostream& log, const platform::SettingsStore& machine);
    /// A server that reaches its history database through `odbc`, checking it every
    /// `historyCheckInterval`.
    TavoxServer(std::ostream& log,
        const platform::SettingsStore& machine,
        platform::OdbcDriverManager& odbc,
        std::chrono::milliseconds historyCheckInterval = HistoryConnection::kCheckInterval);
    ~TavoxServer() override;

    /// The engine to run instead of the one the environment names.
    void setEngine(EngineCommand command) { m_engine = std::move(command); }

    /// Reads the store, the user table and the node configuration file, makes sure the UA TCP
    /// port is free, holds the HTTPS port, stores "SQLServerStatus" 0 and prepares the engine's
    /// hand-off. When the node configuration file's history database is active, starts the
    /// history store if logging is on (the engine then sends it every value), else keeps the
    /// connection to the database. False after logging the step that failed (a history spool
    /// that cannot be opened is one).
    bool start();
    /// Starts the engine and waits until it listens (the endpoint URLs are then stored), fails,
    /// or `stopFd` becomes readable.
    EngineStart startEngine(int stopFd);
    /// Serves until `stopFd` becomes readable (true) or the engine has ended for good or
    /// waiting fails (false, logged). A crashed engine is started again meanwhile.
    bool serve(int stopFd);
    /// Stops the engine (SIGTERM, SIGKILL when it does not end in time), then the history store
    /// (what the engine sent is spooled) or the history database connection, releases the
    /// ports and stores "SQLServerStatus" 0. False when that write fails.
    bool stop(const std::string& reason);
    /// Tells the service manager `step`, followed by the history store's state while it runs,
    /// which is told again whenever it changes ("Serving opc.tcp://plant1:48010; history:
    /// connected, 0 values waiting, 1016 written, 0 dropped").
    void status(const std::string& step);
    /// As status(), with READY=1.
    void ready(const std::string& step);

    const ServerConfig& config() const { return m_config; }
    /// Writes one line; safe from the history connection's thread.
    void log(const std::string& line);
    /// The connection to the history database while logging is off; null when it is not active.
    const HistoryConnection* history() const { return m_history.get(); }
    /// The history store while logging is on; null otherwise.
    const HistoryStore* historyStore() const { return m_store.get(); }

private:
    enum class Wait { Done, StopRequested, Failed };

    bool fail(const support::Error& error);
    bool startHistory(const std::filesystem::path& stateDirectory, std::size_t historized);
    void deliverHistoryAnswers();
    std::string noteStep(const std::string& step);
    void refreshHistoryStatus();
    bool checkEndpoints();
    // Waits on `stopFd` (none when negative), the held ports and the engine until `done` holds.
    Wait runUntil(int stopFd, const std::function<bool()>& done);

    void supervisorLine(const std::string& line) override;
    void engineLogLine(const std::string& line) override;
    void engineMessage(const nlohmann::json& message) override;
    void engineListening(const nlohmann::json& message);

    std::ostream& m_log;
    std::mutex m_logMutex;
    const platform::SettingsStore& m_machine;
    std::unique_ptr<platform::OdbcDriverManager> m_ownOdbc;
    platform::OdbcDriverManager& m_odbc;
    std::chrono::milliseconds m_historyCheckInterval;
    EngineCommand m_engine;
    ServerConfig m_config;
    std::string m_host;
    std::string m_handOff;
    std::vector<PortListener> m_listeners;
    std::unique_ptr<HistoryConnection> m_history;
    std::unique_ptr<HistoryStore> m_store;
    std::unique_ptr<EngineHistory> m_engineHistory;
    std::string m_step;
    std::string m_historyStatus;
    std::chrono::steady_clock::time_point m_historyStatusDue;
    std::unique_ptr<EngineSupervisor> m_supervisor;
    bool m_published = false;
    bool m_publishFailed = false;
    std::set<std::string> m_unhandledTypes;
};

/// Runs the server on the machine store `machine` until SIGTERM or SIGINT; the process's exit status.
int runUntilSignalled(std::ostream& log, const platform::SettingsStore& machine);

} // namespace tavoxserver
