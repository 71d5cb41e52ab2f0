#include "support/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <random>

namespace support {
namespace {

constexpr int kMaxLinks = 40;
constexpr int kNameAttempts = 100;

/// The file a path finally names: a link is followed, also when what it names does not exist yet.
Result<std::filesystem::path> resolveLinks(const std::filesystem::path& file, const std::string& what)
{
    std::filesystem::path path = file;
    for (int links = 0; links <= kMaxLinks; ++links) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
            return path;
        const std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec)
            return Error::fromErrno(ec.value(), what);
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return Error::fromErrno(ELOOP, what);
}

std::string randomSuffix()
{
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    thread_local std::mt19937 generator { std::random_device {}() };
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kDigits - 2);
    std::string suffix(8, '0');
    for (char& c : suffix)
        c = kDigits[pick(generator)];
    return suffix;
}

/// The temporary file beside the target, and what to do with it until it is renamed.
class TemporaryFile {
public:
    TemporaryFile(SystemCalls& calls, std::string what)
        : m_calls(calls)
        , m_what(std::move(what))
    {
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            m_calls.close(m_fd);
        if (!m_path.empty())
            m_calls.unlink(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    Result<void> create(const std::filesystem::path& target, mode_t mode)
    {
        const std::filesystem::path dir = target.parent_path();
        // Appended piece by piece: GCC 12 misreads "." + string as overlapping copies (-Wrestrict).
        std::string stem = ".";
        stem += target.filename().string();
        stem += ".tmp-";
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const std::string path = (dir / (stem + randomSuffix())).string();
            const int fd = m_calls.open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) {
                m_fd = fd;
                m_path = path;
                return {};
            }
            if (errno != EEXIST)
                return failure();
        }
        return failure();
    }

    Result<void> takeOver(const struct stat& existing)
    {
        // Owner first: a change of owner clears the set-user-ID and set-group-ID bits.
        if (m_calls.fchown(m_fd, existing.st_uid, existing.st_gid) != 0 && ::geteuid() == 0)
            return failure();
        return setMode(existing.st_mode & 07777);
    }

    Result<void> setMode(mode_t mode)
    {
        if (m_calls.fchmod(m_fd, mode) != 0)
            return failure();
        return {};
    }

    Result<void> write(std::string_view content)
    {
        while (!content.empty()) {
            const ssize_t n = m_calls.write(m_fd, content.data(), content.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return failure();
            if (n == 0)
                return Error::fromErrno(EIO, m_what);
            content.remove_prefix(static_cast<std::size_t>(n));
        }
        return {};
    }

    Result<void> flushAndClose()
    {
        if (m_calls.fsync(m_fd) != 0)
            return failure();
        const int fd = m_fd;
        m_fd = -1;
        // A failed close may be a delayed write error: the content is then not to be trusted.
        if (m_calls.close(fd) != 0)
            return failure();
        return {};
    }

    Result<void> renameOver(const std::filesystem::path& target)
    {
        if (m_calls.rename(m_path.c_str(), target.c_str()) != 0)
            return failure();
        m_path.clear();
        return {};
    }

private:
    Error failure() const { return Error::fromErrno(errno, m_what); }

    SystemCalls& m_calls;
    std::string m_what;
    std::string m_path;
    int m_fd = -1;
};

/// Makes the rename durable. The content is already on disk and the target already replaced, so
/// a folder that cannot be flushed (some file systems refuse it) does not fail the write.
void flushFolder(const std::filesystem::path& dir, SystemCalls& calls)
{
    const int fd = calls.open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0)
        return;
    (void)calls.fsync(fd);
    calls.close(fd);
}

Result<void>
writeFile(const std::filesystem::path& file, std::string_view content, std::optional<mode_t> mode, SystemCalls& calls)
{
    const std::string what = "cannot write " + file.string();
    const Result<std::filesystem::path> resolved = resolveLinks(file, what);
    if (!resolved)
        return resolved.error();
    const std::filesystem::path& target = *resolved;

    struct stat existing {};
    const bool exists = calls.stat(target.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT)
        return Error::fromErrno(errno, what);
    if (exists && !S_ISREG(existing.st_mode))
        return Error { ErrorKind::NotRegularFile, what + ": it is not a regular file" };

    TemporaryFile temporary(calls, what);
    // A replacement, and a file of a given mode, starts private and takes its mode below; a new
    // file gets what the umask leaves of 0666, applied by the system.
    if (auto created = temporary.create(target, exists || mode ? 0600 : 0666); !created)
        return created;
    if (exists) {
        if (auto taken = temporary.takeOver(existing); !taken)
            return taken;
    }
    if (mode) {
        if (auto set = temporary.setMode(*mode); !set)
            return set;
    }
    if (auto written = temporary.write(content); !written)
        return written;
    if (auto flushed = temporary.flushAndClose(); !flushed)
        return flushed;
    if (auto renamed = temporary.renameOver(target); !renamed)
        return renamed;
    flushFolder(target.parent_path(), calls);
    return {};
}

} // namespace

Result<void> writeFileAtomically(const std::filesystem::path& file, std::string_view content, SystemCalls& calls)
{
    return writeFile(file, content, std::nullopt, calls);
}

Result<void>
writeFileAtomically(const std::filesystem::path& file, std::string_view content, mode_t mode, SystemCalls& calls)
{
    return writeFile(file, content, mode, calls);
}

} // namespace support
