#pragma once

#include "EngineProcess.h"
#include "RestartPolicy.h"

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavoxserver {

/// How long the engine is given.
struct EngineTimeouts {
    std::chrono::milliseconds report { 30000 }; ///< from its start to "listening"
    std::chrono::milliseconds kill { 5000 }; ///< from SIGTERM to SIGKILL
};

/// Runs the engine for the daemon: starts it with the hand-off, reads its channel and its log,
/// starts it again after a crash as the restart policy says, and stops it. An engine that ends
/// or does not report "listening" in time before it ever listened, one that failed for a
/// reason a restart cannot mend ("permanent", or exit status 2), and one given up by the policy
/// end the supervision with a reason. Single-threaded: the owner waits on pollFds() for at most
/// timeoutMs() and then calls process(); the events arrive from there.
class EngineSupervisor {
public:
    using Clock = std::chrono::steady_clock;

    /// What the supervisor reports, on the caller's thread.
    class Events {
    public:
        virtual ~Events() = default;
        /// A line of the supervisor's own: the engine started, ended, is started again.
        virtual void supervisorLine(const std::string& line) = 0;
        /// A line of the engine's log.
        virtual void engineLogLine(const std::string& line) = 0;
        /// A message of the engine's channel (a JSON object with a "type"), "listening" and
        /// "failed" included.
        virtual void engineMessage(const nlohmann::json& message) = 0;
    };

    enum class Phase { Idle, Starting, Listening, WaitingToRestart, Stopping, Ended };

    EngineSupervisor(EngineCommand command,
        std::string handOff,
        Events& events,
        RestartPolicy policy = {},
        EngineTimeouts timeouts = {});
    ~EngineSupervisor();
    EngineSupervisor(const EngineSupervisor&) = delete;
    EngineSupervisor& operator=(const EngineSupervisor&) = delete;

    /// Starts the engine and hands it the hand-off; false (the phase Ended, failure() set)
    /// when it cannot be run.
    bool start();
    /// SIGTERM to a running engine and SIGKILL after the kill timeout; an engine waiting to be
    /// started again is not. Ends when the engine has ended.
    void stop();

    /// Queues `line` for the running engine's standard input; dropped when none runs.
    void send(std::string_view line);
    /// Counts the engine's starts, so that an answer to one run is not given to the next.
    std::uint64_t run() const { return m_runs; }

    void addPollFds(std::vector<pollfd>& fds) const;
    /// Milliseconds until the next timer of the supervisor; -1 when none runs.
    int timeoutMs() const;
    /// Takes what the engine wrote, notices its end and runs the timers that are due.
    void process();

    Phase phase() const { return m_phase; }
    /// The engine has reported "listening" at least once.
    bool hasListened() const { return m_everListened; }
    /// Why the supervision ended without a stop request; empty otherwise.
    const std::string& failure() const { return m_failure; }

private:
    bool spawn();
    void handleOutput(const std::string& line);
    void ended(int waitStatus);
    void end(std::string failure);
    std::optional<Clock::time_point> nextTimer() const;

    EngineCommand m_command;
    std::string m_handOff;
    Events& m_events;
    RestartPolicy m_policy;
    EngineTimeouts m_timeouts;
    std::unique_ptr<EngineProcess> m_process;

    Phase m_phase = Phase::Idle;
    std::uint64_t m_runs = 0;
    bool m_everListened = false;
    Clock::time_point m_startedAt;
    Clock::time_point m_deadline; ///< report, kill or restart, by phase
    // What the engine said of its failure in this run.
    std::string m_failedReason;
    bool m_failedPermanent = false;
    bool m_reportTimedOut = false;
    std::string m_failure;
};

} // namespace tavoxserver
