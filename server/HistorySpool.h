#pragma once

#include "HistoryRange.h"
#include "HistoryValue.h"
#include "support/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tavoxserver {

/// A value that waits in the spool, with its number there.
struct SpooledValue {
    std::int64_t seq = 0;
    HistoryValue value;
};

/// The daemon's store-and-forward file for history values: an SQLite database in write-ahead
/// mode with full sync, so that every committed append survives a crash or a power cut. Values
/// are numbered in the order they came, never twice (also after the spool was empty), and leave
/// oldest first. It holds at most `limit` values: an append beyond drops the oldest. The spool
/// carries a random origin of its own, which tells its values from those of another spool in
/// the history table. One process holds the file at a time. Thread-safe.
class HistorySpool {
public:
    /// Opens the spool file, or creates it (its folder must exist).
    static support::Result<std::unique_ptr<HistorySpool>> open(const std::filesystem::path& file, std::uint64_t limit);
    ~HistorySpool();
    HistorySpool(const HistorySpool&) = delete;
    HistorySpool& operator=(const HistorySpool&) = delete;

    std::int64_t origin() const { return m_origin; }
    const std::filesystem::path& path() const { return m_path; }
    std::uint64_t limit() const { return m_limit; }
    /// The values it holds.
    std::uint64_t size() const;

    struct Appended {
        std::int64_t lastSeq = 0; ///< the number of the last value appended
        std::uint64_t dropped = 0; ///< the oldest values it made room by dropping
    };
    /// Appends `values` in one transaction.
    support::Result<Appended> append(const std::vector<HistoryValue>& values);
    /// The oldest `count` values, oldest first.
    support::Result<std::vector<SpooledValue>> oldest(std::size_t count);
    /// Removes every value numbered up to `seq`, in one transaction.
    support::Result<void> removeThrough(std::int64_t seq);
    /// The values of a read, in its order.
    support::Result<std::vector<KeptHistoryValue>> read(const HistoryRange& range);
    /// Gives the file's free pages back to the file system; for an emptied spool.
    void compact();

private:
    HistorySpool(std::filesystem::path path, std::uint64_t limit, sqlite3* db);
    support::Result<void> prepare();
    support::Error failure(const std::string& what) const;
    support::Result<void> exec(const char* sql);

    const std::filesystem::path m_path;
    const std::uint64_t m_limit;
    sqlite3* m_db;
    std::int64_t m_origin = 0;
    std::uint64_t m_size = 0;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_stmt* m_dropOldest = nullptr;
    sqlite3_stmt* m_oldest = nullptr;
    sqlite3_stmt* m_remove = nullptr;
    mutable std::mutex m_mutex;
};

} // namespace tavoxserver
