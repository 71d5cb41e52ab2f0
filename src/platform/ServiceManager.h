#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace platform {

/// Service states, with the numbers of the Windows service manager.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
inline constexpr std::uint32_t kServiceContinuePending = 5;
inline constexpr std::uint32_t kServicePausePending = 6;
inline constexpr std::uint32_t kServicePaused = 7;

/// Notification mask bits: one per state, bit (state - 1).
inline constexpr std::uint32_t kNotifyStopped = 0x1;
inline constexpr std::uint32_t kNotifyStartPending = 0x2;
inline constexpr std::uint32_t kNotifyStopPending = 0x4;
inline constexpr std::uint32_t kNotifyRunning = 0x8;

/// The mask bit of a state; 0 for a value outside 1 to 7.
constexpr std::uint32_t notifyBitOf(std::uint32_t state)
{
    return state >= kServiceStopped && state <= kServicePaused ? 1u << (state - 1) : 0u;
}

/// What the manager reports of a service: the nine fields (36 bytes) of SERVICE_STATUS_PROCESS.
struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
    std::uint32_t processId = 0;
    std::uint32_t serviceFlags = 0;
};

/// Receives a state change: the mask bit that fired and the status that caused it.
using ServiceStatusCallback = std::function<void(std::uint32_t triggered, const ServiceStatus& status)>;

/// An open service (OpenServiceW's handle). Destroying it closes it: a registered
/// notification is withdrawn, and once the destructor returns its callback no longer runs.
class ServiceHandle {
public:
    virtual ~ServiceHandle() = default;

    /// QueryServiceStatusEx. False when the manager cannot tell.
    [[nodiscard]] virtual bool queryStatus(ServiceStatus& status) = 0;
    /// StartServiceW without arguments. False when the service cannot be started (not stopped,
    /// refused by the manager). A manager that runs starts as jobs waits up to `jobWait` for the
    /// job to end, so that the state read next is the start's outcome, not the state before
    /// the job ran; true does not say that the service runs.
    [[nodiscard]] virtual bool start(std::chrono::milliseconds jobWait) = 0;
    /// ControlService with the stop control, and the same wait of up to `jobWait` for a stop
    /// job; `status` receives the state after it. False when the service does not accept a
    /// stop (not running) or the manager refuses.
    [[nodiscard]] virtual bool stop(ServiceStatus& status, std::chrono::milliseconds jobWait) = 0;
    /// NotifyServiceStatusChangeW: from now on, every change into a state whose bit is in
    /// `mask` calls `callback` on a thread of the backend (never the caller's). A later
    /// registration replaces the earlier one. False when the backend cannot watch the service.
    [[nodiscard]] virtual bool notifyStatusChange(std::uint32_t mask, ServiceStatusCallback callback) = 0;
};

/// An open connection to the service manager (OpenSCManagerW's handle); closed when destroyed.
/// Services opened through it stay usable after it is closed.
class ManagerHandle {
public:
    virtual ~ManagerHandle() = default;

    /// Opens a service by its display name ("Tavox Server"); null when there is none.
    [[nodiscard]] virtual std::unique_ptr<ServiceHandle> openService(std::string_view name) = 0;
};

/// The machine's service manager.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;

    /// Connects with full access; null when the manager cannot be reached.
    [[nodiscard]] virtual std::unique_ptr<ManagerHandle> openManager() = 0;
};

} // namespace platform
