#include "HistoryStore.h"

#include "HistoryMessages.h"
#include "platform/Odbc.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace tavoxserver {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Values per spool transaction; more wait for the next.
constexpr std::size_t kMaxSpoolAppend = 10000;
// Values held in memory while the spool cannot take them; beyond, the oldest go.
constexpr std::size_t kMaxPending = 200000;
constexpr auto kSpoolRetry = 1s;
// Values that come within this time go into one spool transaction (one sync of the disk).
constexpr auto kSpoolGather = 10ms;
constexpr auto kLogEvery = 60s;

std::string seconds(Clock::duration duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(duration).count());
    return text;
}

std::string now() { return historyTimeText(historyTicks(std::chrono::system_clock::now())); }

} // namespace

HistoryStore::HistoryStore(platform::OdbcDriverManager& odbc, Log log, StatusWriter writeStatus)
    : m_odbc(odbc)
    , m_log(std::move(log))
    , m_writeStatus(std::move(writeStatus))
{
}

HistoryStore::~HistoryStore() { stop(); }

std::string historyStatusText(const HistoryStats& stats)
{
    std::string text = stats.connected ? "history: connected, " : "history: database unreachable, ";
    if (!stats.connected && stats.outageSince)
        text = "history: database unreachable since " + historyTimeText(historyTicks(*stats.outageSince)) + ", ";
    text += std::to_string(stats.waiting) + " values waiting, " + std::to_string(stats.written) + " written, "
        + std::to_string(stats.dropped) + " dropped";
    if (stats.refused > 0)
        text += ", " + std::to_string(stats.refused) + " refused";
    return text;
}

std::filesystem::path historySpoolFile(const std::filesystem::path& stateDirectory)
{
    return stateDirectory / "history-spool.db";
}

support::Result<void> HistoryStore::start(const history::HistorySettings& database, const HistoryStoreOptions& options)
{
    if (m_spoolThread.joinable())
        return support::Error { support::ErrorKind::InUse, "the history store runs already" };
    m_options = options;
    m_options.spoolLimit = std::max(options.spoolLimit, kMinHistorySpoolLimit);
    m_options.batchValues = std::max<std::size_t>(options.batchValues, 1);
    auto spool = HistorySpool::open(m_options.spoolFile, m_options.spoolLimit);
    if (!spool)
        return spool.error();
    m_spool = std::move(*spool);
    m_table.emplace(database.type);
    m_connection
        = std::make_unique<HistoryConnection>(m_odbc, database, m_log, m_writeStatus, m_options.reconnectInterval);
    {
        std::lock_guard lock(m_mutex);
        m_stats = {};
        m_pending.clear();
        m_arrivals.clear();
        m_recordedCount = m_spooledCount = 0;
        m_stopping = false;
        m_running = true;
    }
    m_preparedGeneration = 0;
    m_failedBatch.reset();
    m_writtenAtOutage = 0;
    m_catchingUp = m_spool->size() > 0;
    m_log("history spool " + m_spool->path().string() + " (at most " + std::to_string(m_spool->limit()) + " values)"
        + (m_catchingUp ? ": " + std::to_string(m_spool->size()) + " values from before wait and are written first"
                        : ""));
    m_spoolThread = std::thread([this] { spoolLoop(); });
    m_drainThread = std::thread([this] { drainLoop(); });
    return {};
}

void HistoryStore::stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_running)
            return;
        m_stopping = true;
    }
    m_recorded.notify_all();
    m_spooled.notify_all();
    if (m_spoolThread.joinable())
        m_spoolThread.join();
    if (m_drainThread.joinable())
        m_drainThread.join();
    std::unique_lock use(m_use);
    m_connection->stop();
    {
        std::lock_guard lock(m_mutex);
        m_running = false;
        m_stats.waiting = m_spool->size() + m_pending.size();
        m_stats.connected = false;
    }
    if (m_stats.waiting > 0)
        m_log("history store stopped: " + std::to_string(m_stats.waiting)
            + " values wait in the spool for the next start");
    m_spool.reset();
}

HistoryStats HistoryStore::stats() const
{
    std::shared_lock use(m_use);
    std::lock_guard lock(m_mutex);
    HistoryStats stats = m_stats;
    if (m_running) {
        stats.waiting = m_spool->size() + m_pending.size();
        stats.connected = m_connection->isConnected();
    }
    return stats;
}

