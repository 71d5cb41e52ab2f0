#pragma once

#include "support/Result.h"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <string>

namespace platform::sdbus {

inline constexpr const char* kDestination = "org.freedesktop.systemd1";
inline constexpr const char* kManagerPath = "/org/freedesktop/systemd1";
inline constexpr const char* kManagerInterface = "org.freedesktop.systemd1.Manager";
inline constexpr const char* kUnitInterface = "org.freedesktop.systemd1.Unit";
inline constexpr const char* kServiceInterface = "org.freedesktop.systemd1.Service";

struct BusDeleter {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;

/// A sd_bus_error that frees itself.
class Error {
public:
    Error() = default;
    ~Error() { sd_bus_error_free(&m_error); }
    Error(const Error&) = delete;
    Error& operator=(const Error&) = delete;
    sd_bus_error* get() { return &m_error; }

private:
    sd_bus_error m_error = SD_BUS_ERROR_NULL;
};

/// A connection to the bus at `address` as to the system bus; with an empty address, to the
/// system bus itself (DBUS_SYSTEM_BUS_ADDRESS when set). Null when it fails.
BusPtr openSystemBus(const std::string& address = {});

/// A string property of an object of the manager, or why it cannot be read.
support::Result<std::string> getStringProperty(sd_bus* bus, const char* path, const char* interface, const char* name);
/// Asks the manager for its unit signals, which systemd sends only while some client is
/// subscribed; a manager without the call (or that always sends them) is fine too.
void subscribe(sd_bus* bus);

} // namespace platform::sdbus
