#pragma once

#include <functional>
#include <string_view>

namespace platform {
class Sleeper;
}

class ServiceController;

/// What the sheet's Start, Stop and Restart (and tavox-admin service) do with the service.
enum class ServiceOperation { Start, Stop, Restart };

/// The pause between the stop and the start of a restart.
inline constexpr unsigned kRestartPauseMs = 1000;

/// Runs `operation` on `service` with the waits of the controller: a restart stops (its result
/// not used), calls `afterStep`, pauses one second, starts and calls `afterStep` again; a start
/// or a stop calls `afterStep` once when done. True when the service ended where it was asked to.
bool runServiceOperation(ServiceController& service,
    platform::Sleeper& sleeper,
    ServiceOperation operation,
    const std::function<void()>& afterStep = {});

/// "Could not start the Tavox Service. Please recheck your parameters." and its stop and
/// restart forms: what a failed operation says.
std::string_view serviceFailureText(ServiceOperation operation);

/// What a successful restart says.
inline constexpr std::string_view kServiceRestartedText = "Tavox Service has been restarted!";
