#pragma once

#include "support/Result.h"

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavoxserver {

/// How the daemon runs the engine: `node <folder>/server.js`.
struct EngineCommand {
    std::string node = "node"; ///< the Node.js program; a bare name is looked up in PATH
    std::filesystem::path folder;

    std::filesystem::path script() const { return folder / "server.js"; }
    /// TAVOX_NODE and TAVOX_ENGINE (a folder) where they are set, else "node" and the folder
    /// where the engine is installed.
    static EngineCommand fromEnvironment();
};

/// The engine as a child process: its standard input is a pipe from the daemon, its standard
/// output and error pipes to it, read line by line without blocking; its end is seen through a
/// process descriptor, so that one poll loop waits on everything. A process still running when
/// the object goes is killed and reaped.
class EngineProcess {
public:
    /// The longest line taken whole; a longer one is cut there and marked.
    static constexpr std::size_t kMaxLine = 1 << 20;

    /// What the engine wrote: whole lines of its standard output and of its standard error.
    struct Lines {
        std::vector<std::string> output;
        std::vector<std::string> log;
    };

    EngineProcess() = default;
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    /// Starts the engine in a process group of its own, with no signal blocked and without
    /// NOTIFY_SOCKET (the service manager hears the daemon only). Fails with a sentence when the
    /// script is not there or the program cannot be run.
    support::Result<void> spawn(const EngineCommand& command);
    pid_t pid() const { return m_pid; }
    /// Spawned and not yet reaped.
    bool isRunning() const { return m_pid > 0 && !m_waitStatus; }
    /// The wait status once the process has been reaped.
    std::optional<int> waitStatus() const { return m_waitStatus; }

    /// Queues `line` for the engine's standard input; a line end is added when it has none.
    void send(std::string_view line);
    /// Appends the descriptors to wait on: the process, its output and its log, and its input
    /// while something is queued for it.
    void addPollFds(std::vector<pollfd>& fds) const;
    /// Does what can be done without blocking: writes queued input, reads output and log, and
    /// reaps the process once it has ended (after reading what it left in the pipes).
    Lines pump();
    /// Sends `signal` to the process while it runs.
    void signal(int signal) const;

private:
    class LineBuffer {
    public:
        void feed(std::string_view data, std::vector<std::string>& lines);
        void finish(std::vector<std::string>& lines);

    private:
        std::string m_partial;
        bool m_cut = false;
    };

    void writeInput();
    void read(int& fd, LineBuffer& buffer, std::vector<std::string>& lines);
    void reap(Lines& lines);
    void closeAll();

    pid_t m_pid = -1;
    int m_pidFd = -1;
    int m_input = -1;
    int m_output = -1;
    int m_log = -1;
    std::string m_pendingInput;
    LineBuffer m_outputLines;
    LineBuffer m_logLines;
    std::optional<int> m_waitStatus;
};

/// "ended with status 1", "was killed by signal 9 (Killed)", for a wait status.
std::string describeWaitStatus(int status);

} // namespace tavoxserver
