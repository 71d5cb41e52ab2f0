#pragma once

#include "history/HistorySettings.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace platform {
class SettingsStore;
} // namespace platform

namespace tavoxserver {

/// The database that the daemon logs history values to: the history section of the node
/// configuration file when it is active ("ACTIVE" 1) and its "StartLogging" is true. None
/// otherwise; the engine then keeps history in memory.
std::optional<history::HistorySettings> historyLoggingDatabase(const std::filesystem::path& nodeCfgPath);

/// How many values the history spool holds: "HistorySpoolLimit" of the machine store, 10,000,000
/// when it is missing or not a REG_DWORD, and at least 1,000.
std::uint64_t readHistorySpoolLimit(const platform::SettingsStore& machine);

} // namespace tavoxserver
