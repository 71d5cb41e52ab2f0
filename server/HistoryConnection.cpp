#include "HistoryConnection.h"

#include "history/HistoryDatabase.h"
#include "platform/Odbc.h"
#include "support/TextCodec.h"

namespace tavoxserver {

HistoryConnection::HistoryConnection(platform::OdbcDriverManager& odbc,
    history::HistorySettings settings,
    Log log,
    StatusWriter writeStatus,
    std::chrono::milliseconds checkInterval)
    : m_odbc(odbc)
    , m_settings(std::move(settings))
    , m_log(std::move(log))
    , m_writeStatus(std::move(writeStatus))
    , m_interval(checkInterval)
{
}

HistoryConnection::~HistoryConnection() { stop(); }

void HistoryConnection::start()
{
    if (m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
    }
    m_thread = std::thread([this] { run(); });
}

void HistoryConnection::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::scoped_lock lock(m_checking, m_link);
    m_connection.reset();
    m_environment.reset();
    m_connected = false;
}

bool HistoryConnection::isConnected() const { return m_connected; }

void HistoryConnection::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        lock.unlock();
        check();
        lock.lock();
        m_wake.wait_for(lock, m_interval, [this] { return m_stopping; });
    }
}

std::unique_ptr<platform::OdbcConnection> HistoryConnection::connect(std::string& reason)
{
    if (!m_environment)
        m_environment = m_odbc.openEnvironment();
    if (!m_environment) {
        reason = "no ODBC environment";
        return nullptr;
    }
    return history::connectHistoryDatabase(*m_environment, m_settings, reason);
}

void HistoryConnection::check()
{
    std::lock_guard checking(m_checking);
    std::unique_lock link(m_link);
    std::string reason;
    if (m_connection) {
        const bool answers = m_connection->firstColumn(history::kHistoryProbe).has_value();
        if (!answers) {
            reason = m_connection->lastDiagnostic();
            m_connection.reset();
        }
        m_connected = answers;
        publish(answers, reason);
        return;
    }
    // A connection attempt may take the login timeout: work waits only for the hand-over.
    link.unlock();
    std::unique_ptr<platform::OdbcConnection> connection = connect(reason);
    link.lock();
    const bool connected = connection != nullptr;
    if (connected) {
        m_connection = std::move(connection);
        ++m_generation;
    }
    m_connected = connected;
    publish(connected, reason);
}

HistoryConnection::Use HistoryConnection::use(const Work& work)
{
    std::lock_guard link(m_link);
    if (!m_connection)
        return Use::NotConnected;
    if (work(*m_connection, m_generation))
        return Use::Done;
    if (m_connection->firstColumn(history::kHistoryProbe).has_value())
        return Use::Failed;
    const std::string reason = m_connection->lastDiagnostic();
    m_connection.reset();
    m_connected = false;
    publish(false, reason);
    return Use::Lost;
}

void HistoryConnection::publish(bool connected, const std::string& reason)
{
    const bool changed = m_logged != connected;
    if (changed) {
        const char* status = connected ? " (SQLServerStatus 1)" : " (SQLServerStatus 0)";
        if (connected)
            m_log(std::string("history database connected") + status);
        else if (m_logged)
            m_log("history database connection lost: " + reason + status);
        else
            m_log("history database not connected: " + reason + status);
        m_logged = connected;
        m_stored = false;
    }
    // A status that could not be stored is tried again at the next check.
    if (m_stored)
        return;
    const support::Result<void> written = m_writeStatus(connected ? 1 : 0);
    m_stored = written.ok();
    if (!m_stored && changed)
        m_log("history database status not stored: " + written.error().message + ".");
}

std::optional<history::HistorySettings> activeHistoryDatabase(const std::filesystem::path& nodeCfgPath)
{
    history::HistorySettings settings = history::storedHistorySettings(nodeCfgPath);
    if (!settings.active)
        return std::nullopt;
    return settings;
}

} // namespace tavoxserver
