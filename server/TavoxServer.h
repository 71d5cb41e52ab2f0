#pragma once

#include "PortListener.h"
#include "ServerConfig.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace platform {
class SettingsStore;
} // namespace platform

namespace tavoxserver {

/// The stand-in for the server service: it reads the settings that the utility writes,
/// checks the node configuration file, holds the endpoint ports and publishes the endpoint
/// URLs and the history database status in the machine store. Every step is logged as one
/// line; a failing step names what is wrong.
class TavoxServer {
public:
    /// Reads and writes the machine store `machine`, which must outlive the object.
    TavoxServer(std::ostream& log, const platform::SettingsStore& machine);

    /// Reads the store and the node configuration file, binds the ports, stores the endpoint
    /// URLs and "SQLServerStatus" 0. False after logging the step that failed.
    bool start();
    /// Holds the ports (connections are closed at once) until `stopFd` becomes readable (true)
    /// or waiting fails (false, logged).
    bool serve(int stopFd);
    /// Releases the ports and stores "SQLServerStatus" 0. False when that write fails.
    bool stop(const std::string& reason);

    const ServerConfig& config() const { return m_config; }
    void log(const std::string& line);

private:
    bool fail(const support::Error& error);

    std::ostream& m_log;
    const platform::SettingsStore& m_machine;
    ServerConfig m_config;
    std::vector<PortListener> m_listeners;
};

/// Runs the server on the machine store `machine` until SIGTERM or SIGINT; the process's exit status.
int runUntilSignalled(std::ostream& log, const platform::SettingsStore& machine);

} // namespace tavoxserver
