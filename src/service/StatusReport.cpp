#include "service/StatusReport.h"

#include "config/CTavoxEnvmnt.h"
#include "platform/ServiceManager.h"
#include "service/ServiceController.h"
#include "support/TextCodec.h"

std::optional<ServiceStateView> serviceStateView(std::uint32_t state)
{
    switch (state) {
    case platform::kServiceRunning:
        return ServiceStateView { "Running", false, true };
    case platform::kServiceStopped:
        return ServiceStateView { "Stopped", true, false };
    case ServiceController::kQueryFailed:
        return ServiceStateView { "Unknown status. Please check your Tavox service status!", false, false };
    default:
        return std::nullopt;
    }
}

std::u16string shownStatusValue(std::u16string value)
{
    if (value.size() <= 1)
        return support::utf8ToUtf16(kNotSupported);
    return value;
}

StatusValues readStatusValues(const platform::SettingsStore& machine)
{
    const CTavoxEnvmnt server(machine);
    return { shownStatusValue(server.GetUaTcpAddr()),
        shownStatusValue(server.GetHttpsUri()),
        shownStatusValue(server.GetServiceCfgName()),
        shownStatusValue(server.GetNodeCfgName()) };
}
