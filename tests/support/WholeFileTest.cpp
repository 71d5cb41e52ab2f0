#include "support/WholeFile.h"

#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace {

using support::ErrorKind;

/// Reports every file as empty, as the system does for some files whose content is made as it
/// is read: the reader must rely on the reads, not on the size.
class SizeHidingCalls final : public support::SystemCalls {
public:
    int fstat(int fd, struct stat* info) override
    {
        const int result = SystemCalls::fstat(fd, info);
        info->st_size = 0;
        return result;
    }
};

TEST(WholeFileTest, ReadsRegularFilesUpToTheLimitAndRefusesTheRest)
{
    TempDir dir;
    const auto file = dir / "ten";
    std::ofstream(file, std::ios::binary) << "0123456789";
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SizeHidingCalls sizeHiding;
    support::SystemCalls& real = support::realSystemCalls();

    struct Case {
        std::filesystem::path file;
        std::size_t limit;
        support::SystemCalls* calls;
        std::string content; ///< when it reads
        ErrorKind kind; ///< else
        std::string reason;
    };
    const Case cases[] = {
        { file, 10, &real, "0123456789", {}, "" },
        { file, 10, &sizeHiding, "0123456789", {}, "" },
        { file, 9, &real, "", ErrorKind::TooLarge, "it is larger than 9 bytes" },
        { file, 9, &sizeHiding, "", ErrorKind::TooLarge, "it is larger than 9 bytes" },
        { dir.path(), 10, &real, "", ErrorKind::NotRegularFile, "it is a directory" },
        // Opening a pipe that nobody writes must not wait.
        { fifo, 10, &real, "", ErrorKind::NotRegularFile, "it is not a regular file" },
        { dir / "missing", 10, &real, "", ErrorKind::NotFound, "No such file or directory" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string() + " limit " + std::to_string(c.limit));
        const support::Result<std::string> read = support::readWholeFile(c.file, c.limit, *c.calls);
        if (c.reason.empty()) {
            ASSERT_TRUE(read.ok()) << read.error().message;
            EXPECT_EQ(*read, c.content);
        } else {
            ASSERT_FALSE(read.ok());
            EXPECT_EQ(read.error().kind, c.kind);
            EXPECT_EQ(read.error().message, "cannot read " + c.file.string() + ": " + c.reason);
        }
    }
    EXPECT_EQ(support::readWholeFile(file, std::size_t { 64 } << 20).ok(), true);
}

TEST(WholeFileTest, TheLimitIsNamedInMebibytesWhenItIsWhole)
{
    TempDir dir;
    const auto file = dir / "big";
    std::ofstream(file, std::ios::binary) << std::string((1u << 20) + 1, 'x');
    const support::Result<std::string> read = support::readWholeFile(file, 1u << 20);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().message, "cannot read " + file.string() + ": it is larger than 1 MiB");
}

} // namespace
