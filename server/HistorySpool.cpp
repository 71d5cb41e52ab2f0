#include "HistorySpool.h"

#include <sqlite3.h>

#include <random>

namespace tavoxserver {
namespace {

// Only another holder of the file waits, and it gives up soon.
constexpr int kBusyTimeoutMs = 1000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS spool_info (name TEXT PRIMARY KEY, value INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS spool (
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    node TEXT NOT NULL,
    source_time INTEGER NOT NULL,
    server_time INTEGER,
    status_code INTEGER NOT NULL,
    data_type TEXT NOT NULL,
    value TEXT
);
CREATE INDEX IF NOT EXISTS spool_node_time ON spool (node, source_time);
)sql";

constexpr const char* kColumns = "node, source_time, server_time, status_code, data_type, value";

/// Resets a cached statement when the scope ends, so that it holds no read lock.
class Reset {
public:
    explicit Reset(sqlite3_stmt* stmt)
        : m_stmt(stmt)
    {
    }
    ~Reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    Reset(const Reset&) = delete;
    Reset& operator=(const Reset&) = delete;

private:
    sqlite3_stmt* m_stmt;
};

/// A statement prepared for one use.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

void bindText(sqlite3_stmt* stmt, int index, const std::string& text)
{
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string columnText(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column))) : std::string();
}

/// The value in columns `first` to `first + 5`, in the order of kColumns.
HistoryValue valueAt(sqlite3_stmt* stmt, int first)
{
    HistoryValue value;
    value.node = columnText(stmt, first);
    value.sourceTime = sqlite3_column_int64(stmt, first + 1);
    if (sqlite3_column_type(stmt, first + 2) != SQLITE_NULL)
        value.serverTime = sqlite3_column_int64(stmt, first + 2);
    value.status = static_cast<std::uint32_t>(sqlite3_column_int64(stmt, first + 3));
    value.dataType = columnText(stmt, first + 4);
    if (sqlite3_column_type(stmt, first + 5) != SQLITE_NULL)
        value.value = columnText(stmt, first + 5);
    return value;
}

std::int64_t newOrigin()
{
    std::random_device device;
    std::uniform_int_distribution<std::int64_t> any(1, INT64_MAX);
    return any(device);
}

} // namespace

support::Result<std::unique_ptr<HistorySpool>> HistorySpool::open(const std::filesystem::path& file,
    std::uint64_t limit)
{
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        return support::Error { support::ErrorKind::System,
            "cannot open the history spool " + file.string() + ": " + reason };
    }
    std::unique_ptr<HistorySpool> spool(new HistorySpool(file, limit, db));
    if (auto prepared = spool->prepare(); !prepared)
        return prepared.error();
    return spool;
}

HistorySpool::HistorySpool(std::filesystem::path path, std::uint64_t limit, sqlite3* db)
    : m_path(std::move(path))
    , m_limit(limit)
    , m_db(db)
{
}

