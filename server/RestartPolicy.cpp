#include "RestartPolicy.h"

#include <algorithm>

namespace tavoxserver {

std::optional<std::chrono::milliseconds> RestartPolicy::crashed(Clock::time_point startedAt, Clock::time_point now)
{
    while (!m_recent.empty() && now - m_recent.front() >= m_limits.window)
        m_recent.pop_front();
    m_recent.push_back(now);
    if (static_cast<int>(m_recent.size()) >= m_limits.crashesInWindow)
        return std::nullopt;

    m_consecutive = now - startedAt >= m_limits.window ? 1 : m_consecutive + 1;
    std::chrono::milliseconds delay = m_limits.firstDelay;
    for (int i = 1; i < m_consecutive && delay < m_limits.maxDelay; ++i)
        delay *= 2;
    return std::min(delay, m_limits.maxDelay);
}

} // namespace tavoxserver
