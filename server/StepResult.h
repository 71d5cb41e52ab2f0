#pragma once

#include <string>
#include <utility>

namespace tavoxserver {

/// The outcome of one start-up step: success, or why it failed, as a sentence for the log.
class [[nodiscard]] StepResult {
public:
    static StepResult success() { return StepResult({}); }
    static StepResult failure(std::string reason) { return StepResult(std::move(reason)); }

    bool ok() const { return m_reason.empty(); }
    const std::string& reason() const { return m_reason; }

private:
    explicit StepResult(std::string reason)
        : m_reason(std::move(reason))
    {
    }
    std::string m_reason;
};

} // namespace tavoxserver