void HistoryStore::record(HistoryValue value)
{
    std::lock_guard lock(m_mutex);
    if (!m_running || m_stopping) {
        ++m_stats.refused;
        return;
    }
    if (m_pending.size() >= kMaxPending) {
        m_pending.pop_front();
        ++m_stats.dropped;
        logThrottled(m_droppedLogged,
            m_droppedQuiet,
            "history values dropped: the spool takes none and " + std::to_string(kMaxPending)
                + " wait in memory; the oldest go (" + std::to_string(m_stats.dropped) + " dropped since start)");
    }
    if (m_pending.empty())
        m_pendingSince = Clock::now();
    m_pending.push_back(std::move(value));
    ++m_recordedCount;
    m_recorded.notify_one();
}

bool HistoryStore::flush(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    const std::uint64_t target = m_recordedCount;
    return m_spooled.wait_for(lock, timeout, [&] { return m_spooledCount >= target || !m_running; });
}

void HistoryStore::logThrottled(std::optional<Clock::time_point>& last, std::uint64_t& quiet, const std::string& line)
{
    const auto at = Clock::now();
    if (last && at - *last < kLogEvery) {
        ++quiet;
        return;
    }
    m_log(quiet > 0 ? line + " (" + std::to_string(quiet) + " more like it not logged)" : line);
    last = at;
    quiet = 0;
}

void HistoryStore::spoolLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_recorded.wait(lock, [this] { return !m_pending.empty() || m_stopping; });
        m_recorded.wait_for(lock, kSpoolGather, [this] { return m_pending.size() >= kMaxSpoolAppend || m_stopping; });
        if (m_pending.empty())
            return;
        const std::size_t count = std::min(m_pending.size(), kMaxSpoolAppend);
        std::vector<HistoryValue> batch(std::make_move_iterator(m_pending.begin()),
            std::make_move_iterator(m_pending.begin() + static_cast<std::ptrdiff_t>(count)));
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
        const Clock::time_point arrived = m_pendingSince;
        m_pendingSince = Clock::now();
        lock.unlock();
        const auto appended = m_spool->append(batch);
        lock.lock();
        if (!appended) {
            if (m_stopping) {
                m_log("history values lost at stop: " + std::to_string(batch.size() + m_pending.size())
                    + " could not be spooled: " + appended.error().message);
                m_pending.clear();
                m_spooled.notify_all();
                return;
            }
            logThrottled(m_spoolFailureLogged,
                m_spoolFailureQuiet,
                "history values not spooled, kept in memory and tried again: " + appended.error().message);
            m_pending.insert(
                m_pending.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
            m_pendingSince = arrived;
            m_recorded.wait_for(lock, kSpoolRetry, [this] { return m_stopping; });
            continue;
        }
        m_spooledCount += count;
        m_arrivals.push_back({ appended->lastSeq, arrived });
        // Only the newest batch's worth can decide when a batch that is not full goes.
        while (m_arrivals.size() > m_options.batchValues)
            m_arrivals.pop_front();
        if (appended->dropped > 0) {
            m_stats.dropped += appended->dropped;
            logThrottled(m_droppedLogged,
                m_droppedQuiet,
                "history spool full (" + std::to_string(m_spool->limit()) + " values): the oldest "
                    + std::to_string(appended->dropped) + " dropped, " + std::to_string(m_stats.dropped)
                    + " since start");
        }
        m_spooled.notify_all();
    }
}

void HistoryStore::drainLoop()
{
    for (;;) {
        const Next next = drainStep();
        std::unique_lock lock(m_mutex);
        if (m_stopping)
            return;
        if (next.wait <= 0ms)
            continue;
        const std::uint64_t spooled = m_spooledCount;
        m_spooled.wait_for(lock, next.wait, [&] { return m_stopping || (next.onValues && m_spooledCount != spooled); });
        if (m_stopping)
            return;
    }
}

