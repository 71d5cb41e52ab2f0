#pragma once

#include "support/FileReader.h"
#include "support/Result.h"
#include "support/SystemCalls.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace support {

/// The whole content of a regular file, read with a FileReader (its size limit, its messages).
Result<std::string> readWholeFile(const std::filesystem::path& file,
    std::size_t maxBytes = kMaxWholeFileBytes,
    SystemCalls& calls = realSystemCalls());

} // namespace support
