#include "platform/AtomicWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace platform {
namespace {

bool writeAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The file a path finally names, so that a link stays a link and its target is replaced.
std::filesystem::path resolveTarget(const std::filesystem::path& file)
{
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec))) {
        const auto target = std::filesystem::canonical(file, ec);
        if (!ec)
            return target;
    }
    return file;
}

void syncDirectory(const std::filesystem::path& dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& file)
{
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    // Read in large blocks into room made once: a node configuration file has megabytes.
    std::string content;
    const auto size = std::filesystem::file_size(file, ec);
    if (!ec)
        content.reserve(static_cast<std::size_t>(size));
    char block[64 * 1024];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        content.append(block, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return std::nullopt;
    return content;
}

bool replaceFileAtomically(const std::filesystem::path& file, std::string_view content)
{
    return replaceFileAtomically(file, content, AtomicWriteFault{});
}

bool replaceFileAtomically(const std::filesystem::path& file, std::string_view content, const AtomicWriteFault& fault)
{
    const auto allowed = [&fault](AtomicWriteStep step) { return !fault || fault(step); };
    const std::filesystem::path target = resolveTarget(file);
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // Appended piece by piece: GCC 12 reports a false -Wrestrict for "." + std::string(...).
    std::string tempName = ".";
    tempName.append(target.filename().string()).append(".XXXXXX");
    std::string temp = (dir / tempName).string();
    if (!allowed(AtomicWriteStep::CreateTemporary))
        return false;
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    bool ok = allowed(AtomicWriteStep::WriteContent) && writeAll(fd, content);
    ok = ok && allowed(AtomicWriteStep::KeepModeAndOwner);
    if (ok && exists) {
        // Only a privileged writer can hand the file to another owner; the mode is always kept.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void)::fchown(fd, existing.st_uid, existing.st_gid);
        ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    } else if (ok) {
        ok = ::fchmod(fd, 0666 & ~currentUmask()) == 0;
    }
    ok = ok && allowed(AtomicWriteStep::Flush) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok && allowed(AtomicWriteStep::Close);
    ok = ok && allowed(AtomicWriteStep::Rename) && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    syncDirectory(dir);
    return true;
}

} // namespace platform
