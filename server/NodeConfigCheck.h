#pragma once

#include "AlarmMonitoring.h"

#include "support/Result.h"

#include <filesystem>

namespace tavoxserver {

/// Reads the node configuration file with the project's nodeset reader, as the utility's
/// Node Config page does; a file that does not read fails with the reader's error text and
/// status. The file is parsed without network access and without entity substitution.
support::Result<void> checkNodeConfig(const std::filesystem::path& file, std::size_t* nodeCount = nullptr);

/// checkNodeConfig, and the alarms of its settings block and the historized variables that the
/// server monitors.
support::Result<void> checkNodeConfig(const std::filesystem::path& file, std::size_t* nodeCount, AlarmPlan* alarms);

} // namespace tavoxserver
