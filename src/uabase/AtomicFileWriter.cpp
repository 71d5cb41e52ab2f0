#include "uabase/AtomicFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// The file a path finally names, so that saving through a symbolic link replaces the linked
/// file and keeps the link.
std::string resolvedTarget(const std::string& target)
{
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec)
            return resolved.string();
    }
    return target;
}

mode_t defaultFileMode()
{
    // The mode a plain open(O_CREAT, 0666) would give; umask can only be read by setting it.
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool syncDirectory(const std::string& file)
{
    auto dir = std::filesystem::path(file).parent_path();
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(const std::string& target)
    : m_target(resolvedTarget(target))
{
    if (m_target.empty())
        return;
    std::string pattern = m_target + ".tmp-XXXXXX";
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd >= 0)
        m_tempPath = pattern;
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
}

bool AtomicFileWriter::write(const std::string& content)
{
    if (m_fd < 0 || m_committed)
        return false;
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(m_fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFileWriter::commit()
{
    if (m_fd < 0 || m_committed)
        return false;
    struct stat existing { };
    if (::stat(m_target.c_str(), &existing) == 0) {
        if (::fchmod(m_fd, existing.st_mode & 07777) != 0)
            return false;
        // Only a privileged process can give the file away; otherwise it stays the writer's.
        if (::fchown(m_fd, existing.st_uid, existing.st_gid) != 0 && ::geteuid() == 0)
            return false;
    } else if (::fchmod(m_fd, defaultFileMode()) != 0) {
        return false;
    }
    if (::fsync(m_fd) != 0)
        return false;
    if (std::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        return false;
    m_committed = true;
    // The rename is durable only once the directory entry is on disk; the content already is.
    syncDirectory(m_target);
    return true;
}
