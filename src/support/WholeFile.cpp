#include "support/WholeFile.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

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

/// Closes the descriptor when the read ends, however it ends.
class Descriptor {
public:
    Descriptor(int fd, SystemCalls& calls)
        : m_fd(fd)
        , m_calls(calls)
    {
    }
    ~Descriptor() { m_calls.close(m_fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

private:
    int m_fd;
    SystemCalls& m_calls;
};

} // namespace

Result<int> openRegularFile(const std::filesystem::path& file, SystemCalls& calls)
{
    const int fd = calls.open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0);
    if (fd < 0)
        return Error::fromErrno(errno, cannotRead(file));
    struct stat info { };
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

Result<std::string> readWholeFile(const std::filesystem::path& file, std::size_t maxBytes, SystemCalls& calls)
{
    Result<int> opened = openRegularFile(file, calls);
    if (!opened)
        return opened.error();
    const int fd = *opened;
    const Descriptor closer(fd, calls);
    const Error tooLarge { ErrorKind::TooLarge, cannotRead(file) + ": it is larger than " + sizeText(maxBytes) };

    struct stat info { };
    if (calls.fstat(fd, &info) != 0)
        return Error::fromErrno(errno, cannotRead(file));
    if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return tooLarge;

    std::string content;
    // One byte more than the size says, so that the end of the file is seen in the same read.
    content.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == content.size()) {
            if (content.size() > maxBytes)
                return tooLarge;
            content.resize(std::min(maxBytes + 1, content.size() * 2));
        }
        const ssize_t got = calls.read(fd, content.data() + filled, content.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Error::fromErrno(errno, cannotRead(file));
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled > maxBytes)
        return tooLarge;
    content.resize(filled);
    return content;
}

} // namespace support
