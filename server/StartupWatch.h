#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tavoxserver {

/// Keeps the daemon responsive to SIGTERM and SIGINT while it starts: reading a large node
/// configuration file or waiting on the store must not hold a stop request until the serving
/// loop. A signal that arrives before finished() ends the process at once with status 0, as a
/// stop does, after logging it; nothing has been published then that a stop would undo, and the
/// stores survive an end at any point. From finished() on, signals stay in the descriptor for
/// the serving loop.
class StartupWatch {
public:
    /// Watches `signalFd` (a signalfd of the blocked signals) on a thread of its own; `log`
    /// writes one line and must be safe to call from that thread.
    StartupWatch(int signalFd, std::function<void(const std::string&)> log);
    ~StartupWatch();
    StartupWatch(const StartupWatch&) = delete;
    StartupWatch& operator=(const StartupWatch&) = delete;

    /// Start-up is over: the watch ends and leaves any pending signal where it is.
    void finished();

private:
    void run();

    int m_signalFd;
    int m_doneFd;
    std::function<void(const std::string&)> m_log;
    std::mutex m_mutex;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace tavoxserver
