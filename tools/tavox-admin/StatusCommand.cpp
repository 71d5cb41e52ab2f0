#include "CommandFamilies.h"
#include "CommandLine.h"
#include "JsonOutput.h"

#include "config/CTavoxEnvmnt.h"
#include "history/SqlStatus.h"
#include "platform/ServiceManager.h"
#include "platform/SettingsStore.h"
#include "service/ServiceController.h"
#include "service/StatusReport.h"
#include "support/TextCodec.h"

#include <optional>
#include <ostream>
#include <utility>

namespace admin {
namespace {

/// The state as the Status page would show it; for the states that the page shows by keeping
/// its earlier text, which a command does not have, their names.
std::string stateText(std::optional<std::uint32_t> state)
{
    if (!state)
        return "---";
    if (const auto view = serviceStateView(*state))
        return std::string(view->text);
    static constexpr std::pair<std::uint32_t, std::string_view> kNames[] = {
        { platform::kServiceStartPending, "Start pending" },
        { platform::kServiceStopPending, "Stop pending" },
        { platform::kServiceContinuePending, "Continue pending" },
        { platform::kServicePausePending, "Pause pending" },
        { platform::kServicePaused, "Paused" },
    };
    for (const auto& [value, name] : kNames) {
        if (value == *state)
            return std::string(name);
    }
    return "State " + std::to_string(*state);
}

int status(const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    ServiceController service(context.services, context.sleeper);
    service.Open({});
    std::optional<std::uint32_t> state;
    if (service.isOpen()) {
        std::uint32_t queried = 0;
        service.QueryState(&queried);
        state = queried;
    }
    const StatusValues values = readStatusValues(context.stores.machine);
    const bool running = state == platform::kServiceRunning;
    const bool connected
        = history::sqlConnected(running, running ? CTavoxEnvmnt(context.stores.machine).ReadSqlServerStatus() : 0);
    const std::string serviceText = stateText(state);
    const std::string_view sqlText = history::sqlStatusText(connected);

    using support::utf16ToUtf8;
    if (parsed.has("--json")) {
        nlohmann::ordered_json serviceJson;
        serviceJson["state"] = state && *state != ServiceController::kQueryFailed ? nlohmann::ordered_json(*state)
                                                                                  : nlohmann::ordered_json(nullptr);
        serviceJson["text"] = serviceText;
        printJson(io,
            { { "service", serviceJson },
                { "uaTcp", utf16ToUtf8(values.uaTcp) },
                { "https", utf16ToUtf8(values.https) },
                { "serverConfig", utf16ToUtf8(values.serverConfig) },
                { "nodeConfig", utf16ToUtf8(values.nodeConfig) },
                { "sqlServer", { { "connected", connected }, { "text", sqlText } } } });
        return kExitSuccess;
    }
    io.out << "Status:         " << serviceText << "\n"
           << "UA TCP:         " << utf16ToUtf8(values.uaTcp) << "\n"
           << "HTTPS:          " << utf16ToUtf8(values.https) << "\n"
           << "Server Config:  " << utf16ToUtf8(values.serverConfig) << "\n"
           << "Node Config:    " << utf16ToUtf8(values.nodeConfig) << "\n"
           << "SQL Server:     " << sqlText << "\n";
    return kExitSuccess;
}

constexpr CommandForm kForms[] = {
    { "",
        "",
        kJsonForText,
        "Shows what the Status page shows: the state of the service, the UA TCP and HTTPS URLs the server "
        "reported, the names of the server and node configuration files, and the server's connection to the "
        "history database.",
        status },
};

} // namespace

const CommandFamily kStatusFamily {
    "show the state of the service, its URLs and configuration files",
    kForms,
    "The URLs are those the server stored when it last started; \"Not Supported.\" stands for one it did not "
    "store.",
};

} // namespace admin
