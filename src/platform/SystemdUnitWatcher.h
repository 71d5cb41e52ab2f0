#pragma once

#include "platform/SdBus.h"
#include "platform/ServiceManager.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace platform {

/// Follows the ActiveState of one systemd unit on a connection and a thread of its own, and
/// calls back on that thread whenever the unit enters a state whose bit is in the mask.
/// Destroying the watcher stops the thread; no callback runs after the destructor returns.
class SystemdUnitWatcher {
public:
    /// Connects (to the bus at `busAddress`, the system bus when empty), subscribes to the unit's
    /// property changes and starts the thread; null when the bus cannot be reached or the
    /// subscription fails.
    static std::unique_ptr<SystemdUnitWatcher> start(const std::string& busAddress,
        const std::string& unitPath,
        std::uint32_t mask,
        ServiceStatusCallback callback);

    ~SystemdUnitWatcher();
    SystemdUnitWatcher(const SystemdUnitWatcher&) = delete;
    SystemdUnitWatcher& operator=(const SystemdUnitWatcher&) = delete;

private:
    SystemdUnitWatcher(std::string unitPath, std::uint32_t mask, ServiceStatusCallback callback);

    static int onPropertiesChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);
    void handleActiveState(const std::string& activeState);
    void run();

    std::string m_unitPath;
    std::uint32_t m_mask;
    ServiceStatusCallback m_callback;
    sdbus::BusPtr m_bus;
    sd_bus_slot* m_slot = nullptr;
    int m_stopFd = -1;
    std::uint32_t m_lastState = 0;
    std::thread m_thread;
};

} // namespace platform
