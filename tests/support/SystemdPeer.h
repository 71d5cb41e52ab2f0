#pragma once

#include "support/ChildProcess.h"

#include <string>
#include <vector>

/// A private bus with the test peer of the systemd manager on it, running `command` as the
/// service of `unit`. The bus stands for the system bus while the object lives.
class SystemdPeer {
public:
    SystemdPeer(const std::string& unit, const std::vector<std::string>& command, int startDelayMs = 0,
        int stopDelayMs = 0)
        : m_peer(arguments(unit, command, startDelayMs, stopDelayMs))
    {
        m_ready = m_bus.ready() && m_peer.waitForLine("ready");
    }

    bool ready() const { return m_ready; }

private:
    static std::vector<std::string> arguments(
        const std::string& unit, const std::vector<std::string>& command, int startDelayMs, int stopDelayMs)
    {
        // The system interpreter: the D-Bus and GLib bindings are Debian packages.
        std::vector<std::string> args = {"/usr/bin/python3", TAVOX_SOURCE_DIR "/tests/platform/systemd_peer.py",
            "--start-delay-ms", std::to_string(startDelayMs), "--stop-delay-ms", std::to_string(stopDelayMs), unit,
            "--"};
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }

    PrivateBus m_bus; // first: the peer connects to it, and goes before it
    ChildProcess m_peer;
    bool m_ready = false;
};
