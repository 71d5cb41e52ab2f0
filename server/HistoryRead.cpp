#include "HistoryRead.h"

#include <algorithm>
#include <charconv>

namespace tavoxserver {
namespace {

bool parseNumber(std::string_view& text, std::int64_t& number, bool last)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc())
        return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (last)
        return text.empty();
    if (text.empty() || text.front() != ':')
        return false;
    text.remove_prefix(1);
    return true;
}

} // namespace

std::string_view historyReadStatusName(HistoryReadStatus status)
{
    switch (status) {
    case HistoryReadStatus::Good:
        return "Good";
    case HistoryReadStatus::GoodNoData:
        return "GoodNoData";
    case HistoryReadStatus::GoodResultsMayBeIncomplete:
        return "GoodResultsMayBeIncomplete";
    case HistoryReadStatus::BadHistoryOperationInvalid:
        return "BadHistoryOperationInvalid";
    case HistoryReadStatus::BadContinuationPointInvalid:
        return "BadContinuationPointInvalid";
    case HistoryReadStatus::BadInternalError:
        return "BadInternalError";
    }
    return "BadInternalError";
}

std::string continuationText(const HistoryKey& key)
{
    return std::to_string(key.sourceTime) + ":" + std::to_string(key.origin) + ":" + std::to_string(key.seq);
}

std::optional<HistoryKey> continuationKey(std::string_view text)
{
    HistoryKey key;
    if (!parseNumber(text, key.sourceTime, false) || !parseNumber(text, key.origin, false)
        || !parseNumber(text, key.seq, true))
        return std::nullopt;
    return key;
}

HistoryReadPlan planHistoryRead(const HistoryReadRequest& request, std::size_t answerLimit)
{
    HistoryReadPlan plan;
    const int given = (request.start ? 1 : 0) + (request.end ? 1 : 0) + (request.maxValues > 0 ? 1 : 0);
    if (given < 2 || answerLimit == 0) {
        plan.refusal = HistoryReadStatus::BadHistoryOperationInvalid;
        return plan;
    }
    HistoryRange range;
    range.node = request.node;
    if (request.start && request.end) {
        range.forward = *request.start <= *request.end;
        range.first = request.start;
        range.last = request.end;
        range.lastIncluded = *request.start == *request.end;
    } else {
        range.forward = request.start.has_value();
        range.first = request.start ? request.start : request.end;
    }
    if (request.continuation) {
        const std::optional<HistoryKey> after = continuationKey(*request.continuation);
        if (!after || !range.holds(*after)) {
            plan.refusal = HistoryReadStatus::BadContinuationPointInvalid;
            return plan;
        }
        range.after = after;
    }
    const std::size_t wanted = request.maxValues > 0 ? request.maxValues : answerLimit;
    range.limit = std::min(wanted, answerLimit) + 1;
    plan.range = std::move(range);
    return plan;
}

HistoryReadResult mergeHistoryRead(const HistoryReadRequest& request,
    const HistoryRange& range,
    const std::vector<KeptHistoryValue>& spooled,
    const std::vector<KeptHistoryValue>& stored,
    bool complete)
{
    HistoryReadResult result;
    result.id = request.id;
    const std::size_t answered = range.limit - 1;
    const auto precedes = [&range](const HistoryKey& a, const HistoryKey& b) { return range.forward ? a < b : a > b; };
    std::size_t s = 0;
    std::size_t t = 0;
    std::optional<HistoryKey> lastKey;
    bool more = false;
    while (s < spooled.size() || t < stored.size()) {
        const KeptHistoryValue* next = nullptr;
        if (t == stored.size()) {
            next = &spooled[s++];
        } else if (s == spooled.size()) {
            next = &stored[t++];
        } else if (spooled[s].key == stored[t].key) {
            // Taken by the table and not yet gone from the spool: one value.
            next = &spooled[s++];
            ++t;
        } else if (precedes(spooled[s].key, stored[t].key)) {
            next = &spooled[s++];
        } else {
            next = &stored[t++];
        }
        if (result.values.size() == answered) {
            more = true;
            break;
        }
        result.values.push_back(next->value);
        lastKey = next->key;
    }
    if (more && lastKey)
        result.continuation = continuationText(*lastKey);
    if (!complete)
        result.status = HistoryReadStatus::GoodResultsMayBeIncomplete;
    else if (result.values.empty())
        result.status = HistoryReadStatus::GoodNoData;
    return result;
}

} // namespace tavoxserver
