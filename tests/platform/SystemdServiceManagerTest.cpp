#include "platform/SystemdServiceManager.h"

#include "testing/SystemdPeer.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

namespace {

TEST(SystemdServiceManagerTest, NamesAndStatesMapToSystemd)
{
    const std::pair<const char*, const char*> names[] = {
        { "Tavox Server", "tavox-server.service" },
        { "tavox-server.service", "tavox-server.service" },
        { "Other", "other.service" },
    };
    for (const auto& [service, unit] : names)
        EXPECT_EQ(SystemdServiceManager::unitNameFor(service), unit) << service;

    const std::pair<const char*, std::uint32_t> states[] = {
        { "active", kServiceRunning },
        { "reloading", kServiceRunning },
        { "activating", kServiceStartPending },
        { "deactivating", kServiceStopPending },
        { "inactive", kServiceStopped },
        { "failed", kServiceStopped },
        { "maintenance", 0 },
        { "", 0 },
    };
    for (const auto& [active, state] : states)
        EXPECT_EQ(SystemdServiceManager::stateOfActiveState(active), state) << active;
}

TEST(SystemdServiceManagerTest, NoBusMeansNoManager)
{
    SystemdServiceManager manager("unix:path=/nonexistent/tavox-test-bus");
    EXPECT_EQ(manager.openManager(), nullptr);
}

/// Collects the notices of the backend thread.
class Notices {
public:
    ServiceStatusCallback callback()
    {
        return [this](std::uint32_t triggered, const ServiceStatus& status) {
            std::lock_guard lock(m_mutex);
            m_seen.push_back({ triggered, status.currentState });
            m_changed.notify_all();
        };
    }
    bool waitFor(std::uint32_t state, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            for (const auto& [bit, s] : m_seen)
                if (s == state && bit == notifyBitOf(state))
                    return true;
            return false;
        });
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> seen()
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_seen;
};

std::uint32_t stateOf(ServiceHandle& service)
{
    ServiceStatus status;
    return service.queryStatus(status) ? status.currentState : 0;
}

bool waitForState(ServiceHandle& service, std::uint32_t state)
{
    for (int i = 0; i < 200; ++i) {
        if (stateOf(service) == state)
            return true;
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// A service of Type=notify that reports ready at once and then runs until it is stopped.
const std::vector<std::string> kNotifyingService = { "/usr/bin/python3",
    "-c",
    "import os, socket, time\n"
    "socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM).sendto(b'READY=1', os.environ['NOTIFY_SOCKET'])\n"
    "time.sleep(60)\n" };

TEST(SystemdServiceManagerTest, OpensStartsStopsAndNotifiesOverThePeer)
{
    // The start job waits before it runs, the unit inactive meanwhile: already a start pending.
    SystemdPeer peer("tavox-server.service", kNotifyingService, 300, 300, {}, 300);
    ASSERT_TRUE(peer.ready());

    SystemdServiceManager manager(peer.busAddress());
    auto scm = manager.openManager();
    ASSERT_NE(scm, nullptr);
    EXPECT_EQ(scm->openService("Other Service"), nullptr) << "a unit without a unit file must not open";
    auto service = scm->openService("Tavox Server");
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(stateOf(*service), kServiceStopped);

    Notices notices;
    ASSERT_TRUE(service->notifyStatusChange(kNotifyStopped | kNotifyRunning, notices.callback()));

    // Without a wait for its job the start returns while the unit is still activating.
    ASSERT_TRUE(service->start(0ms));
    EXPECT_EQ(stateOf(*service), kServiceStartPending);
    ASSERT_TRUE(waitForState(*service, kServiceRunning));
    ServiceStatus running;
    ASSERT_TRUE(service->queryStatus(running));
    ASSERT_GT(running.processId, 0u);
    EXPECT_EQ(::kill(static_cast<pid_t>(running.processId), 0), 0) << "the service's process runs";
    EXPECT_TRUE(notices.waitFor(kServiceRunning));

    // With a wait, the state after the call is where the job led.
    ServiceStatus afterStop;
    ASSERT_TRUE(service->stop(afterStop, 10s));
    EXPECT_EQ(afterStop.currentState, kServiceStopped);
    EXPECT_TRUE(notices.waitFor(kServiceStopped));

    // Pending states are outside the mask: only the two entries were reported.
    const std::vector<std::pair<std::uint32_t, std::uint32_t>> expected
        = { { kNotifyRunning, kServiceRunning }, { kNotifyStopped, kServiceStopped } };
    EXPECT_EQ(notices.seen(), expected);

    // Closing the handle withdraws the notice.
    service.reset();
    auto again = scm->openService("Tavox Server");
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(again->start(10s));
    EXPECT_EQ(stateOf(*again), kServiceRunning);
    EXPECT_EQ(notices.seen().size(), 2u);
}

} // namespace
