#include "TavoxServer.h"

#include "EngineHandOff.h"
#include "HistoryLogging.h"
#include "NodeConfigCheck.h"
#include "ServerRecords.h"
#include "ServerUsers.h"
#include "ServiceNotifier.h"
#include "StartupWatch.h"

#include "certificates/OwnCertificate.h"
#include "certificates/StoreLayout.h"
#include "config/AuthenticationFlags.h"
#include "history/HistoryDatabase.h"
#include "platform/UnixOdbc.h"

#include <nlohmann/json.hpp>

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace tavoxserver {
namespace {

std::string userList(const std::vector<ServerUser>& users)
{
    std::string names;
    for (const ServerUser& user : users)
        names += (names.empty() ? "" : ", ") + user.name;
    return names;
}

std::string accepted(bool on) { return on ? "accepted" : "refused"; }

// How often the history store's state is looked at for the service manager's status.
constexpr std::chrono::seconds kHistoryStatusInterval { 1 };

} // namespace

TavoxServer::TavoxServer(std::ostream& log, const platform::SettingsStore& machine)
    : m_log(log)
    , m_machine(machine)
    , m_ownOdbc(std::make_unique<platform::UnixOdbc>())
    , m_odbc(*m_ownOdbc)
    , m_historyCheckInterval(HistoryConnection::kCheckInterval)
    , m_engine(EngineCommand::fromEnvironment())
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
    , m_engine(EngineCommand::fromEnvironment())
{
}

TavoxServer::~TavoxServer()
{
    // The threads of the store and the connection log through this object: they end first.
    m_engineHistory.reset();
    m_store.reset();
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
    service_notifier::status("Cannot start: " + error.message);
    m_listeners.clear();
    return false;
}

bool TavoxServer::startHistory(const std::filesystem::path& stateDirectory, std::size_t historized)
{
    const auto logLine = [this](const std::string& line) { log(line); };
    const auto writeStatus = [this](std::uint32_t status) { return writeSqlServerStatus(m_machine, status); };
    const std::string count = std::to_string(historized) + " variables historized";
    if (const auto database = historyLoggingDatabase(m_config.nodeCfgPath())) {
        log("history database active: " + history::describeHistoryDatabase(*database));
        HistoryStoreOptions options;
        options.spoolFile = historySpoolFile(stateDirectory);
        options.spoolLimit = readHistorySpoolLimit(m_machine);
        options.reconnectInterval = m_historyCheckInterval;
        m_store = std::make_unique<HistoryStore>(m_odbc, logLine, writeStatus);
        if (support::Result<void> started = m_store->start(*database, options); !started.ok()) {
            m_store.reset();
            return fail(started.error());
        }
        m_engineHistory = std::make_unique<EngineHistory>(*m_store);
        if (support::Result<void> started = m_engineHistory->start(); !started.ok())
            return fail(started.error());
        log(count + " (every value logged to the history database)");
        return true;
    }
    log(count + " (kept in memory)");
    const auto settings = activeHistoryDatabase(m_config.nodeCfgPath());
    if (!settings) {
        log("history database not active");
        return true;
    }
    log("history database active: " + history::describeHistoryDatabase(*settings));
    log("history logging off (\"StartLogging\"): the connection is only checked");
    m_history = std::make_unique<HistoryConnection>(m_odbc, *settings, logLine, writeStatus, m_historyCheckInterval);
    m_history->start();
    return true;
}

bool TavoxServer::checkEndpoints()
{
    service_notifier::status("Checking the ports");
    {
        // The engine binds the UA TCP port; a port in use is told here, at once and plainly.
        PortListener probe;
        if (support::Result<void> free = probe.listen(static_cast<std::uint16_t>(m_config.uaTcpPort), "UA TCP");
            !free.ok())
            return fail(free.error());
    }
    log("port " + std::to_string(m_config.uaTcpPort) + " (UA TCP) is free: the engine serves it");
    log(std::string("security: mode None ") + (m_config.securityNone() ? "offered" : "withheld")
        + "; Sign and SignAndEncrypt offered; the policy Basic128Rsa15 is not offered (deprecated, and refused "
          "by current Node.js)");
    if (m_config.httpsEnabled()) {
        PortListener listener;
        if (support::Result<void> bound = listener.listen(static_cast<std::uint16_t>(m_config.httpsPort), "HTTPS");
            !bound.ok())
            return fail(bound.error());
        m_listeners.push_back(std::move(listener));
        log("listening on port " + std::to_string(m_config.httpsPort)
            + " (HTTPS): the HTTPS transport is not served, connections are closed");
    } else {
        log("HTTPS endpoint switched off");
    }
    return true;
}

bool TavoxServer::start()
{
    service_notifier::status("Reading the settings");
    if (support::Result<void> read = readServerConfig(m_machine, m_config); !read.ok())
        return fail(read.error());
    log("settings read from " + m_config.store.string() + ": service directory " + m_config.servicePath
        + ", server configuration " + m_config.serviceCfgName + ", security mode "
        + std::to_string(m_config.securityMode) + ", logon flags " + std::to_string(m_config.authentication));

    const ServerUsers users = readServerUsers(m_machine);
    for (const std::string& warning : users.warnings)
        log("warning: " + warning);
    log("users: " + (users.users.empty() ? std::string("none") : userList(users.users)) + "; root password "
        + (users.rootDigest ? "stored" : "not stored"));
    log("logon: anonymous " + accepted((m_config.authentication & auth_flags::kAnonymous) != 0) + ", certificate "
        + accepted((m_config.authentication & auth_flags::kCertificate) != 0)
        + "; the Windows account logon is not offered on Linux"
        + ((m_config.authentication & auth_flags::kWindowsLogon) ? " (it is switched on in the settings)" : ""));

    const auto nodeCfg = m_config.nodeCfgPath();
    service_notifier::status("Reading the node configuration " + nodeCfg.string());
    std::size_t nodeCount = 0;
    AlarmPlan plan;
    if (support::Result<void> checked = checkNodeConfig(nodeCfg, &nodeCount, &plan); !checked.ok())
        return fail(checked.error());
    log("node configuration " + nodeCfg.string() + " read: " + std::to_string(nodeCount) + " nodes");
    // A limit that is not a number skips its alarm only; the server runs on.
    for (const std::string& warning : plan.warnings)
        log("warning: " + warning);
    for (const PlannedAlarm& alarm : plan.alarms)
        log(alarm.description);

    // systemd names the state directory at start; without it (a sandbox) the store's folder serves.
    m_host = hostName();
    const std::filesystem::path state = certificates::stateFolder(std::getenv("STATE_DIRECTORY"), m_config.store);
    service_notifier::status("Preparing the certificate stores");
    const certificates::ServerIdentity identity { m_host, certificates::applicationUri(m_host) };
    if (auto certified
        = certificates::prepareServerCertificates(state, identity, [this](const std::string& line) { log(line); });
        !certified)
        return fail(certified.error());

    if (!checkEndpoints())
        return false;
    if (support::Result<void> status = writeSqlServerStatus(m_machine, 0); !status.ok())
        return fail(status.error());
    log("history database not connected (SQLServerStatus 0)");
    if (!startHistory(state, plan.historized.size()))
        return false;

    const EngineSite site { m_host, state, m_store != nullptr };
    log("certificate stores under " + site.stateDirectory.string());
    m_handOff = engineHandOff(m_config, users, plan, site);
    return true;
}

TavoxServer::EngineStart TavoxServer::startEngine(int stopFd)
{
    service_notifier::status("Starting the engine");
    EngineSupervisor::Events& events = *this;
    m_supervisor = std::make_unique<EngineSupervisor>(m_engine, m_handOff, events);
    if (!m_supervisor->start())
        return EngineStart::Failed;
    const Wait wait = runUntil(stopFd,
        [this] { return m_published || m_publishFailed || m_supervisor->phase() == EngineSupervisor::Phase::Ended; });
    if (wait == Wait::StopRequested)
        return EngineStart::StopRequested;
    if (wait == Wait::Failed || !m_published) {
        service_notifier::status("Cannot start: " + m_supervisor->failure());
        return EngineStart::Failed;
    }
    return EngineStart::Listening;
}

bool TavoxServer::serve(int stopFd)
{
    const Wait wait
        = runUntil(stopFd, [this] { return !m_supervisor || m_supervisor->phase() == EngineSupervisor::Phase::Ended; });
    if (wait == Wait::Done)
        service_notifier::status("Stopping: " + (m_supervisor ? m_supervisor->failure() : std::string()));
    return wait == Wait::StopRequested;
}

TavoxServer::Wait TavoxServer::runUntil(int stopFd, const std::function<bool()>& done)
{
    std::vector<pollfd> fds;
    while (!done()) {
        fds.clear();
        for (const PortListener& listener : m_listeners)
            fds.push_back({ listener.fd(), POLLIN, 0 });
        const std::size_t stopIndex = fds.size();
        if (stopFd >= 0)
            fds.push_back({ stopFd, POLLIN, 0 });
        const std::size_t answersIndex = fds.size();
        if (m_engineHistory)
            fds.push_back({ m_engineHistory->fd(), POLLIN, 0 });
        if (m_supervisor)
            m_supervisor->addPollFds(fds);
        int timeout = m_supervisor ? m_supervisor->timeoutMs() : -1;
        if (m_store) {
            const int refresh = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(kHistoryStatusInterval).count());
            timeout = timeout < 0 ? refresh : std::min(timeout, refresh);
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR)
                continue;
            log(std::string("cannot wait for the engine and the ports: ") + std::strerror(errno));
            return Wait::Failed;
        }
        if (stopFd >= 0 && fds[stopIndex].revents != 0)
            return Wait::StopRequested;
        for (std::size_t i = 0; i < m_listeners.size(); ++i)
            if (fds[i].revents & POLLIN)
                m_listeners[i].dropPendingConnections();
        if (m_supervisor)
            m_supervisor->process();
        if (m_engineHistory && fds[answersIndex].revents != 0)
            deliverHistoryAnswers();
        refreshHistoryStatus();
    }
    return Wait::Done;
}

