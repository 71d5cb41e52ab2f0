#pragma once

#include "support/Result.h"
#include "support/SystemCalls.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace support {

/// The size limit of readWholeFile unless the caller sets another.
inline constexpr std::size_t kMaxWholeFileBytes = std::size_t { 64 } << 20;

/// Opens a regular file for reading: a directory, pipe, socket or device is refused (NotRegularFile)
/// before anything is read, and the open itself never waits (non-blocking, so a pipe without a
/// writer cannot hold the caller). The descriptor is the caller's, close-on-exec.
Result<int> openRegularFile(const std::filesystem::path& file, SystemCalls& calls = realSystemCalls());

/// The whole content of a regular file (see openRegularFile). A file larger than `maxBytes`,
/// also one that grows past it while it is read, fails with TooLarge. Messages read
/// "cannot read FILE: REASON".
Result<std::string> readWholeFile(const std::filesystem::path& file,
    std::size_t maxBytes = kMaxWholeFileBytes,
    SystemCalls& calls = realSystemCalls());

} // namespace support
