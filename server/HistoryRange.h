#pragma once

#include "HistoryValue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavoxserver {

/// The values of one node that a read takes from the spool or the table, in the read's order:
/// forward from `first` up to `last`, or backward from `first` down to `last`, past `after`
/// (a continuation), at most `limit` of them.
struct HistoryRange {
    std::string node;
    bool forward = true;
    /// Source times in ticks; `first` is always part of the range.
    std::optional<std::int64_t> first;
    std::optional<std::int64_t> last;
    bool lastIncluded = false;
    /// Only values strictly beyond this key in the read's direction.
    std::optional<HistoryKey> after;
    std::size_t limit = 0;

    /// Whether `key` lies in the range (the node aside).
    bool holds(const HistoryKey& key) const;
};

/// A parameter of the range's condition: a source time (ticks), a number or a text.
struct SqlParameter {
    enum class Kind { Time, Integer, Text } kind = Kind::Integer;
    std::int64_t number = 0;
    std::string text;
};

/// The column names of a table that holds history values. A table of one origin (the spool)
/// has no origin column: `origin` is empty and `onlyOrigin` says which it is.
struct HistoryColumns {
    std::string node;
    std::string sourceTime;
    std::string origin;
    std::string seq;
    std::int64_t onlyOrigin = 0;
};

/// "WHERE ... ORDER BY ..." of the range over `columns`, with "?" markers for `parameters`.
/// The limit is left to the dialect.
struct SqlRange {
    std::string where;
    std::string orderBy;
    std::vector<SqlParameter> parameters;
};
SqlRange sqlRange(const HistoryRange& range, const HistoryColumns& columns);

} // namespace tavoxserver
