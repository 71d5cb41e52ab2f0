#include "support/AtomicFile.h"

#include "support/WholeFile.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <string>

namespace {

using support::SystemCalls;

const std::string kOld = "old content\n";
const std::string kNew = std::string(100000, 'n') + "\n";

/// The real calls, except that the `occurrence`-th call of `failing` fails with `error`; every
/// call first checks that the target is still whole (old or new).
class FaultyCalls final : public SystemCalls {
public:
    FaultyCalls(std::filesystem::path target, std::string failing, int occurrence, int error)
        : m_target(std::move(target))
        , m_failing(std::move(failing))
        , m_occurrence(occurrence)
        , m_error(error)
    {
    }

    int open(const char* path, int flags, mode_t mode) override
    {
        return step("open") ? SystemCalls::open(path, flags, mode) : -1;
    }
    ssize_t write(int fd, const void* data, std::size_t size) override
    {
        // Short writes, as a pipe or a signal may cause: the writer must carry on.
        return step("write") ? SystemCalls::write(fd, data, std::min<std::size_t>(size, 4096)) : -1;
    }
    int stat(const char* path, struct stat* info) override { return step("stat") ? SystemCalls::stat(path, info) : -1; }
    int fchmod(int fd, mode_t mode) override { return step("fchmod") ? SystemCalls::fchmod(fd, mode) : -1; }
    int fchown(int fd, uid_t owner, gid_t group) override
    {
        return step("fchown") ? SystemCalls::fchown(fd, owner, group) : -1;
    }
    int fsync(int fd) override { return step("fsync") ? SystemCalls::fsync(fd) : -1; }
    int close(int fd) override
    {
        // A failed close still releases the descriptor, as on Linux.
        const bool ok = step("close");
        SystemCalls::close(fd);
        return ok ? 0 : -1;
    }
    int rename(const char* from, const char* to) override
    {
        return step("rename") ? SystemCalls::rename(from, to) : -1;
    }

    bool sawTornTarget() const { return m_torn; }
    bool failed() const { return m_failed; }

private:
    bool step(const std::string& name)
    {
        const auto content = support::readWholeFile(m_target);
        if (content && *content != kOld && *content != kNew)
            m_torn = true;
        if (name != m_failing || ++m_seen[name] != m_occurrence)
            return true;
        m_failed = true;
        errno = m_error;
        return false;
    }

    std::filesystem::path m_target;
    std::string m_failing;
    int m_occurrence;
    int m_error;
    std::map<std::string, int> m_seen;
    bool m_torn = false;
    bool m_failed = false;
};

std::size_t entriesIn(const std::filesystem::path& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

mode_t modeOf(const std::filesystem::path& file)
{
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0);
    return info.st_mode & 07777;
}

/// The umask, read without setting it.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    ADD_FAILURE() << "no Umask line in /proc/self/status";
    return 022;
}

TEST(AtomicFileTest, EveryFailingStepLeavesTheOldFileAndNoTemporary)
{
    struct Case {
        const char* step;
        int occurrence;
        bool writeFails; ///< else the write still succeeds (the step comes after the rename)
    };
    const Case cases[] = {
        { "stat", 1, true },
        { "open", 1, true }, // the temporary file
        { "fchmod", 1, true },
        { "write", 1, true },
        { "write", 3, true }, // after part of the content is out
        { "fsync", 1, true }, // the temporary file
        { "close", 1, true },
        { "rename", 1, true },
        { "open", 2, false }, // the folder, for its flush
        { "fsync", 2, false }, // the folder
        { "close", 2, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " #" + std::to_string(c.occurrence));
        TempDir dir;
        const auto target = dir / "NodeConfig.xml";
        std::ofstream(target, std::ios::binary) << kOld;
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);

        FaultyCalls calls(target, c.step, c.occurrence, EIO);
        const support::Result<void> written = support::writeFileAtomically(target, kNew, calls);
        EXPECT_TRUE(calls.failed());
        EXPECT_FALSE(calls.sawTornTarget());
        EXPECT_EQ(entriesIn(dir.path()), 1u) << "a temporary file was left behind";
        EXPECT_EQ(modeOf(target), 0640u);
        if (c.writeFails) {
            ASSERT_FALSE(written.ok());
            EXPECT_EQ(written.error().message, "cannot write " + target.string() + ": Input/output error");
            EXPECT_EQ(support::readWholeFile(target).ok() ? *support::readWholeFile(target) : "", kOld);
        } else {
            EXPECT_TRUE(written.ok()) << written.error().message;
            EXPECT_EQ(*support::readWholeFile(target), kNew);
        }
    }
}

TEST(AtomicFileTest, TakenOwnerFailsOnlyAPrivilegedWriter)
{
    TempDir dir;
    const auto target = dir / "f";
    std::ofstream(target, std::ios::binary) << kOld;
    FaultyCalls calls(target, "fchown", 1, EPERM);
    const support::Result<void> written = support::writeFileAtomically(target, kNew, calls);
    EXPECT_FALSE(calls.sawTornTarget());
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    EXPECT_EQ(written.ok(), ::geteuid() != 0);
    EXPECT_EQ(*support::readWholeFile(target), written.ok() ? kNew : kOld);
}

TEST(AtomicFileTest, KeepsLinksAndModesAndGivesNewFilesTheUmasksMode)
{
    TempDir dir;
    const auto real = dir / "real.xml";
    const auto link = dir / "link.xml";
    std::ofstream(real, std::ios::binary) << kOld;
    ASSERT_EQ(::chmod(real.c_str(), 0604), 0);
    std::filesystem::create_symlink("real.xml", link);
    ASSERT_TRUE(support::writeFileAtomically(link, kNew).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(*support::readWholeFile(real), kNew);
    EXPECT_EQ(modeOf(real), 0604u);

    // A link to a file not there yet creates the file it names.
    const auto dangling = dir / "dangling.xml";
    std::filesystem::create_symlink(dir / "later.xml", dangling);
    ASSERT_TRUE(support::writeFileAtomically(dangling, "x").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dangling));
    EXPECT_EQ(*support::readWholeFile(dir / "later.xml"), "x");
    EXPECT_EQ(modeOf(dir / "later.xml"), 0666 & ~currentUmask());
}

TEST(AtomicFileTest, RefusesWhatCannotBeReplaced)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    const struct {
        std::filesystem::path file;
        support::ErrorKind kind;
        std::string reason;
    } cases[] = {
        { dir / "folder", support::ErrorKind::NotRegularFile, "it is not a regular file" },
        { dir / "missing" / "f", support::ErrorKind::NotFound, "No such file or directory" },
    };
    for (const auto& c : cases) {
        const support::Result<void> written = support::writeFileAtomically(c.file, "x");
        ASSERT_FALSE(written.ok()) << c.file;
        EXPECT_EQ(written.error().kind, c.kind) << c.file;
        EXPECT_EQ(written.error().message, "cannot write " + c.file.string() + ": " + c.reason);
    }
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

} // namespace