HistoryStore::Next HistoryStore::drainStep()
{
    if (!m_connection->isConnected()) {
        m_connection->check();
        if (!m_connection->isConnected()) {
            noteOutage();
            return { m_options.reconnectInterval, false };
        }
    }
    if (!prepareConnection())
        return { m_options.reconnectInterval, false };
    const std::uint64_t waiting = m_spool->size();
    if (waiting == 0) {
        noteDrained();
        // An idle connection is still checked, so that "SQLServerStatus" tells the truth.
        if (Clock::now() - m_lastCheck >= m_options.reconnectInterval) {
            m_connection->check();
            m_lastCheck = Clock::now();
        }
        return { m_options.reconnectInterval, true };
    }
    if (waiting < m_options.batchValues) {
        std::optional<Clock::time_point> oldest;
        {
            std::lock_guard lock(m_mutex);
            if (!m_arrivals.empty())
                oldest = m_arrivals.front().at;
        }
        // Values from before the start have waited long enough.
        const auto waited = oldest ? Clock::now() - *oldest : Clock::duration::max();
        if (waited < m_options.batchDelay)
            return { std::chrono::ceil<std::chrono::milliseconds>(m_options.batchDelay - waited), true };
    }
    const auto batch = m_spool->oldest(m_options.batchValues);
    if (!batch) {
        std::lock_guard lock(m_mutex);
        logThrottled(m_spoolFailureLogged, m_spoolFailureQuiet, "history spool not readable: " + batch.error().message);
        return { kSpoolRetry, false };
    }
    if (batch->empty())
        return { 0ms, false };
    return writeBatch(*batch);
}

bool HistoryStore::prepareConnection()
{
    std::string diagnostic;
    const auto prepared = m_connection->use([&](platform::OdbcConnection& connection, std::uint64_t generation) {
        if (generation == m_preparedGeneration)
            return true;
        if (!connection.setAutoCommit(false) || !m_table->create(connection)) {
            diagnostic = connection.lastDiagnostic();
            return false;
        }
        // What the table took before a crash or a lost answer does not go twice.
        const auto last = m_table->lastSeq(connection, m_spool->origin());
        if (!last) {
            diagnostic = last.error().message;
            return false;
        }
        if (*last) {
            if (const auto removed = m_spool->removeThrough(**last); !removed) {
                diagnostic = removed.error().message;
                return false;
            }
        }
        m_preparedGeneration = generation;
        return true;
    });
    switch (prepared) {
    case HistoryConnection::Use::Done:
        break;
    case HistoryConnection::Use::Failed: {
        std::lock_guard lock(m_mutex);
        logThrottled(m_tableRefusalLogged,
            m_tableRefusalQuiet,
            std::string("history table ") + HistoryTable::kName + " cannot be used: " + diagnostic);
        return false;
    }
    case HistoryConnection::Use::Lost:
    case HistoryConnection::Use::NotConnected:
        noteOutage();
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (m_stats.outageSince) {
        const auto lasted = std::chrono::system_clock::now() - *m_stats.outageSince;
        m_log("history database reachable again after " + seconds(lasted) + ": "
            + std::to_string(m_spool->size() + m_pending.size()) + " values wait in the spool, written oldest first");
        m_stats.outageSince.reset();
    }
    return true;
}

HistoryStore::Next HistoryStore::writeBatch(const std::vector<SpooledValue>& batch)
{
    const std::int64_t origin = m_spool->origin();
    std::string diagnostic;
    const auto written = m_connection->use([&](platform::OdbcConnection& connection, std::uint64_t) {
        return m_table->insert(connection, batch, origin, diagnostic);
    });
    if (written == HistoryConnection::Use::Done) {
        m_failedBatch.reset();
        noteWritten(batch.back().seq, batch.size());
        return { 0ms, false };
    }
    if (written != HistoryConnection::Use::Failed) {
        noteOutage();
        return { 0ms, false };
    }
    // The database answers but refused the batch: once more after looking at what the table
    // holds, then value by value.
    if (m_failedBatch != batch.front().seq) {
        m_failedBatch = batch.front().seq;
        m_preparedGeneration = 0;
        return { 0ms, false };
    }
    std::size_t refused = 0;
    const auto each = m_connection->use([&](platform::OdbcConnection& connection, std::uint64_t) {
        return m_table->insertEach(connection, batch, origin, refused, diagnostic);
    });
    if (each != HistoryConnection::Use::Done) {
        if (each == HistoryConnection::Use::Failed) {
            std::lock_guard lock(m_mutex);
            logThrottled(m_tableRefusalLogged,
                m_tableRefusalQuiet,
                std::string("history table ") + HistoryTable::kName
                    + " takes no values, they wait in the spool: " + diagnostic);
        } else {
            noteOutage();
        }
        return { m_options.reconnectInterval, false };
    }
    m_failedBatch.reset();
    {
        std::lock_guard lock(m_mutex);
        m_stats.refused += refused;
    }
    if (refused > 0)
        m_log("history table refused " + std::to_string(refused) + " of " + std::to_string(batch.size())
            + " values, which leave the spool: " + diagnostic);
    noteWritten(batch.back().seq, batch.size() - refused);
    return { 0ms, false };
}

void HistoryStore::noteWritten(std::int64_t lastSeq, std::size_t count)
{
    if (const auto removed = m_spool->removeThrough(lastSeq); !removed) {
        // Looked up in the table before the next batch, so that nothing goes twice.
        m_preparedGeneration = 0;
        m_log("history spool: " + removed.error().message);
    }
    std::lock_guard lock(m_mutex);
    m_stats.written += count;
    while (!m_arrivals.empty() && m_arrivals.front().lastSeq <= lastSeq)
        m_arrivals.pop_front();
}

void HistoryStore::noteOutage()
{
    std::lock_guard lock(m_mutex);
    if (m_stats.outageSince)
        return;
    m_stats.outageSince = std::chrono::system_clock::now();
    m_writtenAtOutage = m_stats.written;
    m_catchingUp = true;
    m_log("history database unreachable since " + now() + ": values wait in the spool " + m_spool->path().string()
        + " (" + std::to_string(m_spool->size() + m_pending.size()) + " so far)");
}

void HistoryStore::noteDrained()
{
    std::uint64_t written = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_catchingUp || !m_pending.empty())
            return;
        m_catchingUp = false;
        written = m_stats.written - m_writtenAtOutage;
    }
    m_log("history spool empty at " + now() + ": the " + std::to_string(written) + " values that waited are written");
    m_spool->compact();
}

