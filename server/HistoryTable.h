#pragma once

#include "HistoryRange.h"
#include "HistorySpool.h"
#include "history/HistorySettings.h"
#include "support/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class OdbcConnection;
} // namespace platform

namespace tavoxserver {

/// The table "tavox_history" of the history database, in the dialect of the database's type
/// (MySQL/MariaDB or Microsoft SQL Server): one row per value, keyed by the spool's origin and
/// number, with an index for reads by node and time. The connection is used without automatic
/// commit; every call ends its transaction.
class HistoryTable {
public:
    static constexpr const char* kName = "tavox_history";

    explicit HistoryTable(history::SqlType type)
        : m_type(type)
    {
    }

    /// CREATE TABLE when the table is missing.
    std::string createStatement() const;
    [[nodiscard]] bool create(platform::OdbcConnection& connection) const;

    /// The highest number of `origin` the table holds; none when it holds none of it.
    support::Result<std::optional<std::int64_t>> lastSeq(platform::OdbcConnection& connection,
        std::int64_t origin) const;

    /// Inserts the values and commits, all or nothing. False with nothing written when it fails.
    [[nodiscard]] bool insert(platform::OdbcConnection& connection,
        const std::vector<SpooledValue>& values,
        std::int64_t origin,
        std::string& diagnostic) const;
    /// Inserts the values one by one and commits those that the database takes: for a batch
    /// that failed as a whole while the database still answers. The refused ones are counted,
    /// with the first refusal. False, with nothing written, when it takes none.
    [[nodiscard]] bool insertEach(platform::OdbcConnection& connection,
        const std::vector<SpooledValue>& values,
        std::int64_t origin,
        std::size_t& refused,
        std::string& diagnostic) const;

    /// The values of a read, in its order.
    support::Result<std::vector<KeptHistoryValue>> read(platform::OdbcConnection& connection,
        const HistoryRange& range) const;

private:
    history::SqlType m_type;
};

} // namespace tavoxserver
