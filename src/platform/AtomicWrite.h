#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// The whole content of a file as bytes; nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& file);

/// Replaces a file with `content` so that a crash leaves either the old or the new file:
/// the content goes to a temporary file in the same directory, is flushed to disk and
/// renamed over the target (through a symbolic link, onto the file it names). An existing
/// file keeps its mode, and its owner where the process may set it; a new file gets the
/// mode the umask allows. False when any step fails; the target is then untouched and the
/// temporary file is gone.
[[nodiscard]] bool replaceFileAtomically(const std::filesystem::path& file, std::string_view content);

/// The steps of a replacement, for tests that make one of them fail.
enum class AtomicWriteStep { CreateTemporary, WriteContent, KeepModeAndOwner, Flush, Close, Rename };
/// Asked before each step; false makes the step fail as if its system call had failed.
using AtomicWriteFault = std::function<bool(AtomicWriteStep)>;

/// replaceFileAtomically with a fault hook (an empty hook lets every step run).
[[nodiscard]] bool replaceFileAtomically(const std::filesystem::path& file,
    std::string_view content,
    const AtomicWriteFault& fault);

} // namespace platform
