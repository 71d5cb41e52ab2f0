#include "TavoxServer.h"

#include "NodeConfigCheck.h"
#include "ServerRecords.h"
#include "ServiceNotifier.h"
#include "StartupWatch.h"

#include "history/HistoryDatabase.h"
#include "platform/UnixOdbc.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace tavoxserver {

TavoxServer::TavoxServer(std::ostream& log, const platform::SettingsStore& machine)
    : m_log(log)
    , m_machine(machine)
    , m_ownOdbc(std::make_unique<platform::UnixOdbc>())
    , m_odbc(*m_ownOdbc)
    , m_historyCheckInterval(HistoryConnection::kCheckInterval)
{
}

TavoxServer::TavoxServer(std::ostream& log,
    const platform::SettingsStore& machine,
    platform::OdbcDriverManager& odbc,
    std::chrono::milliseconds historyCheckInterval)
    : m_log(log)
    , m_machine(machine)
    , m_odbc(odbc)
    , m_historyCheckInterval(historyCheckInterval)
{
}

TavoxServer::~TavoxServer()
{
    // The connection's thread logs through this object: it ends first.
    m_history.reset();
}

void TavoxServer::log(const std::string& line)
{
    std::lock_guard lock(m_logMutex);
    m_log << "tavox-server: " << line << std::endl;
}

bool TavoxServer::fail(const support::Error& error)
{
    log("cannot start: " + error.message + ".");
    serviceNotifier::status("Cannot start: " + error.message);
    m_listeners.clear();
    return false;
}

void TavoxServer::startHistory()
{
    const auto settings = activeHistoryDatabase(m_config.nodeCfgPath());
    if (!settings) {
        log("history database not active");
        return;
    }
    log("history database active: " + history::describeHistoryDatabase(*settings));
    m_history = std::make_unique<HistoryConnection>(
        m_odbc, *settings, [this](const std::string& line) { log(line); },
        [this](std::uint32_t status) { return writeSqlServerStatus(m_machine, status); }, m_historyCheckInterval);
    m_history->start();
}

bool TavoxServer::start()
{
    serviceNotifier::status("Reading the settings");
    if (support::Result<void> read = readServerConfig(m_machine, m_config); !read.ok())
        return fail(read.error());
    log("settings read from " + m_config.store.string() + ": service directory " + m_config.servicePath
        + ", server configuration " + m_config.serviceCfgName + ", security mode "
        + std::to_string(m_config.securityMode) + ", logon flags " + std::to_string(m_config.authentication));

    const auto nodeCfg = m_config.nodeCfgPath();
    serviceNotifier::status("Reading the node configuration " + nodeCfg.string());
    std::size_t nodeCount = 0;
    AlarmPlan alarms;
    if (support::Result<void> checked = checkNodeConfig(nodeCfg, &nodeCount, &alarms); !checked.ok())
        return fail(checked.error());
    log("node configuration " + nodeCfg.string() + " read: " + std::to_string(nodeCount) + " nodes");
    // A limit that is not a number skips its alarm only; the server runs on.
    for (const std::string& warning : alarms.warnings)
        log("warning: " + warning);
    for (const std::string& alarm : alarms.alarms)
        log(alarm);

    struct Endpoint {
        std::uint32_t port;
        const char* purpose;
    };
    serviceNotifier::status("Binding the ports");
    std::vector<Endpoint> endpoints = {{m_config.uaTcpPort, "UA TCP"}};
    if (m_config.httpsEnabled())
        endpoints.push_back({m_config.httpsPort, "HTTPS"});
    for (const Endpoint& endpoint : endpoints) {
        PortListener listener;
        const auto port = static_cast<std::uint16_t>(endpoint.port);
        if (support::Result<void> bound = listener.listen(port, endpoint.purpose); !bound.ok())
            return fail(bound.error());
        m_listeners.push_back(std::move(listener));
        log("listening on port " + std::to_string(endpoint.port) + " (" + endpoint.purpose + ")");
    }
    if (!m_config.httpsEnabled())
        log("HTTPS endpoint switched off");

    const std::string host = hostName();
    const std::string tcp = uaTcpUri(host, m_config);
    const std::string https = httpsUri(host, m_config);
    if (support::Result<void> written = writeEndpointUris(m_machine, tcp, https); !written.ok())
        return fail(written.error());
    log("endpoint URLs stored: \"" + tcp + "\", \"" + https + "\"");

    if (support::Result<void> status = writeSqlServerStatus(m_machine, 0); !status.ok())
        return fail(status.error());
    log("history database not connected (SQLServerStatus 0)");
    log("running");
    startHistory();
    return true;
}

bool TavoxServer::serve(int stopFd)
{
    std::vector<pollfd> fds;
    for (const PortListener& listener : m_listeners)
        fds.push_back({listener.fd(), POLLIN, 0});
    fds.push_back({stopFd, POLLIN, 0});
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            log(std::string("cannot wait for connections: ") + std::strerror(errno));
            return false;
        }
        if (fds.back().revents != 0)
            return true;
        for (std::size_t i = 0; i < m_listeners.size(); ++i)
            if (fds[i].revents & POLLIN)
                m_listeners[i].dropPendingConnections();
    }
}

bool TavoxServer::stop(const std::string& reason)
{
    log("stopping on " + reason);
    if (m_history) {
        m_history->stop();
        m_history.reset();
    }
    m_listeners.clear();
    if (support::Result<void> status = writeSqlServerStatus(m_machine, 0); !status.ok()) {
        log("stopped, but " + status.error().message + ".");
        return false;
    }
    log("stopped (SQLServerStatus 0)");
    return true;
}

int runUntilSignalled(std::ostream& log, const platform::SettingsStore& machine)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    // Blocked before anything starts: during start-up the watch takes them, then the loop.
    if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        return 1;
    const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalFd < 0) {
        log << "tavox-server: cannot start: cannot receive signals: " << std::strerror(errno) << std::endl;
        return 1;
    }

    TavoxServer server(log, machine);
    StartupWatch watch(signalFd, [&server](const std::string& line) { server.log(line); });
    const bool started = server.start();
    watch.finished();
    int exitCode = 1;
    if (started) {
        std::string reason = "an error";
        serviceNotifier::ready("Running");
        if (server.serve(signalFd)) {
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                reason = info.ssi_signo == SIGINT ? "SIGINT" : "SIGTERM";
        }
        serviceNotifier::stopping();
        const bool stopped = server.stop(reason);
        exitCode = stopped && reason != "an error" ? 0 : 1;
    }
    ::close(signalFd);
    return exitCode;
}

} // namespace tavoxserver
