#include "service/ServiceController.h"

#include "platform/InMemoryServiceManager.h"
#include "platform/Sleeper.h"

#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

const std::string kName = "Tavox Server";

class RecordingSleeper final : public Sleeper {
public:
    void sleepMs(unsigned milliseconds) override { pauses.push_back(milliseconds); }
    std::vector<unsigned> pauses;
};

std::vector<std::uint32_t> repeat(std::uint32_t state, int times, std::vector<std::uint32_t> tail = {})
{
    std::vector<std::uint32_t> states(static_cast<std::size_t>(times), state);
    states.insert(states.end(), tail.begin(), tail.end());
    return states;
}

class ServiceControllerTest : public ::testing::Test {
protected:
    void openWithWindow(std::uint32_t state)
    {
        m_manager.addService(kName, state);
        m_controller.Open([this](std::uint32_t s) { m_messages.push_back(s); });
    }

    InMemoryServiceManager m_manager;
    RecordingSleeper m_sleeper;
    ServiceController m_controller { m_manager, m_sleeper };
    std::vector<std::uint32_t> m_messages;
};

struct StartCase {
    const char* what;
    std::uint32_t initial;
    std::vector<std::uint32_t> queued; // states of the queries before the start request
    std::vector<std::uint32_t> startScript; // states of the queries after it
    bool result;
    int starts;
    std::size_t pauses;
};

TEST_F(ServiceControllerTest, StartWaitsWithinOneSharedBudget)
{
    const std::vector<StartCase> cases = {
        { "running: nothing to do", kServiceRunning, {}, {}, true, 0, 0 },
        { "stopped, runs at once", kServiceStopped, {}, { kServiceRunning }, true, 1, 0 },
        { "stopped, start pending twice", kServiceStopped, {}, { 2, 2, 4 }, true, 1, 2 },
        { "start pending ten times still fits", kServiceStopped, {}, repeat(2, 10, { 4 }), true, 1, 10 },
        { "start pending eleven times fails", kServiceStopped, {}, repeat(2, 11, { 4 }), false, 1, 11 },
        { "start stays pending", kServiceStopped, {}, { 2 }, false, 1, 11 },
        { "start ends stopped", kServiceStopped, {}, { 2, 1 }, false, 1, 1 },
        { "waits for a pending stop, then starts", kServiceStopPending, { 3, 3, 3, 1 }, { 2, 4 }, true, 1, 3 },
        { "stop pending past the budget", kServiceStopPending, { 3 }, {}, false, 0, 11 },
        { "stop and start share the budget", kServiceStopPending, repeat(3, 7, { 1 }), { 2 }, false, 1, 11 },
        { "stop and start fit the budget", kServiceStopPending, repeat(3, 7, { 1 }), { 2, 2, 2, 2, 4 }, true, 1, 10 },
        { "start pending cannot be started", kServiceStartPending, {}, {}, false, 0, 0 },
        { "continue pending", kServiceContinuePending, {}, {}, false, 0, 0 },
        { "pause pending", kServicePausePending, {}, {}, false, 0, 0 },
        { "paused", kServicePaused, {}, {}, false, 0, 0 },
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.what);
        InMemoryServiceManager manager;
        RecordingSleeper sleeper;
        ServiceController controller(manager, sleeper);
        manager.addService(kName, c.initial);
        manager.setStartScript(kName, c.startScript);
        manager.queueStates(kName, c.queued);
        controller.Open({});

        EXPECT_EQ(controller.StartServer(), c.result);
        EXPECT_EQ(manager.startCalls(kName), c.starts);
        EXPECT_EQ(sleeper.pauses.size(), c.pauses);
        for (unsigned ms : sleeper.pauses)
            EXPECT_EQ(ms, 1000u);
        controller.Close();
    }
}

TEST_F(ServiceControllerTest, TheManagersJobWaitIsWhatIsLeftOfTheBudget)
{
    openWithWindow(kServiceStopPending);
    m_manager.queueStates(kName, repeat(kServiceStopPending, 7, { kServiceStopped }));
    EXPECT_TRUE(m_controller.StartServer());
    EXPECT_EQ(m_manager.lastJobWait(kName), std::chrono::milliseconds(5000)) << "six of eleven pauses spent";
    EXPECT_TRUE(m_controller.StopServer());
    EXPECT_EQ(m_manager.lastJobWait(kName), std::chrono::milliseconds(11000));
}

struct StopCase {
    const char* what;
    std::uint32_t initial;
    std::vector<std::uint32_t> stopScript;
    bool refused;
    bool result;
    int stops;
    std::size_t pauses;
};

TEST_F(ServiceControllerTest, StopPollsElevenTimesAtMost)
{
    const std::vector<StopCase> cases = {
        { "stopped: nothing to do", kServiceStopped, {}, false, true, 0, 0 },
        { "stops at once", kServiceRunning, { kServiceStopped }, false, true, 1, 0 },
        { "stop pending twice", kServiceRunning, { 3, 3, 1 }, false, true, 1, 2 },
        { "stopped at the eleventh poll", kServiceRunning, repeat(3, 10, { 1 }), false, true, 1, 10 },
        { "never stops", kServiceRunning, { 3 }, false, false, 1, 11 },
        { "stop refused", kServiceRunning, {}, true, false, 1, 0 },
        { "start pending cannot be stopped", kServiceStartPending, {}, false, false, 0, 0 },
        { "continue pending", kServiceContinuePending, {}, false, false, 0, 0 },
        { "paused", kServicePaused, {}, false, false, 0, 0 },
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.what);
        InMemoryServiceManager manager;
        RecordingSleeper sleeper;
        ServiceController controller(manager, sleeper);
        manager.addService(kName, c.initial);
        manager.setStopScript(kName, c.stopScript);
        manager.setStopFails(kName, c.refused);
        controller.Open({});

        EXPECT_EQ(controller.StopServer(), c.result);
        EXPECT_EQ(manager.stopCalls(kName), c.stops);
        EXPECT_EQ(sleeper.pauses.size(), c.pauses);
        controller.Close();
    }
}

