#include "CommandFamilies.h"
#include "CommandLine.h"

#include "service/ServiceController.h"
#include "service/ServiceOperations.h"

#include <ostream>

namespace admin {
namespace {

int operate(ServiceOperation operation, std::string_view done, const FormCall& call)
{
    const auto& [parsed, args, word, io, context] = call;
    if (!args.empty())
        return usageError(io, "service", "\"" + args[0] + "\" is not expected here");
    ServiceController service(context.services, context.sleeper);
    service.Open({});
    if (!runServiceOperation(service, context.sleeper, operation))
        return io.fail(serviceFailureText(operation));
    io.out << done << "\n";
    return kExitSuccess;
}

int start(const FormCall& call) { return operate(ServiceOperation::Start, "Tavox Service has been started.", call); }

int stop(const FormCall& call) { return operate(ServiceOperation::Stop, "Tavox Service has been stopped.", call); }

int restart(const FormCall& call) { return operate(ServiceOperation::Restart, kServiceRestartedText, call); }

// The forms read their arguments themselves: anything after the form is refused as it stands.
constexpr CommandForm kForms[] = {
    { "start",
        "",
        {},
        "Starts the service and waits, up to about eleven seconds, until it runs.",
        start,
        {},
        FormParsing::Own },
    { "stop",
        "",
        {},
        "Stops the service and waits, up to about eleven seconds, until it has stopped.",
        stop,
        {},
        FormParsing::Own },
    { "restart",
        "",
        {},
        "Stops the service, waits one second and starts it again; fails when it does not run then.",
        restart,
        {},
        FormParsing::Own },
};

} // namespace

const CommandFamily kServiceFamily {
    "start, stop or restart the service",
    kForms,
    "The service is the systemd unit tavox-server.service. Starting waits for a stop in progress to end first; "
    "a paused service can be neither started nor stopped.",
};

} // namespace admin
