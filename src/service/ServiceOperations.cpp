#include "service/ServiceOperations.h"

#include "platform/Sleeper.h"
#include "service/ServiceController.h"

bool runServiceOperation(ServiceController& service,
    platform::Sleeper& sleeper,
    ServiceOperation operation,
    const std::function<void()>& afterStep)
{
    const auto stepDone = [&afterStep] {
        if (afterStep)
            afterStep();
    };
    bool succeeded = false;
    switch (operation) {
    case ServiceOperation::Start:
        succeeded = service.StartServer();
        break;
    case ServiceOperation::Stop:
        succeeded = service.StopServer();
        break;
    case ServiceOperation::Restart:
        // A service that would not stop may still start: only the start decides.
        (void)service.StopServer();
        stepDone();
        sleeper.sleepMs(kRestartPauseMs);
        succeeded = service.StartServer();
        break;
    }
    stepDone();
    return succeeded;
}

std::string_view serviceFailureText(ServiceOperation operation)
{
    if (operation == ServiceOperation::Start)
        return "Could not start the Tavox Service. Please recheck your parameters.";
    if (operation == ServiceOperation::Stop)
        return "Could not stop the Tavox Service. Please recheck your parameters.";
    return "Could not restart the Tavox Service. Please recheck your parameters.";
}
