#include "platform/SystemdUnitWatcher.h"

#include "platform/SystemdServiceManager.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <utility>

namespace platform {
namespace {

// Milliseconds until an absolute CLOCK_MONOTONIC time in microseconds; -1 for none.
int pollTimeoutMs(std::uint64_t deadlineUsec)
{
    if (deadlineUsec == UINT64_MAX)
        return -1;
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t nowUsec
        = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000u;
    if (deadlineUsec <= nowUsec)
        return 0;
    const std::uint64_t ms = (deadlineUsec - nowUsec + 999) / 1000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

// The ActiveState carried by a PropertiesChanged signal of the Unit interface, if any;
// `invalidated` is set when the signal only names it as changed.
bool readActiveState(sd_bus_message* message, std::string& activeState, bool& invalidated)
{
    const char* interface = nullptr;
    if (sd_bus_message_read(message, "s", &interface) < 0
        || !interface || std::strcmp(interface, sdbus::kUnitInterface) != 0)
        return false;
    bool found = false;
    if (sd_bus_message_enter_container(message, 'a', "{sv}") < 0)
        return false;
    while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
        const char* name = nullptr;
        if (sd_bus_message_read(message, "s", &name) < 0)
            return false;
        if (name && std::strcmp(name, "ActiveState") == 0) {
            const char* value = nullptr;
            if (sd_bus_message_read(message, "v", "s", &value) < 0)
                return false;
            activeState = value ? value : "";
            found = true;
        } else if (sd_bus_message_skip(message, "v") < 0) {
            return false;
        }
        if (sd_bus_message_exit_container(message) < 0)
            return false;
    }
    if (sd_bus_message_exit_container(message) < 0)
        return found;
    char** names = nullptr;
    if (sd_bus_message_read_strv(message, &names) >= 0 && names) {
        for (char** n = names; *n; ++n) {
            if (std::strcmp(*n, "ActiveState") == 0)
                invalidated = true;
            std::free(*n);
        }
        std::free(names);
    }
    return found || invalidated;
}

} // namespace

SystemdUnitWatcher::SystemdUnitWatcher(std::string unitPath, std::uint32_t mask, ServiceStatusCallback callback)
    : m_unitPath(std::move(unitPath))
    , m_mask(mask)
    , m_callback(std::move(callback))
{
}

std::unique_ptr<SystemdUnitWatcher> SystemdUnitWatcher::start(const std::string& busAddress,
    const std::string& unitPath,
    std::uint32_t mask,
    ServiceStatusCallback callback)
{
    std::unique_ptr<SystemdUnitWatcher> watcher(new SystemdUnitWatcher(unitPath, mask, std::move(callback)));
    watcher->m_bus = sdbus::openSystemBus(busAddress);
    if (!watcher->m_bus)
        return nullptr;
    sd_bus* bus = watcher->m_bus.get();
    if (sd_bus_match_signal(bus,
            &watcher->m_slot,
            sdbus::kDestination,
            unitPath.c_str(),
            "org.freedesktop.DBus.Properties",
            "PropertiesChanged",
            &SystemdUnitWatcher::onPropertiesChanged,
            watcher.get())
        < 0)
        return nullptr;
    sdbus::subscribe(bus);
    // The state now is the baseline: only a change from it is reported.
    if (const auto active = sdbus::getStringProperty(bus, unitPath.c_str(), sdbus::kUnitInterface, "ActiveState"))
        watcher->m_lastState = SystemdServiceManager::stateOfActiveState(*active);
    watcher->m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (watcher->m_stopFd < 0)
        return nullptr;
    watcher->m_thread = std::thread([w = watcher.get()] { w->run(); });
    return watcher;
}

SystemdUnitWatcher::~SystemdUnitWatcher()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_stopFd >= 0)
        ::close(m_stopFd);
    sd_bus_slot_unref(m_slot);
}

int SystemdUnitWatcher::onPropertiesChanged(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    auto* self = static_cast<SystemdUnitWatcher*>(userdata);
    std::string activeState;
    bool invalidated = false;
    if (!readActiveState(message, activeState, invalidated))
        return 0;
    if (activeState.empty() && invalidated) {
        const auto active = sdbus::getStringProperty(
            self->m_bus.get(), self->m_unitPath.c_str(), sdbus::kUnitInterface, "ActiveState");
        if (!active)
            return 0;
        activeState = *active;
    }
    self->handleActiveState(activeState);
    return 0;
}

void SystemdUnitWatcher::handleActiveState(const std::string& activeState)
{
    const std::uint32_t state = SystemdServiceManager::stateOfActiveState(activeState);
    // systemd repeats ActiveState with every sub-state change: report entries only.
    if (state == 0 || state == m_lastState)
        return;
    m_lastState = state;
    const std::uint32_t bit = notifyBitOf(state);
    if (!(m_mask & bit) || !m_callback)
        return;
    ServiceStatus status;
    status.serviceType = 0x10;
    status.currentState = state;
    m_callback(bit, status);
}

void SystemdUnitWatcher::run()
{
    sd_bus* bus = m_bus.get();
    for (;;) {
        int r;
        while ((r = sd_bus_process(bus, nullptr)) > 0) {}
        if (r < 0)
            return; // the connection is gone; nothing more will arrive
        std::uint64_t deadline = UINT64_MAX;
        sd_bus_get_timeout(bus, &deadline);
        pollfd fds[2] = {
            { sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0 },
            { m_stopFd, POLLIN, 0 },
        };
        if (::poll(fds, 2, pollTimeoutMs(deadline)) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            return;
    }
}

} // namespace platform
