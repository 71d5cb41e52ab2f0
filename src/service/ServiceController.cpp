#include "service/ServiceController.h"

#include "platform/Sleeper.h"

#include <algorithm>
#include <chrono>
#include <string_view>

namespace {

constexpr std::u16string_view kServiceName = u"Tavox Server";
constexpr std::string_view kServiceNameUtf8 = "Tavox Server";

using Clock = std::chrono::steady_clock;

// What is left of the budget after `pauses` pauses, for the manager's wait on its job.
std::chrono::milliseconds budgetAfter(int pauses)
{
    return std::chrono::milliseconds(ServiceController::kPauseMs)
        * std::max(0, ServiceController::kWaitRounds - pauses);
}

// Whole pauses of the budget that the manager's job wait since `since` took.
int pausesSince(Clock::time_point since)
{
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since);
    return static_cast<int>(waited.count() / ServiceController::kPauseMs);
}

} // namespace

ServiceController::ServiceController(platform::ServiceManager& manager, platform::Sleeper& sleeper)
    : m_serviceManager(manager)
    , m_sleeper(sleeper)
{
}

ServiceController::~ServiceController() { Close(); }

void ServiceController::Open(StateChangeHandler window)
{
    Close();

    m_name.fill(u'\0');
    std::copy(kServiceName.begin(), kServiceName.end(), m_name.begin());

    m_manager = m_serviceManager.openManager();
    if (!m_manager)
        return;
    m_service = m_manager->openService(kServiceNameUtf8);
    if (!m_service) {
        m_manager.reset();
        return;
    }

    m_notifyRecord = ServiceNotify {};
    m_notifyContext.controller = this;
    m_notifyContext.callback = &ServiceController::OnServiceNotify;
    m_notifyContext.window = std::move(window);
    m_notifyRecord.version = kNotifyStatusChange;
    m_notifyRecord.notifyCallback = &ServiceController::OnServiceNotify;
    m_notifyRecord.context = &m_notifyContext;
    // Not examined: without the platform's notice the status poll still sees every change.
    (void)m_service->notifyStatusChange(platform::kNotifyStopped | platform::kNotifyRunning,
        [this](std::uint32_t triggered, const platform::ServiceStatus& status) {
            deliverPlatformNotice(triggered, status);
        });
}

bool ServiceController::QueryState(std::uint32_t* state)
{
    if (!state || !isOpen())
        return false;
    *state = kQueryFailed;
    platform::ServiceStatus status;
    if (!m_service->queryStatus(status))
        return false;
    *state = status.currentState;

    if (m_lastObservedState == 0) {
        m_lastObservedState = *state;
        return true;
    }
    if (m_lastObservedState != *state && m_notifyContext.callback) {
        ServiceNotify record;
        record.version = kNotifyStatusChange;
        record.notifyCallback = m_notifyContext.callback;
        record.context = &m_notifyContext;
        record.serviceStatus = status;
        // Only the state is read from the record; the trigger is kept as the state's shift.
        record.notificationTriggered = *state < 32 ? 1u << *state : 0u;
        record.serviceNames = m_name.data();
        m_lastObservedState = *state;
        m_notifyContext.callback(record);
    }
    return true;
}

std::uint32_t ServiceController::State()
{
    std::uint32_t state = 0;
    if (isOpen() && QueryState(&state))
        return state;
    return 0;
}

bool ServiceController::StartServer()
{
    std::uint32_t state = 0;
    if (!isOpen() || !QueryState(&state))
        return false;
    if (state == platform::kServiceRunning)
        return true;
    if (state != platform::kServiceStopped && state != platform::kServiceStopPending)
        return false;

    // One budget of pauses covers both the wait for a pending stop and the wait for the start.
    int pauses = 0;
    while (isOpen() && QueryState(&state) && state == platform::kServiceStopPending) {
        ++pauses;
        m_sleeper.sleepMs(kPauseMs);
        if (pauses == kWaitRounds)
            return false;
    }

    // The manager's wait on its start job spends the same budget as the pauses; a state that
    // it ended with is read whatever the wait took.
    const Clock::time_point requested = Clock::now();
    if (!m_service->start(budgetAfter(pauses)))
        return false;
    pauses = std::min(pauses + pausesSince(requested), kWaitRounds - 1);

    state = State();
    while (state == platform::kServiceStartPending) {
        ++pauses;
        m_sleeper.sleepMs(kPauseMs);
        if (pauses >= kWaitRounds)
            break;
        state = State();
    }
    return state == platform::kServiceRunning && pauses < kWaitRounds;
}

bool ServiceController::StopServer()
{
    std::uint32_t state = 0;
    if (!isOpen() || !QueryState(&state))
        return false;
    if (state == platform::kServiceStopped)
        return true;
    if (state != platform::kServiceRunning)
        return false;

    platform::ServiceStatus status;
    const Clock::time_point requested = Clock::now();
    if (!m_service->stop(status, budgetAfter(0)))
        return false;

    // The manager's wait on its stop job counts as polls; the state after it is read at least once.
    std::uint32_t last = 0;
    for (int round = std::min(pausesSince(requested), kWaitRounds - 1); round < kWaitRounds; ++round) {
        if (isOpen() && QueryState(&state)) {
            last = state;
            if (last == platform::kServiceStopped)
                break;
        } else {
            last = 0;
        }
        m_sleeper.sleepMs(kPauseMs);
    }
    return last == platform::kServiceStopped;
}

void ServiceController::OnServiceNotify(const ServiceNotify& record)
{
    const ServiceNotifyContext* context = record.context;
    if (!context || !context->window)
        return;
    if (context->controller)
        context->controller->m_sleeper.sleepMs(kPauseMs);
    context->window(record.serviceStatus.currentState);
}

void ServiceController::Close()
{
    // The service first: closing it withdraws the notification before the manager goes.
    m_service.reset();
    m_manager.reset();
}

void ServiceController::deliverPlatformNotice(std::uint32_t triggered, const platform::ServiceStatus& status)
{
    ServiceNotify record = m_notifyRecord;
    record.serviceStatus = status;
    record.notificationTriggered = triggered;
    record.serviceNames = m_name.data();
    OnServiceNotify(record);
}
