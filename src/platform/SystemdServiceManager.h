#pragma once

#include "platform/ServiceManager.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

/// The service manager on systemd, over the system D-Bus (DBUS_SYSTEM_BUS_ADDRESS selects
/// another bus) or the bus at the address it is given. A service is the unit named after it ("Tavox Server" is
/// "tavox-server.service"); only a unit that systemd has loaded from a unit file opens.
/// ActiveState gives the state: active and reloading running, activating start pending,
/// deactivating stop pending, inactive and failed stopped. A start or a stop waits for the
/// manager's job to end (its JobRemoved signal): for a unit of Type=notify a start job ends
/// when the daemon reports ready or fails.
class SystemdServiceManager final : public ServiceManager {
public:
    /// An empty address is the system bus.
    explicit SystemdServiceManager(std::string busAddress = {})
        : m_busAddress(std::move(busAddress))
    {
    }

    std::unique_ptr<ManagerHandle> openManager() override;

    /// The unit of a service: lower case, blanks as '-', ".service" added unless the name
    /// already carries it.
    static std::string unitNameFor(std::string_view serviceName);
    /// The service state of an ActiveState; 0 for one without a counterpart.
    static std::uint32_t stateOfActiveState(std::string_view activeState);

private:
    std::string m_busAddress;
};

} // namespace platform
