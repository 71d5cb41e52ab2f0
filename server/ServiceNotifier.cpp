#include "ServiceNotifier.h"

#include <systemd/sd-daemon.h>

namespace tavoxserver::service_notifier {
namespace {

// A status line ends at its first line end: a second line would be read as another field.
std::string oneLine(const std::string& text) { return text.substr(0, text.find('\n')); }

void send(const std::string& message)
{
    // The result is not examined: a manager that cannot be told goes on without the step.
    (void)sd_notify(0, message.c_str());
}

} // namespace

void status(const std::string& text) { send("STATUS=" + oneLine(text)); }

void ready(const std::string& text) { send("READY=1\nSTATUS=" + oneLine(text)); }

void stopping() { send("STOPPING=1\nSTATUS=Stopping"); }

} // namespace tavoxserver::service_notifier
