#pragma once

#include <chrono>
#include <deque>
#include <optional>

namespace tavoxserver {

/// When an engine that crashed is started again: after 1, 2, 4 ... seconds, at most 30, the
/// count starting afresh once the engine has run a whole minute; not at all once it has
/// crashed five times within a minute, since it is then broken rather than unlucky.
class RestartPolicy {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        std::chrono::milliseconds firstDelay { 1000 };
        std::chrono::milliseconds maxDelay { 30000 };
        std::chrono::milliseconds window { 60000 };
        int crashesInWindow = 5;
    };

    RestartPolicy() = default;
    explicit RestartPolicy(Limits limits)
        : m_limits(limits)
    {
    }

    /// A crash at `now` of the engine started at `startedAt`: the pause before the next start,
    /// or nothing when the engine is given up.
    std::optional<std::chrono::milliseconds> crashed(Clock::time_point startedAt, Clock::time_point now);

private:
    Limits m_limits;
    int m_consecutive = 0;
    std::deque<Clock::time_point> m_recent;
};

} // namespace tavoxserver
