#include "nodeconfig/NodeConfigFiles.h"

#include "nodeconfig/SettingsBlock.h"
#include "support/AtomicFile.h"
#include "support/WholeFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <vector>

namespace nodeconfig::files {

support::Result<std::string> readText(const std::filesystem::path& file) { return support::readWholeFile(file); }

bool forEachLine(const std::filesystem::path& file, const std::function<void(std::string_view)>& visit)
{
    // A pipe or a device chosen by mistake would block the reading or never end.
    const support::Result<int> opened = support::openRegularFile(file);
    if (!opened)
        return false;
    const int fd = *opened;
    // Held to the limit of a whole read, so that a runaway file is refused as readText refuses it.
    struct stat info { };
    if (::fstat(fd, &info) != 0 || static_cast<std::uintmax_t>(info.st_size) > support::kMaxWholeFileBytes) {
        ::close(fd);
        return false;
    }
    // The block is at the end of a file of megabytes: read in blocks, never the whole file.
    LineAssembler lines;
    std::vector<char> block(64 * 1024);
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        total += n > 0 ? static_cast<std::size_t>(n) : 0;
        if (n < 0 || total > support::kMaxWholeFileBytes) {
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        lines.feed(std::string_view(block.data(), static_cast<std::size_t>(n)), visit);
    }
    ::close(fd);
    lines.finish(visit);
    return true;
}

bool replaceText(const std::filesystem::path& file, std::string_view text, support::SystemCalls& calls)
{
    return support::writeFileAtomically(file, text, calls).ok();
}

bool copyOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    const auto text = readText(from);
    return text && replaceText(to, *text);
}

bool remove(const std::filesystem::path& file)
{
    std::error_code ec;
    return std::filesystem::remove(file, ec);
}

bool exists(const std::filesystem::path& file) { return ::access(file.c_str(), F_OK) == 0; }

bool isWritable(const std::filesystem::path& file) { return ::access(file.c_str(), W_OK) == 0; }

bool mayCreate(const std::filesystem::path& file)
{
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

} // namespace nodeconfig::files