bool TavoxServer::stop(const std::string& reason)
{
    log("stopping on " + reason);
    m_step.clear();
    if (m_supervisor) {
        m_supervisor->stop();
        (void)runUntil(-1, [this] { return m_supervisor->phase() == EngineSupervisor::Phase::Ended; });
    }
    // The engine has ended: what it sent is in the store, which spools it before it stops.
    m_engineHistory.reset();
    if (m_store) {
        log("history at stop: " + historyStatusText(m_store->stats()).substr(std::string_view("history: ").size()));
        m_store->stop();
        m_store.reset();
    }
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

void TavoxServer::supervisorLine(const std::string& line) { log(line); }

void TavoxServer::engineLogLine(const std::string& line) { log("engine: " + line); }

void TavoxServer::deliverHistoryAnswers()
{
    for (EngineHistory::Answer& answer : m_engineHistory->answers()) {
        // An engine started again numbers its reads anew: an answer to its predecessor is moot.
        if (m_supervisor && answer.run == m_supervisor->run())
            m_supervisor->send(answer.line);
    }
}

std::string TavoxServer::noteStep(const std::string& step)
{
    m_step = step;
    m_historyStatus = m_store ? historyStatusText(m_store->stats()) : std::string();
    m_historyStatusDue = std::chrono::steady_clock::now() + kHistoryStatusInterval;
    return m_historyStatus.empty() ? step : step + "; " + m_historyStatus;
}

void TavoxServer::status(const std::string& step) { service_notifier::status(noteStep(step)); }

void TavoxServer::ready(const std::string& step) { service_notifier::ready(noteStep(step)); }

void TavoxServer::refreshHistoryStatus()
{
    if (!m_store || m_step.empty() || std::chrono::steady_clock::now() < m_historyStatusDue)
        return;
    m_historyStatusDue = std::chrono::steady_clock::now() + kHistoryStatusInterval;
    std::string text = historyStatusText(m_store->stats());
    if (text == m_historyStatus)
        return;
    m_historyStatus = std::move(text);
    service_notifier::status(m_step + "; " + m_historyStatus);
}

void TavoxServer::engineMessage(const nlohmann::json& message)
{
    if (m_engineHistory && m_engineHistory->take(message, m_supervisor->run()))
        return;
    const std::string type = message["type"].get<std::string>();
    if (type == "listening") {
        engineListening(message);
    } else if (type == "alarm") {
        std::string line
            = "alarm on " + message.value("nodeId", std::string("?")) + ": " + message.value("state", std::string("?"));
        if (const auto value = message.find("value"); value != message.end())
            line += " (value " + value->dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + ")";
        log(line);
    } else if (type != "failed" && m_unhandledTypes.insert(type).second) {
        // The supervisor's lines say why an engine failed; other kinds are for later daemons.
        log("engine message \"" + type + "\" is not handled by this daemon");
    }
}

void TavoxServer::engineListening(const nlohmann::json& message)
{
    // "opc.tcp://plant1:48010 None/None, Sign/Basic256, ...": each URL once, then its modes.
    std::string endpoints;
    std::string lastUrl;
    if (const auto list = message.find("endpoints"); list != message.end() && list->is_array()) {
        for (const nlohmann::json& endpoint : *list) {
            if (!endpoint.is_object())
                continue;
            const std::string url = endpoint.value("url", std::string("?"));
            endpoints += endpoints.empty() ? "" : url == lastUrl ? ", " : "; ";
            if (url != lastUrl)
                endpoints += url + " ";
            lastUrl = url;
            endpoints += endpoint.value("securityMode", std::string("?")) + "/"
                + endpoint.value("securityPolicy", std::string("?"));
        }
    }
    log("engine listening: " + (endpoints.empty() ? std::string("no endpoints") : endpoints));
    const std::string tcp = uaTcpUri(m_host, m_config);
    if (m_published) {
        status("Serving " + tcp + " (the engine was started again)");
        return;
    }
    const std::string https = httpsUri(m_host, m_config);
    if (support::Result<void> written = writeEndpointUris(m_machine, tcp, https); !written.ok()) {
        m_publishFailed = true;
        fail(written.error());
        return;
    }
    log("endpoint URLs stored: \"" + tcp + "\", \"" + https + "\"");
    log("running");
    m_published = true;
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
        // Stopped by a signal unless the engine could not be run or ended for good.
        std::string reason = "the engine's end";
        bool signalled = false;
        const TavoxServer::EngineStart engine = server.startEngine(signalFd);
        if (engine == TavoxServer::EngineStart::Listening) {
            server.ready("Serving " + uaTcpUri(hostName(), server.config()));
            signalled = server.serve(signalFd);
        } else {
            signalled = engine == TavoxServer::EngineStart::StopRequested;
        }
        if (signalled) {
            signalfd_siginfo info {};
            reason = "SIGTERM";
            if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info) && info.ssi_signo == SIGINT)
                reason = "SIGINT";
        }
        service_notifier::stopping();
        const bool stopped = server.stop(reason);
        exitCode = stopped && signalled ? 0 : 1;
    }
    ::close(signalFd);
    return exitCode;
}

} // namespace tavoxserver
