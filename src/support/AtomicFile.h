#pragma once

#include "support/Result.h"
#include "support/SystemCalls.h"

#include <filesystem>
#include <string_view>

namespace support {

/// Replaces `file` with `content` so that the file is at every moment either the old or the new
/// one, never a mix, also across a crash: the content goes to a new temporary file beside the
/// target (created exclusively, close-on-exec), is flushed to disk and renamed over the target,
/// and the folder is flushed.
///
/// A symbolic link stays a link: the file it names is replaced (or created, for a dangling one).
/// An existing file keeps its mode, and its owner and group where the process may set them (a
/// privileged process must); a new file gets 0666 less the umask, which is never changed. On
/// any failure the target is untouched, no temporary file is left, and the message reads
/// "cannot write FILE: REASON".
Result<void> writeFileAtomically(const std::filesystem::path& file,
    std::string_view content,
    SystemCalls& calls = realSystemCalls());

/// The same for a file that must end with exactly `mode`, whatever the umask and whatever mode an
/// existing file had (a private key 0600): the temporary file is created private and given
/// `mode` before anything is written. An existing file's owner and group are kept as above.
Result<void> writeFileAtomically(const std::filesystem::path& file,
    std::string_view content,
    mode_t mode,
    SystemCalls& calls = realSystemCalls());

} // namespace support
