#include "HistoryValue.h"

#include "uatypes/UaDateTime.h"
#include "uatypes/UaString.h"

namespace tavoxserver {
namespace {

// Milliseconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochMilliseconds = 11'644'473'600'000;
constexpr std::int64_t kTicksPerMillisecond = 10'000;

} // namespace

std::int64_t historyTicks(std::chrono::system_clock::time_point time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return (ms + kUnixEpochMilliseconds) * kTicksPerMillisecond;
}

std::string historyTimeText(std::int64_t ticks) { return UaDateTime(ticks).toString().toStdString(); }

std::string historyNode(std::string_view namespaceUri, std::string_view identifier)
{
    std::string node = "nsu=";
    node.reserve(namespaceUri.size() + identifier.size() + 5);
    for (char c : namespaceUri) {
        if (c == ';')
            node += "%3B";
        else if (c == '%')
            node += "%25";
        else
            node += c;
    }
    node += ';';
    node += identifier;
    return node;
}

} // namespace tavoxserver
