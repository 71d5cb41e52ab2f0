#pragma once

#include "RegValueText.h"
#include "Result.h"

#include <filesystem>

namespace admin {

/// The whole content of a file; the failure names the file and the reason.
Result<Bytes> readWholeFile(const std::filesystem::path& file);

/// Writes a file whole: to a temporary file in the same directory, flushed, then renamed over
/// the target, so that a crash never leaves half a file. An existing file keeps its mode and
/// owner; a new one gets the mode the umask allows.
Result<bool> writeFileAtomically(const std::filesystem::path& file, const Bytes& content);

} // namespace admin
