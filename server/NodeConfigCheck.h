#pragma once

#include "StepResult.h"

#include <filesystem>

namespace tavoxserver {

/// Interim check of the node configuration file: it must read as well-formed XML whose root
/// element is UANodeSet. The file is parsed without network access and without entity
/// substitution. The full read of the nodes takes its place once the server loads them.
StepResult interimNodeConfigCheck(const std::filesystem::path& file);

} // namespace tavoxserver
