#pragma once

#include "support/Result.h"
#include "support/SystemCalls.h"

#include <cstddef>
#include <filesystem>

namespace support {

/// The size limit of a file read unless the caller sets another.
inline constexpr std::size_t kMaxWholeFileBytes = std::size_t { 64 } << 20;

/// Opens a regular file for reading: a directory, pipe, socket or device is refused (NotRegularFile)
/// before anything is read, and the open itself never waits (non-blocking, so a pipe without a
/// writer cannot hold the caller). The descriptor is the caller's, close-on-exec.
Result<int> openRegularFile(const std::filesystem::path& file, SystemCalls& calls = realSystemCalls());

/// A regular file (see openRegularFile) read piece by piece and held to a size limit, the one
/// loop over read(2) of every file reader: interrupted reads are retried, and a file larger than
/// the limit, also one that grows past it while it is read, fails with TooLarge. Messages read
/// "cannot read FILE: REASON". Closes the file when it goes.
class FileReader {
public:
    static Result<FileReader> open(const std::filesystem::path& file,
        std::size_t maxBytes = kMaxWholeFileBytes,
        SystemCalls& calls = realSystemCalls());

    ~FileReader();
    FileReader(FileReader&& other) noexcept;
    FileReader& operator=(FileReader&&) = delete;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    /// The size the file had when it was opened: a hint only, as the file may change, and some
    /// files whose content is made as it is read say 0.
    std::size_t sizeWhenOpened() const { return m_sizeWhenOpened; }
    /// Reads up to `size` bytes into `buffer`: how many were read, 0 at the end of the file.
    Result<std::size_t> read(char* buffer, std::size_t size);

private:
    FileReader(int fd, std::filesystem::path file, std::size_t maxBytes, std::size_t size, SystemCalls& calls);
    Error tooLarge() const;

    int m_fd;
    std::filesystem::path m_file;
    std::size_t m_maxBytes;
    std::size_t m_sizeWhenOpened;
    std::size_t m_total = 0;
    SystemCalls& m_calls;
};

} // namespace support
