#include "EngineSupervisor.h"

#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <csignal>
#include <utility>

namespace tavoxserver {
namespace {

// The engine's exit status after a failure that a restart cannot mend.
constexpr int kPermanentExitStatus = 2;

std::string seconds(std::chrono::milliseconds delay)
{
    const auto ms = delay.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

} // namespace

EngineSupervisor::EngineSupervisor(EngineCommand command,
    std::string handOff,
    Events& events,
    RestartPolicy policy,
    EngineTimeouts timeouts)
    : m_command(std::move(command))
    , m_handOff(std::move(handOff))
    , m_events(events)
    , m_policy(policy)
    , m_timeouts(timeouts)
{
}

EngineSupervisor::~EngineSupervisor() = default;

bool EngineSupervisor::start() { return spawn(); }

bool EngineSupervisor::spawn()
{
    auto process = std::make_unique<EngineProcess>();
    if (support::Result<void> spawned = process->spawn(m_command); !spawned.ok()) {
        end(spawned.error().message);
        return false;
    }
    m_process = std::move(process);
    ++m_runs;
    m_process->send(m_handOff);
    m_phase = Phase::Starting;
    m_startedAt = Clock::now();
    m_deadline = m_startedAt + m_timeouts.report;
    m_failedReason.clear();
    m_failedPermanent = false;
    m_reportTimedOut = false;
    m_events.supervisorLine("engine started: " + m_command.node + " " + m_command.script().string() + " (process "
        + std::to_string(m_process->pid()) + ")");
    return true;
}

void EngineSupervisor::stop()
{
    if (m_process && m_process->isRunning()) {
        m_process->signal(SIGTERM);
        m_phase = Phase::Stopping;
        m_deadline = Clock::now() + m_timeouts.kill;
        return;
    }
    if (m_phase != Phase::Ended)
        m_phase = Phase::Ended;
}

void EngineSupervisor::send(std::string_view line)
{
    if (m_process && m_process->isRunning())
        m_process->send(line);
}

void EngineSupervisor::addPollFds(std::vector<pollfd>& fds) const
{
    if (m_process)
        m_process->addPollFds(fds);
}

std::optional<EngineSupervisor::Clock::time_point> EngineSupervisor::nextTimer() const
{
    switch (m_phase) {
    case Phase::Starting:
        if (m_reportTimedOut)
            return std::nullopt;
        return m_deadline;
    case Phase::WaitingToRestart:
    case Phase::Stopping:
        return m_deadline;
    case Phase::Idle:
    case Phase::Listening:
    case Phase::Ended:
        break;
    }
    return std::nullopt;
}

int EngineSupervisor::timeoutMs() const
{
    const std::optional<Clock::time_point> timer = nextTimer();
    if (!timer)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*timer - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 24 * 3600 * 1000));
}

void EngineSupervisor::process()
{
    if (m_process && m_process->isRunning()) {
        EngineProcess::Lines lines = m_process->pump();
        for (const std::string& line : lines.log)
            m_events.engineLogLine(line);
        for (const std::string& line : lines.output)
            handleOutput(line);
        if (const std::optional<int> status = m_process->waitStatus())
            ended(*status);
    }
    const std::optional<Clock::time_point> timer = nextTimer();
    if (!timer || Clock::now() < *timer)
        return;
    switch (m_phase) {
    case Phase::Starting:
        // A hung engine is killed; its end is then handled as any other.
        m_reportTimedOut = true;
        m_events.supervisorLine(
            "the engine did not report listening within " + seconds(m_timeouts.report) + ": it is killed");
        m_process->signal(SIGKILL);
        break;
    case Phase::Stopping:
        m_events.supervisorLine("the engine did not stop within " + seconds(m_timeouts.kill) + ": it is killed");
        m_process->signal(SIGKILL);
        m_deadline = Clock::time_point::max();
        break;
    case Phase::WaitingToRestart:
        spawn();
        break;
    case Phase::Idle:
    case Phase::Listening:
    case Phase::Ended:
        break;
    }
}

void EngineSupervisor::handleOutput(const std::string& line)
{
    nlohmann::json message = nlohmann::json::parse(line, nullptr, false);
    if (!message.is_object() || !message.contains("type") || !message["type"].is_string()) {
        m_events.supervisorLine("the engine wrote a line that is not a message: " + line.substr(0, 200));
        return;
    }
    const std::string type = message["type"].get<std::string>();
    if (type == "listening") {
        // A report that comes after a stop request (or a second one) starts nothing.
        if (m_phase != Phase::Starting)
            return;
        m_phase = Phase::Listening;
        m_everListened = true;
    } else if (type == "failed") {
        m_failedReason = message.value("reason", std::string("no reason given"));
        const auto permanent = message.find("permanent");
        m_failedPermanent = permanent != message.end() && permanent->is_boolean() && permanent->get<bool>();
    }
    m_events.engineMessage(message);
}

void EngineSupervisor::ended(int waitStatus)
{
    const bool permanent
        = m_failedPermanent || (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == kPermanentExitStatus);
    std::string reason = m_reportTimedOut ? "it did not report listening within " + seconds(m_timeouts.report)
        : !m_failedReason.empty()         ? m_failedReason
                                          : "it " + describeWaitStatus(waitStatus);
    const bool wasStopping = m_phase == Phase::Stopping;
    const bool listenedThisRun = m_phase == Phase::Listening;
    m_process.reset();
    if (wasStopping) {
        m_events.supervisorLine("engine stopped: it " + describeWaitStatus(waitStatus));
        m_phase = Phase::Ended;
        return;
    }
    if (!m_everListened) {
        end("the engine did not start: " + reason);
        return;
    }
    if (permanent) {
        end("the engine failed: " + reason + " (a restart cannot mend it)");
        return;
    }
    const Clock::time_point now = Clock::now();
    const std::optional<std::chrono::milliseconds> delay = m_policy.crashed(m_startedAt, now);
    if (!delay) {
        end("the engine ended too often within a minute, last because " + reason + ": it is not started again");
        return;
    }
    m_events.supervisorLine(std::string(listenedThisRun ? "the engine ended" : "the engine did not start again") + ": "
        + reason + "; it is started again in " + seconds(*delay));
    m_phase = Phase::WaitingToRestart;
    m_deadline = now + *delay;
}

void EngineSupervisor::end(std::string failure)
{
    m_failure = std::move(failure);
    m_phase = Phase::Ended;
    m_events.supervisorLine(m_failure);
}

} // namespace tavoxserver