TEST_F(ServiceControllerTest, FirstQueryRecordsAndEachLaterChangeSendsOneMessage)
{
    openWithWindow(kServiceStopped);
    m_manager.queueStates(kName, { 1, 1, 2, 4, 4, 3, 1 });

    std::vector<std::uint32_t> seen;
    for (int i = 0; i < 7; ++i) {
        std::uint32_t state = 0;
        ASSERT_TRUE(m_controller.QueryState(&state));
        seen.push_back(state);
    }
    EXPECT_EQ(seen, (std::vector<std::uint32_t> { 1, 1, 2, 4, 4, 3, 1 }));
    EXPECT_EQ(m_messages, (std::vector<std::uint32_t> { 2, 4, 3, 1 }));
    // Each message follows its own one-second pause.
    EXPECT_EQ(m_sleeper.pauses, (std::vector<unsigned>(4, 1000)));
}

TEST_F(ServiceControllerTest, ChangesSeenDuringAStartAreReportedToo)
{
    openWithWindow(kServiceStopped);
    m_manager.setStartScript(kName, { 2, 4 });
    EXPECT_EQ(m_controller.State(), kServiceStopped);

    EXPECT_TRUE(m_controller.StartServer());
    EXPECT_EQ(m_messages, (std::vector<std::uint32_t> { 2, 4 }));
    // One budget pause for the pending start, one pause per message.
    EXPECT_EQ(m_sleeper.pauses.size(), 3u);
}

TEST_F(ServiceControllerTest, FailedQueryReportsMinusOneAndStateZero)
{
    openWithWindow(kServiceRunning);
    m_manager.setQueryFails(kName, true);

    std::uint32_t state = 0;
    EXPECT_FALSE(m_controller.QueryState(&state));
    EXPECT_EQ(state, ServiceController::kQueryFailed);
    EXPECT_EQ(m_controller.State(), 0u);
    EXPECT_FALSE(m_controller.StartServer());
    EXPECT_FALSE(m_controller.StopServer());
    EXPECT_FALSE(m_controller.QueryState(nullptr));
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(m_manager.startCalls(kName) + m_manager.stopCalls(kName), 0);
}

TEST_F(ServiceControllerTest, ServiceThatCannotBeOpenedFailsEverything)
{
    struct Case {
        const char* what;
        bool reachable;
        bool present;
    };
    for (const Case& c : { Case { "manager unreachable", false, true }, Case { "service missing", true, false } }) {
        SCOPED_TRACE(c.what);
        InMemoryServiceManager manager;
        RecordingSleeper sleeper;
        ServiceController controller(manager, sleeper);
        if (c.present)
            manager.addService(kName, kServiceStopped);
        manager.setReachable(c.reachable);

        controller.Open([](std::uint32_t) { ADD_FAILURE() << "no message expected"; });
        EXPECT_FALSE(controller.isOpen());
        EXPECT_EQ(manager.openManagers(), 0);
        EXPECT_EQ(manager.openServices(), 0);
        std::uint32_t state = 7;
        EXPECT_FALSE(controller.QueryState(&state));
        EXPECT_EQ(state, 7u);
        EXPECT_EQ(controller.State(), 0u);
        EXPECT_FALSE(controller.StartServer());
        EXPECT_FALSE(controller.StopServer());
        EXPECT_TRUE(sleeper.pauses.empty());
    }
}

TEST_F(ServiceControllerTest, OpenRegistersForStopAndRunAndReopensCleanly)
{
    openWithWindow(kServiceStopped);
    EXPECT_EQ(m_manager.watchMask(kName), kNotifyStopped | kNotifyRunning);
    EXPECT_EQ(m_manager.openManagers(), 1);
    EXPECT_EQ(m_manager.openServices(), 1);

    m_controller.Open([this](std::uint32_t s) { m_messages.push_back(s); });
    EXPECT_EQ(m_manager.openManagers(), 1);
    EXPECT_EQ(m_manager.openServices(), 1);

    m_controller.Close();
    EXPECT_FALSE(m_controller.isOpen());
    EXPECT_EQ(m_manager.openManagers(), 0);
    EXPECT_EQ(m_manager.openServices(), 0);
    EXPECT_EQ(m_manager.watchMask(kName), 0u);
}

TEST_F(ServiceControllerTest, PlatformNoticeReachesTheWindowAfterAPause)
{
    openWithWindow(kServiceStopped);
    m_manager.changeState(kName, kServiceStartPending); // not in the mask
    m_manager.changeState(kName, kServiceRunning);
    EXPECT_EQ(m_messages, (std::vector<std::uint32_t> { kServiceRunning }));
    EXPECT_EQ(m_sleeper.pauses, (std::vector<unsigned> { 1000 }));

    m_controller.Close();
    m_manager.changeState(kName, kServiceStopped);
    EXPECT_EQ(m_messages.size(), 1u);
}

} // namespace
