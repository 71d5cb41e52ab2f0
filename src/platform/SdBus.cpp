#include "platform/SdBus.h"

#include <cstdlib>

namespace platform::sdbus {

namespace {
// A hung manager must not freeze the caller for the library's default of 25 seconds.
constexpr std::uint64_t kCallTimeoutUsec = 10'000'000;
} // namespace

BusPtr openSystemBus()
{
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0)
        return nullptr;
    sd_bus_set_method_call_timeout(bus, kCallTimeoutUsec);
    return BusPtr(bus);
}

std::optional<std::string> getStringProperty(sd_bus* bus, const char* path, const char* interface, const char* name)
{
    Error error;
    char* value = nullptr;
    if (sd_bus_get_property_string(bus, kDestination, path, interface, name, error.get(), &value) < 0)
        return std::nullopt;
    std::string result(value ? value : "");
    std::free(value);
    return result;
}

} // namespace platform::sdbus
