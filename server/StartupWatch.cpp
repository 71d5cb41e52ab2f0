#include "StartupWatch.h"

#include "ServiceNotifier.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace tavoxserver {

StartupWatch::StartupWatch(int signalFd, std::function<void(const std::string&)> log)
    : m_signalFd(signalFd)
    , m_doneFd(::eventfd(0, EFD_CLOEXEC))
    , m_log(std::move(log))
{
    // Without an eventfd or a thread, start-up goes unwatched, as it always could.
    if (m_doneFd < 0)
        return;
    try {
        m_thread = std::thread([this] { run(); });
    } catch (...) {
    }
}

StartupWatch::~StartupWatch()
{
    finished();
    if (m_doneFd >= 0)
        ::close(m_doneFd);
}

void StartupWatch::finished()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    if (!m_thread.joinable())
        return;
    const std::uint64_t one = 1;
    while (::write(m_doneFd, &one, sizeof one) < 0 && errno == EINTR) {}
    m_thread.join();
}

void StartupWatch::run()
{
    pollfd fds[] = { { m_signalFd, POLLIN, 0 }, { m_doneFd, POLLIN, 0 } };
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0 || fds[0].revents == 0)
            return;
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return; // the serving loop takes the signal
        signalfd_siginfo info {};
        if (::read(m_signalFd, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
            continue;
        service_notifier::stopping();
        m_log(std::string("stopping on ") + (info.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM") + " during start-up");
        m_log("stopped");
        // The start-up goes on in the other thread: ending the process is the only prompt stop.
        std::_Exit(0);
    }
}

} // namespace tavoxserver
