#pragma once

#include <string>

namespace tavoxserver {

/// What the daemon tells the service manager that started it (a unit of Type=notify): the
/// step it is at, that it is ready to serve, that it is stopping. Without a manager that
/// listens (NOTIFY_SOCKET unset: a daemon started by hand or by a test) nothing is sent.
namespace service_notifier {

/// STATUS=: the step, shown by `systemctl status`.
void status(const std::string& text);
/// READY=1 with the status: the start job ends successfully.
void ready(const std::string& text);
/// STOPPING=1: the daemon has begun to stop.
void stopping();

} // namespace service_notifier
} // namespace tavoxserver
