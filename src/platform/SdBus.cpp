#include "platform/SdBus.h"

#include <cstdlib>

namespace platform::sdbus {

namespace {
// A hung manager must not freeze the caller for the library's default of 25 seconds.
constexpr std::uint64_t kCallTimeoutUsec = 10'000'000;
} // namespace

BusPtr openSystemBus(const std::string& address)
{
    sd_bus* bus = nullptr;
    if (address.empty()) {
        if (sd_bus_open_system(&bus) < 0)
            return nullptr;
    } else {
        if (sd_bus_new(&bus) < 0)
            return nullptr;
        BusPtr owned(bus);
        if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0)
            return nullptr;
        bus = owned.release();
    }
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec);
    return BusPtr(bus);
}

support::Result<std::string> getStringProperty(sd_bus* bus, const char* path, const char* interface, const char* name)
{
    Error error;
    char* value = nullptr;
    const int rc = sd_bus_get_property_string(bus, kDestination, path, interface, name, error.get(), &value);
    if (rc < 0)
        return support::Error::fromErrno(-rc, std::string("cannot read the unit's ") + name);
    std::string result(value ? value : "");
    std::free(value);
    return result;
}

void subscribe(sd_bus* bus)
{
    Error error;
    sd_bus_call_method(bus, kDestination, kManagerPath, kManagerInterface, "Subscribe", error.get(), nullptr, "");
}

} // namespace platform::sdbus
