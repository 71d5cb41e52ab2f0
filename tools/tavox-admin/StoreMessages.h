#pragma once

#include "platform/Registry.h"

#include <filesystem>
#include <string>

namespace admin {

/// The one-line message for a failed store call on `store` (without the "ERROR: " prefix).
std::string storeFailureMessage(platform::RegStatus status, const std::filesystem::path& store);

} // namespace admin