HistorySpool::~HistorySpool()
{
    for (sqlite3_stmt* stmt : { m_insert, m_dropOldest, m_oldest, m_remove })
        sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

support::Error HistorySpool::failure(const std::string& what) const
{
    const int code = sqlite3_errcode(m_db);
    const auto kind = code == SQLITE_FULL                                           ? support::ErrorKind::TooLarge
        : code == SQLITE_BUSY || code == SQLITE_LOCKED                              ? support::ErrorKind::InUse
        : code == SQLITE_READONLY || code == SQLITE_PERM || code == SQLITE_CANTOPEN ? support::ErrorKind::AccessDenied
                                                                                    : support::ErrorKind::System;
    return support::Error { kind, what + " in the history spool " + m_path.string() + ": " + sqlite3_errmsg(m_db) };
}

support::Result<void> HistorySpool::exec(const char* sql)
{
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        return failure("cannot run \"" + std::string(sql).substr(0, 40) + "\"");
    return {};
}

support::Result<void> HistorySpool::prepare()
{
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // One holder at a time; free pages can be given back (it must be set before the tables).
    for (const char* pragma : { "PRAGMA locking_mode=EXCLUSIVE",
             "PRAGMA auto_vacuum=INCREMENTAL",
             "PRAGMA journal_mode=WAL",
             "PRAGMA synchronous=FULL" }) {
        if (auto done = exec(pragma); !done)
            return done;
    }
    if (auto done = exec(kSchema); !done)
        return done;
    {
        Statement origin(m_db, "INSERT OR IGNORE INTO spool_info (name, value) VALUES ('origin', ?)");
        sqlite3_bind_int64(origin.get(), 1, newOrigin());
        if (sqlite3_step(origin.get()) != SQLITE_DONE)
            return failure("cannot set the origin");
    }
    {
        Statement origin(m_db, "SELECT value FROM spool_info WHERE name = 'origin'");
        if (sqlite3_step(origin.get()) != SQLITE_ROW)
            return failure("cannot read the origin");
        m_origin = sqlite3_column_int64(origin.get(), 0);
    }
    {
        Statement count(m_db, "SELECT COUNT(*) FROM spool");
        if (sqlite3_step(count.get()) != SQLITE_ROW)
            return failure("cannot count the values");
        m_size = static_cast<std::uint64_t>(sqlite3_column_int64(count.get(), 0));
    }
    const std::pair<sqlite3_stmt**, std::string> statements[] = {
        { &m_insert, std::string("INSERT INTO spool (") + kColumns + ") VALUES (?, ?, ?, ?, ?, ?)" },
        { &m_dropOldest, "DELETE FROM spool WHERE seq < (SELECT seq FROM spool ORDER BY seq LIMIT 1 OFFSET ?)" },
        { &m_oldest, std::string("SELECT seq, ") + kColumns + " FROM spool ORDER BY seq LIMIT ?" },
        { &m_remove, "DELETE FROM spool WHERE seq <= ?" },
    };
    for (const auto& [stmt, sql] : statements) {
        if (sqlite3_prepare_v3(m_db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, stmt, nullptr) != SQLITE_OK)
            return failure("cannot prepare \"" + sql.substr(0, 40) + "\"");
    }
    return {};
}

std::uint64_t HistorySpool::size() const
{
    std::lock_guard lock(m_mutex);
    return m_size;
}

support::Result<HistorySpool::Appended> HistorySpool::append(const std::vector<HistoryValue>& values)
{
    std::lock_guard lock(m_mutex);
    Appended appended;
    if (values.empty() || m_limit == 0)
        return appended;
    // More new values than the spool holds: the newest of them stay.
    const std::size_t skipped = values.size() > m_limit ? values.size() - static_cast<std::size_t>(m_limit) : 0;
    const std::uint64_t kept = values.size() - skipped;
    const std::uint64_t overflow = m_size + kept > m_limit ? m_size + kept - m_limit : 0;
    if (auto begun = exec("BEGIN IMMEDIATE"); !begun)
        return begun.error();
    const auto abandon = [this](const std::string& what) {
        support::Error error = failure(what);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return error;
    };
    std::uint64_t removed = 0;
    if (overflow > 0) {
        Reset reset(m_dropOldest);
        sqlite3_bind_int64(m_dropOldest, 1, static_cast<std::int64_t>(std::min(overflow, m_size)));
        const int rc = sqlite3_step(m_dropOldest);
        if (rc != SQLITE_DONE)
            return abandon("cannot make room");
        removed = static_cast<std::uint64_t>(sqlite3_changes(m_db));
        if (removed == 0 && overflow >= m_size) {
            // OFFSET past the last row selects nothing: everything goes.
            if (auto emptied = exec("DELETE FROM spool"); !emptied) {
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
                return emptied.error();
            }
            removed = static_cast<std::uint64_t>(sqlite3_changes(m_db));
        }
    }
    for (std::size_t i = skipped; i < values.size(); ++i) {
        const HistoryValue& value = values[i];
        Reset reset(m_insert);
        bindText(m_insert, 1, value.node);
        sqlite3_bind_int64(m_insert, 2, value.sourceTime);
        if (value.serverTime)
            sqlite3_bind_int64(m_insert, 3, *value.serverTime);
        sqlite3_bind_int64(m_insert, 4, value.status);
        bindText(m_insert, 5, value.dataType);
        if (value.value)
            bindText(m_insert, 6, *value.value);
        if (sqlite3_step(m_insert) != SQLITE_DONE)
            return abandon("cannot append a value");
    }
    appended.lastSeq = sqlite3_last_insert_rowid(m_db);
    if (auto committed = exec("COMMIT"); !committed) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return committed.error();
    }
    m_size = m_size - removed + kept;
    appended.dropped = removed + skipped;
    return appended;
}

support::Result<std::vector<SpooledValue>> HistorySpool::oldest(std::size_t count)
{
    std::lock_guard lock(m_mutex);
    Reset reset(m_oldest);
    sqlite3_bind_int64(m_oldest, 1, static_cast<std::int64_t>(count));
    std::vector<SpooledValue> values;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(m_oldest)) == SQLITE_ROW)
        values.push_back({ sqlite3_column_int64(m_oldest, 0), valueAt(m_oldest, 1) });
    if (rc != SQLITE_DONE)
        return failure("cannot read the oldest values");
    return values;
}

support::Result<void> HistorySpool::removeThrough(std::int64_t seq)
{
    std::lock_guard lock(m_mutex);
    Reset reset(m_remove);
    sqlite3_bind_int64(m_remove, 1, seq);
    if (sqlite3_step(m_remove) != SQLITE_DONE)
        return failure("cannot remove written values");
    m_size -= std::min<std::uint64_t>(m_size, static_cast<std::uint64_t>(sqlite3_changes(m_db)));
    return {};
}

support::Result<std::vector<KeptHistoryValue>> HistorySpool::read(const HistoryRange& range)
{
    std::lock_guard lock(m_mutex);
    const HistoryColumns columns { "node", "source_time", "", "seq", m_origin };
    const SqlRange sql = sqlRange(range, columns);
    Statement query(
        m_db, std::string("SELECT seq, ") + kColumns + " FROM spool " + sql.where + " " + sql.orderBy + " LIMIT ?");
    if (!query.get())
        return failure("cannot prepare a read");
    int index = 1;
    for (const SqlParameter& parameter : sql.parameters) {
        if (parameter.kind == SqlParameter::Kind::Text)
            bindText(query.get(), index++, parameter.text);
        else
            sqlite3_bind_int64(query.get(), index++, parameter.number);
    }
    sqlite3_bind_int64(query.get(), index, static_cast<std::int64_t>(range.limit));
    std::vector<KeptHistoryValue> values;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(query.get())) == SQLITE_ROW) {
        HistoryValue value = valueAt(query.get(), 1);
        const HistoryKey key { value.sourceTime, m_origin, sqlite3_column_int64(query.get(), 0) };
        values.push_back({ key, std::move(value) });
    }
    if (rc != SQLITE_DONE)
        return failure("cannot read values");
    return values;
}

void HistorySpool::compact()
{
    std::lock_guard lock(m_mutex);
    sqlite3_exec(m_db, "PRAGMA incremental_vacuum", nullptr, nullptr, nullptr);
}

} // namespace tavoxserver