HistoryReadResult HistoryStore::read(const HistoryReadRequest& request)
{
    HistoryReadResult result;
    result.id = request.id;
    const HistoryReadPlan plan = planHistoryRead(request);
    if (!plan.range) {
        result.status = plan.refusal;
        return result;
    }
    const HistoryRange& range = *plan.range;
    flush(1s);
    std::shared_lock use(m_use);
    if (!m_spool) {
        result.status = HistoryReadStatus::BadInternalError;
        return result;
    }
    // The spool first: a value that moves to the table meanwhile is then found in one of them.
    const auto spooled = m_spool->read(range);
    std::vector<KeptHistoryValue> stored;
    std::string problem = "the history database is unreachable";
    bool complete = false;
    if (m_connection->isConnected()) {
        const auto done = m_connection->use([&](platform::OdbcConnection& connection, std::uint64_t) {
            auto values = m_table->read(connection, range);
            if (!values) {
                problem = values.error().message;
                return false;
            }
            stored = std::move(*values);
            return true;
        });
        complete = done == HistoryConnection::Use::Done;
    }
    if (!spooled) {
        m_log("history read of " + request.node + " failed: " + spooled.error().message);
        if (!complete) {
            result.status = HistoryReadStatus::BadInternalError;
            return result;
        }
    }
    result = mergeHistoryRead(
        request, range, spooled ? *spooled : std::vector<KeptHistoryValue>(), stored, complete && spooled.ok());
    if (!complete) {
        std::lock_guard lock(m_mutex);
        logThrottled(m_incompleteLogged,
            m_incompleteQuiet,
            "history read of " + request.node
                + " answered from the spool alone (GoodResultsMayBeIncomplete): " + problem);
    }
    return result;
}

std::optional<nlohmann::json> HistoryStore::handle(const nlohmann::json& message)
{
    const auto type = message.find("type");
    if (type == message.end() || !type->is_string())
        return std::nullopt;
    if (*type == "value") {
        auto value = historyValueFromMessage(message, historyTicks(std::chrono::system_clock::now()));
        if (value) {
            record(std::move(*value));
            return std::nullopt;
        }
        std::lock_guard lock(m_mutex);
        ++m_stats.refused;
        logThrottled(m_refusedLogged, m_refusedQuiet, "history value refused: " + value.error().message);
        return std::nullopt;
    }
    if (*type == "historyRead") {
        const auto request = historyReadFromMessage(message);
        if (request)
            return historyDataMessage(read(*request));
        m_log("history read refused: " + request.error().message);
        const auto id = message.find("id");
        if (id == message.end() || !id->is_number_integer())
            return std::nullopt;
        HistoryReadResult refusal;
        refusal.id = id->get<std::int64_t>();
        refusal.status = HistoryReadStatus::BadHistoryOperationInvalid;
        return historyDataMessage(refusal);
    }
    return std::nullopt;
}

} // namespace tavoxserver
