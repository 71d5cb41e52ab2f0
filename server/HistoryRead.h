#pragma once

#include "HistoryRange.h"
#include "HistoryValue.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavoxserver {

/// A raw history read of one node (modified values not asked for), as the engine sends it.
struct HistoryReadRequest {
    std::int64_t id = 0;
    std::string node;
    /// Source times in ticks; none where the client gave none.
    std::optional<std::int64_t> start;
    std::optional<std::int64_t> end;
    /// At most this many values; 0 for no limit.
    std::uint32_t maxValues = 0;
    std::optional<std::string> continuation;
};

/// The OPC UA status of a read's answer.
enum class HistoryReadStatus {
    Good,
    GoodNoData, ///< nothing in the range
    GoodResultsMayBeIncomplete, ///< the database is unreachable: the spool alone answered
    BadHistoryOperationInvalid, ///< fewer than two of start, end and maximum
    BadContinuationPointInvalid,
    BadInternalError, ///< neither the spool nor the table could be read
};

/// The status's OPC UA name ("GoodResultsMayBeIncomplete").
std::string_view historyReadStatusName(HistoryReadStatus status);

struct HistoryReadResult {
    std::int64_t id = 0;
    HistoryReadStatus status = HistoryReadStatus::Good;
    std::vector<HistoryValue> values;
    std::optional<std::string> continuation;
};

/// Most values in one answer; a read that asks for more gets a continuation point.
inline constexpr std::size_t kMaxValuesPerAnswer = 10000;

/// Where the read runs, or the status that refuses it. Start and end as OPC UA has them: start
/// included, end not (a start equal to the end reads that instant); an end before the start, or
/// an end alone, reads backward; a time alone needs a maximum. The range asks for one value more
/// than the answer takes, to tell whether more follow.
struct HistoryReadPlan {
    std::optional<HistoryRange> range;
    HistoryReadStatus refusal = HistoryReadStatus::Good;
};
HistoryReadPlan planHistoryRead(const HistoryReadRequest& request, std::size_t answerLimit = kMaxValuesPerAnswer);

/// The answer from the values of the spool and of the table, each in the range's order: merged
/// in that order, each value once, with a continuation point when more follow. `complete` is
/// false when the table could not be read.
HistoryReadResult mergeHistoryRead(const HistoryReadRequest& request,
    const HistoryRange& range,
    const std::vector<KeptHistoryValue>& spooled,
    const std::vector<KeptHistoryValue>& stored,
    bool complete);

/// A continuation point: the key of the last value answered, as text.
std::string continuationText(const HistoryKey& key);
std::optional<HistoryKey> continuationKey(std::string_view text);

} // namespace tavoxserver
