#include "support/AtomicFile.h"

#include "support/WholeFile.h"
#include "testing/FailingSystemCalls.h"
#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <string>

namespace {

const std::string kOld = "old content\n";
const std::string kNew = std::string(100000, 'n') + "\n";

/// The real calls, except that the `occurrence`-th call of `failing` fails with `error` and
/// writes are short; every call first checks that the target is still whole (old or new).
class FaultyCalls final : public FailingSystemCalls {
public:
    FaultyCalls(std::filesystem::path target, std::string failing, int occurrence, int error)
        : m_target(std::move(target))
    {
        failAt(std::move(failing), occurrence, error);
        limitWritesTo(4096);
    }

    bool sawTornTarget() const { return m_torn; }

private:
    void beforeEachCall() override
    {
        const auto content = support::readWholeFile(m_target);
        if (content && *content != kOld && *content != kNew)
            m_torn = true;
    }

    std::filesystem::path m_target;
    bool m_torn = false;
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
