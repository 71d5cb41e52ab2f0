#include "support/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

namespace support {
namespace {

std::string cannotRead(const std::filesystem::path& file) { return "cannot read " + file.string(); }

std::string sizeText(std::size_t bytes)
{
    constexpr std::size_t kMiB = std::size_t { 1 } << 20;
    if (bytes >= kMiB && bytes % kMiB == 0)
        return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

Result<int> openRegularFile(const std::filesystem::path& file, SystemCalls& calls)
{
    const int fd = calls.open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0);
    if (fd < 0)
        return Error::fromErrno(errno, cannotRead(file));
    struct stat info {};
    if (calls.fstat(fd, &info) != 0) {
        const int error = errno;
        calls.close(fd);
        return Error::fromErrno(error, cannotRead(file));
    }
    if (!S_ISREG(info.st_mode)) {
        calls.close(fd);
        const char* what = S_ISDIR(info.st_mode) ? ": it is a directory" : ": it is not a regular file";
        return Error { ErrorKind::NotRegularFile, cannotRead(file) + what };
    }
    return fd;
}

Result<FileReader> FileReader::open(const std::filesystem::path& file, std::size_t maxBytes, SystemCalls& calls)
{
    Result<int> opened = openRegularFile(file, calls);
    if (!opened)
        return opened.error();
    FileReader reader(*opened, file, maxBytes, 0, calls);
    struct stat info {};
    if (calls.fstat(reader.m_fd, &info) != 0)
        return Error::fromErrno(errno, cannotRead(file));
    if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return reader.tooLarge();
    reader.m_sizeWhenOpened = static_cast<std::size_t>(info.st_size);
    return reader;
}

FileReader::FileReader(int fd, std::filesystem::path file, std::size_t maxBytes, std::size_t size, SystemCalls& calls)
    : m_fd(fd)
    , m_file(std::move(file))
    , m_maxBytes(maxBytes)
    , m_sizeWhenOpened(size)
    , m_calls(calls)
{
}

FileReader::FileReader(FileReader&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_file(std::move(other.m_file))
    , m_maxBytes(other.m_maxBytes)
    , m_sizeWhenOpened(other.m_sizeWhenOpened)
    , m_total(other.m_total)
    , m_calls(other.m_calls)
{
}

FileReader::~FileReader()
{
    if (m_fd >= 0)
        m_calls.close(m_fd);
}

Result<std::size_t> FileReader::read(char* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t got = m_calls.read(m_fd, buffer, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Error::fromErrno(errno, cannotRead(m_file));
        m_total += static_cast<std::size_t>(got);
        if (m_total > m_maxBytes)
            return tooLarge();
        return static_cast<std::size_t>(got);
    }
}

Error FileReader::tooLarge() const
{
    return Error { ErrorKind::TooLarge, cannotRead(m_file) + ": it is larger than " + sizeText(m_maxBytes) };
}

} // namespace support
