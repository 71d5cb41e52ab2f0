#pragma once

#include <chrono>
#include <string>

namespace support {

/// A moment in UTC as ISO 8601 to the second: "2025-05-14T10:15:02Z".
std::string utcText(std::chrono::system_clock::time_point when);

} // namespace support
