#pragma once

namespace platform {

/// Blocking pauses (Sleep), injectable so that tests run the service budgets without waiting.
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleepMs(unsigned milliseconds) = 0;
};

/// The real sleeper: blocks the calling thread.
class ThreadSleeper final : public Sleeper {
public:
    void sleepMs(unsigned milliseconds) override;
};

} // namespace platform
