#pragma once

#include "testing/ChildProcess.h"

#include <string>
#include <vector>

/// A private bus with the test peer of the systemd manager on it, running `command` as the
/// service of `unit` with the "NAME=value" entries of `environment` added to its environment.
/// The code under test is handed busAddress() as the system bus. A start job waits
/// `jobDelayMs` before it runs, the unit inactive meanwhile, as systemd's queued jobs do.
class SystemdPeer {
public:
    SystemdPeer(const std::string& unit,
        const std::vector<std::string>& command,
        int startDelayMs = 0,
        int stopDelayMs = 0,
        const std::vector<std::string>& environment = {},
        int jobDelayMs = 0)
        : m_peer(arguments(unit, command, startDelayMs, stopDelayMs, jobDelayMs),
            ChildProcess::Stderr::Inherit,
            withBus(environment, m_bus.address()))
    {
        m_ready = m_bus.ready() && m_peer.waitForLine("ready");
    }

    bool ready() const { return m_ready; }
    const std::string& busAddress() const { return m_bus.address(); }

private:
    static std::vector<std::string> arguments(const std::string& unit,
        const std::vector<std::string>& command,
        int startDelayMs,
        int stopDelayMs,
        int jobDelayMs)
    {
        // The system interpreter: the D-Bus and GLib bindings are Debian packages.
        std::vector<std::string> args = { "/usr/bin/python3",
            TAVOX_SOURCE_DIR "/tests/platform/systemd_peer.py",
            "--start-delay-ms",
            std::to_string(startDelayMs),
            "--stop-delay-ms",
            std::to_string(stopDelayMs),
            "--job-delay-ms",
            std::to_string(jobDelayMs),
            unit,
            "--" };
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }

    static std::vector<std::string> withBus(std::vector<std::string> environment, const std::string& address)
    {
        environment.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + address);
        return environment;
    }

    PrivateBus m_bus; // first: the peer connects to it, and goes before it
    ChildProcess m_peer;
    bool m_ready = false;
};
