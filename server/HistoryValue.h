#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavoxserver {

/// One value of a historized variable as the spool and the history table keep it.
struct HistoryValue {
    /// The variable: "nsu=" namespace URI ";" identifier (historyNode()).
    std::string node;
    /// UTC times as OPC UA DateTime ticks (100 ns since 1601), to the millisecond.
    std::int64_t sourceTime = 0;
    std::optional<std::int64_t> serverTime;
    std::uint32_t status = 0;
    /// The OPC UA type name ("Double"), with "[]" for an array ("Double[]").
    std::string dataType;
    /// The value in its stored text form (see HistoryMessages.h); none for a value that is null.
    std::optional<std::string> value;

    friend bool operator==(const HistoryValue&, const HistoryValue&) = default;
};

/// The place of a kept value in the order of history: source time, then the spool that it
/// came through (its origin) and its number there, which are unique together.
struct HistoryKey {
    std::int64_t sourceTime = 0;
    std::int64_t origin = 0;
    std::int64_t seq = 0;

    friend auto operator<=>(const HistoryKey&, const HistoryKey&) = default;
};

struct KeptHistoryValue {
    HistoryKey key;
    HistoryValue value;
};

/// The longest node text the table takes, in UTF-16 units (its column and index width).
inline constexpr std::size_t kMaxHistoryNodeUnits = 700;

/// A time as OPC UA DateTime ticks, to the millisecond.
std::int64_t historyTicks(std::chrono::system_clock::time_point time);
/// A time of the log: ISO 8601 in UTC with milliseconds.
std::string historyTimeText(std::int64_t ticks);

/// "nsu=" + URI + ";" + identifier, the expanded node id text: ";" and "%" of the URI escaped
/// as "%3B" and "%25", so that the text names one node only.
std::string historyNode(std::string_view namespaceUri, std::string_view identifier);

} // namespace tavoxserver
