#include "nodeconfig/NodeConfigFiles.h"

#include "nodeconfig/SettingsBlock.h"
#include "support/AtomicFile.h"
#include "support/FileReader.h"
#include "support/Lines.h"
#include "support/WholeFile.h"

#include <unistd.h>

#include <system_error>
#include <vector>

namespace nodeconfig::files {

support::Result<std::string> readText(const std::filesystem::path& file) { return support::readWholeFile(file); }

support::Result<void> forEachLine(const std::filesystem::path& file, const std::function<void(std::string_view)>& visit)
{
    // A pipe or a device chosen by mistake would block the reading or never end; a runaway file
    // is refused as readText refuses it.
    support::Result<support::FileReader> reader = support::FileReader::open(file);
    if (!reader)
        return reader.error();
    // The block is at the end of a file of megabytes: read in blocks, never the whole file.
    support::LineAssembler lines;
    std::vector<char> block(64 * 1024);
    for (;;) {
        const support::Result<std::size_t> got = reader->read(block.data(), block.size());
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        lines.feed(std::string_view(block.data(), *got), visit);
    }
    lines.finish(visit);
    return {};
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
