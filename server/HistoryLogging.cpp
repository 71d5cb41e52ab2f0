#include "HistoryLogging.h"

#include "HistoryConnection.h"
#include "HistoryStore.h"
#include "config/CTavoxEnvmnt.h"
#include "config/ServerKey.h"
#include "nodeconfig/SettingsBlock.h"

#include <algorithm>

namespace tavoxserver {

std::optional<history::HistorySettings> historyLoggingDatabase(const std::filesystem::path& nodeCfgPath)
{
    std::optional<history::HistorySettings> database = activeHistoryDatabase(nodeCfgPath);
    if (!database || nodeconfig::ReadStartLogging(nodeCfgPath).value_or(0) != 1)
        return std::nullopt;
    return database;
}

std::uint64_t readHistorySpoolLimit(const platform::SettingsStore& machine)
{
    const std::uint32_t limit
        = CTavoxEnvmnt(machine).ReadDword(ServerKey::kHistorySpoolLimit, ServerKey::kDefaultHistorySpoolLimit);
    return std::max<std::uint64_t>(limit, kMinHistorySpoolLimit);
}

} // namespace tavoxserver
