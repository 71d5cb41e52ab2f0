#include "certificates/StoreRepair.h"

#include "certificates/StoreLayout.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

namespace certificates {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kFolderMode = 02770;
constexpr mode_t kPrivateFolderMode = 02750;
constexpr mode_t kPrivateKeyMode = 0600;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

/// A descriptor closed with its owner.
class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept
        : m_fd(other.m_fd)
    {
        other.m_fd = -1;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }

    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string modeText(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

std::string groupText(gid_t gid)
{
    group entry {};
    group* found = nullptr;
    char buffer[1024];
    if (::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->gr_name;
    return std::to_string(gid);
}

std::string userText(uid_t uid)
{
    passwd entry {};
    passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return found->pw_name;
    return std::to_string(uid);
}

bool mayChange(const struct stat& info) { return info.st_uid == ::geteuid() || ::geteuid() == 0; }

/// A file's mode as the store wants it: a private key the owner's alone; anything else readable
/// by the group, nothing for others, never executable.
mode_t wantedFileMode(mode_t mode, bool isPrivate) { return isPrivate ? kPrivateKeyMode : ((mode & 0660) | 0640); }

class Mender {
public:
    Mender(const LogLine& log, gid_t group)
        : m_log(log)
        , m_group(group)
    {
    }

    /// Opens the folder `name` of `parent` (created when missing) and mends its group and mode.
    support::Result<Descriptor> folder(int parent, const fs::path& path, mode_t mode)
    {
        const std::string name = parent == AT_FDCWD ? path.string() : path.filename().string();
        Descriptor fd(::openat(parent, name.c_str(), kFolderFlags));
        const bool made = fd.get() < 0 && errno == ENOENT;
        if (made) {
            if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST)
                return support::Error::fromErrno(errno, "cannot create the certificate folder " + path.string());
            fd = Descriptor(::openat(parent, name.c_str(), kFolderFlags));
            if (fd.get() >= 0)
                created(parent == AT_FDCWD, path);
        }
        if (fd.get() < 0)
            return support::Error::fromErrno(errno, "cannot open the certificate folder " + path.string());
        mendFolder(fd.get(), path, mode, made);
        return fd;
    }

    void files(int folder, const fs::path& path, bool isPrivate)
    {
        const int listFd = ::dup(folder);
        DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
        if (!dir) {
            if (listFd >= 0)
                ::close(listFd);
            warn("cannot list " + path.string() + ": " + std::strerror(errno));
            return;
        }
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                mendFile(folder, path / name, isPrivate);
        }
        ::closedir(dir);
    }

private:
    void warn(const std::string& line) { m_log("warning: " + line); }

    // A new store is one line; a folder missing from an existing one is a line of its own.
    void created(bool isRoot, const fs::path& path)
    {
        if (isRoot) {
            m_storeCreated = true;
            m_log("certificate store " + path.string() + " created");
        } else if (!m_storeCreated) {
            m_log("certificate folder " + path.string() + " created");
        }
    }

    /// Gives the folder its group and mode; `quietly` for a folder just made, whose mode is no news.
    void mendFolder(int fd, const fs::path& path, mode_t mode, bool quietly)
    {
        struct stat info {};
        if (::fstat(fd, &info) != 0)
            return warn("cannot check " + path.string() + ": " + std::strerror(errno));
        const std::string what = "certificate folder " + path.string();
        if (info.st_gid != m_group) {
            if (mayChange(info) && ::fchown(fd, static_cast<uid_t>(-1), m_group) == 0)
                m_log(what + ": group " + groupText(info.st_gid) + " mended to " + groupText(m_group));
            else
                warn("cannot give " + path.string() + " the group " + groupText(m_group) + " (it has "
                    + groupText(info.st_gid) + ")");
        }
        if ((info.st_mode & 07777) == mode)
            return;
        if (!mayChange(info))
            return warn("cannot mend the mode of " + path.string() + " (" + modeText(info.st_mode) + ", wanted "
                + modeText(mode) + "): it belongs to " + userText(info.st_uid));
        if (::fchmod(fd, mode) != 0)
            return warn("cannot mend the mode of " + path.string() + ": " + std::strerror(errno));
        if (!quietly)
            m_log(what + ": mode " + modeText(info.st_mode) + " mended to " + modeText(mode));
    }

    void mendFile(int folder, const fs::path& path, bool isPrivate)
    {
        const std::string name = path.filename().string();
        struct stat info {};
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            return;
        const mode_t wanted = wantedFileMode(info.st_mode, isPrivate);
        if ((info.st_mode & 07777) == wanted)
            return;
        const std::string what = (isPrivate ? "private key " : "certificate file ") + path.string();
        if (!mayChange(info))
            return warn("cannot mend the mode of " + path.string() + " (" + modeText(info.st_mode) + ", wanted "
                + modeText(wanted) + "): it belongs to " + userText(info.st_uid));
        // Opened without following a link, so that only the store's own file is changed.
        const Descriptor fd(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {};
        if (fd.get() < 0 || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)
            || ::fchmod(fd.get(), wanted) != 0)
            return warn("cannot mend the mode of " + path.string() + ": " + std::strerror(errno));
        m_log(what + ": mode " + modeText(info.st_mode) + " mended to " + modeText(wanted));
    }

    const LogLine& m_log;
    gid_t m_group;
    bool m_storeCreated = false;
};

} // namespace

support::Result<void> prepareStore(const StoreLayout& layout, const LogLine& log)
{
    const fs::path holder = layout.root().parent_path();
    struct stat holderInfo {};
    if (::stat(holder.c_str(), &holderInfo) != 0)
        return support::Error::fromErrno(errno, "cannot open the folder of the certificate store " + holder.string());
    Mender mender(log, holderInfo.st_gid);
    std::map<fs::path, Descriptor> open;
    for (const fs::path& folder : layout.folders()) {
        const auto parent = open.find(folder.parent_path());
        const int parentFd = parent == open.end() ? AT_FDCWD : parent->second.get();
        auto fd = mender.folder(parentFd, folder, layout.isPrivate(folder) ? kPrivateFolderMode : kFolderMode);
        if (!fd)
            return fd.error();
        mender.files(fd->get(), folder, layout.isPrivate(folder));
        open.emplace(folder, std::move(*fd));
    }
    return {};
}

} // namespace certificates
