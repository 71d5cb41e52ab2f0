#pragma once

#include "support/Result.h"
#include "support/SystemCalls.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

/// The node configuration's access to files: the one place where it meets the support layer's
/// file reading and atomic replacement. Copies and rewrites of the server's file replace it
/// whole, so that a crash leaves the old file or the new one, never a mix.
namespace nodeconfig::files {

/// The whole text of a regular file (support::readWholeFile, with its size limit).
support::Result<std::string> readText(const std::filesystem::path& file);
/// Calls `visit` with every line of a regular file, read in blocks (see support::forEachLine);
/// fails when the file is no regular file, is larger than readText reads, or cannot be read
/// (the lines before a failure may have been visited).
support::Result<void> forEachLine(const std::filesystem::path& file,
    const std::function<void(std::string_view)>& visit);
/// Replaces the file with `text`, keeping its mode and owner; false leaves it untouched. Tests
/// make a step fail through `calls`.
[[nodiscard]] bool replaceText(const std::filesystem::path& file,
    std::string_view text,
    support::SystemCalls& calls = support::realSystemCalls());
/// Copies `from` over `to` (CopyFileW with overwriting); false leaves `to` untouched.
[[nodiscard]] bool copyOver(const std::filesystem::path& from, const std::filesystem::path& to);
/// Deletes the file (DeleteFileW); false when there was nothing to delete or it failed.
bool remove(const std::filesystem::path& file);
/// The C library's access checks: mode 0 (exists) and mode 2 (may be written).
bool exists(const std::filesystem::path& file);
bool isWritable(const std::filesystem::path& file);
/// Whether a new file could be created at `file` (its folder may be written).
bool mayCreate(const std::filesystem::path& file);

} // namespace nodeconfig::files
