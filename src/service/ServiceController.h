#pragma once

#include "platform/ServiceManager.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {
class Sleeper;
}

class ServiceController;

/// Where state-change messages go: stands for the sheet window that receives WM_USER + 3
/// with the new state. It is called after a one-second pause, either synchronously from
/// `QueryState` on the caller's thread or from a thread of the service-manager backend, so
/// it must only hand the state over to the user-interface thread (a queued call).
using StateChangeHandler = std::function<void(std::uint32_t state)>;

struct ServiceNotify;
using ServiceNotifyCallback = void (*)(const ServiceNotify& record);

/// What a state-change record points back to: the controller, the callback and the window.
struct ServiceNotifyContext {
    ServiceController* controller = nullptr;
    ServiceNotifyCallback callback = nullptr;
    StateChangeHandler window;
};

/// A state-change record, as the platform's notification hands it over (SERVICE_NOTIFYW).
struct ServiceNotify {
    std::uint32_t version = 0;
    ServiceNotifyCallback notifyCallback = nullptr;
    ServiceNotifyContext* context = nullptr;
    std::uint32_t notificationStatus = 0;
    platform::ServiceStatus serviceStatus;
    std::uint32_t notificationTriggered = 0;
    const char16_t* serviceNames = nullptr;
};

/// Queries, starts and stops the server service "Tavox Server" and reports its state
/// changes. Every operation is synchronous and waits in one-second pauses through the
/// injected sleeper. States are those of the service manager (1 stopped to 7 paused);
/// `kQueryFailed` marks a failed query and 0 no state.
class ServiceController {
public:
    static constexpr std::uint32_t kQueryFailed = 0xFFFFFFFF;
    static constexpr std::uint32_t kNotifyStatusChange = 2;
    static constexpr unsigned kPauseMs = 1000;
    /// Pauses shared by the waits of one start, and polls of one stop.
    static constexpr int kWaitRounds = 11;

    ServiceController(platform::ServiceManager& manager, platform::Sleeper& sleeper);
    ~ServiceController();
    ServiceController(const ServiceController&) = delete;
    ServiceController& operator=(const ServiceController&) = delete;

    /// Closes what is open, then opens the manager and the service and registers for its
    /// stop and run notifications. A failure leaves both handles empty and is not reported.
    void Open(StateChangeHandler window);
    /// Reads the state into `state` (kQueryFailed when the manager cannot tell). The first
    /// successful query only records the state; each later one that sees a new state sends
    /// one state-change message (after the one-second pause) before returning.
    bool QueryState(std::uint32_t* state);
    /// The current state, 0 when the service is not open or the query fails.
    std::uint32_t State();
    /// Starts the service and waits for it to run; true at once when it already runs.
    bool StartServer();
    /// Stops the service and waits for it to stop; true at once when it is stopped.
    bool StopServer();
    /// Pauses one second, then sends the record's state to the window given at `Open`.
    static void OnServiceNotify(const ServiceNotify& record);
    void Close();

    /// Both the manager and the service are open.
    bool isOpen() const { return m_manager && m_service; }

private:
    void deliverPlatformNotice(std::uint32_t triggered, const platform::ServiceStatus& status);

    platform::ServiceManager& m_serviceManager;
    platform::Sleeper& m_sleeper;

    std::array<char16_t, 256> m_name {};
    std::unique_ptr<platform::ManagerHandle> m_manager;
    std::unique_ptr<platform::ServiceHandle> m_service;
    ServiceNotifyContext m_notifyContext;
    ServiceNotify m_notifyRecord;
    // One controller lives for the whole program, so its own record of the last observed
    // state is the program's.
    std::uint32_t m_lastObservedState = 0;
};
