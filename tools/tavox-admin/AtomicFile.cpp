#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace admin {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

std::string reason(int error)
{
    return std::strerror(error);
}

bool writeAll(int fd, const Bytes& content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

Result<Bytes> readWholeFile(const std::filesystem::path& file)
{
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return Result<Bytes>::failure("Cannot read " + file.string() + ": it is a directory.");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Result<Bytes>::failure("Cannot read " + file.string() + ": " + reason(errno) + ".");
    const auto size = std::filesystem::file_size(file, ec);
    if (!ec && size > kMaxFileBytes)
        return Result<Bytes>::failure("Cannot read " + file.string() + ": the file is larger than 64 MiB.");
    Bytes content {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return Result<Bytes>::failure("Cannot read " + file.string() + ": a read error occurred.");
    return content;
}

Result<bool> writeFileAtomically(const std::filesystem::path& file, const Bytes& content)
{
    const auto fail = [&](int error) {
        return Result<bool>::failure("Cannot write " + file.string() + ": " + reason(error) + ".");
    };
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string pattern = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return fail(errno);

    struct stat existing {};
    const bool exists = ::stat(file.c_str(), &existing) == 0;
    bool ok = writeAll(fd, content);
    int error = errno;
    if (ok) {
        if (exists) {
            // Ownership can only be kept by a privileged writer; the mode always is.
            (void)::fchown(fd, existing.st_uid, existing.st_gid);
            ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
        } else {
            ok = ::fchmod(fd, 0666 & ~currentUmask()) == 0;
        }
        error = errno;
    }
    if (ok) {
        ok = ::fsync(fd) == 0;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(pattern.c_str(), file.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(pattern.c_str());
        return fail(error);
    }
    return true;
}

} // namespace admin
