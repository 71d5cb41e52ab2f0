#include "nodeconfig/NodeConfigFiles.h"

#include "nodeconfig/SettingsBlock.h"

#include <unistd.h>

#include <fstream>
#include <system_error>
#include <vector>

namespace nodeconfig::files {

std::optional<std::string> readText(const std::filesystem::path& file)
{
    // A pipe or a device chosen by mistake would block the reading or never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return std::nullopt;
    return platform::readWholeFile(file);
}

bool forEachLine(const std::filesystem::path& file, const std::function<void(std::string_view)>& visit)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    // The block is at the end of a file of megabytes: read in blocks, never the whole file.
    LineAssembler lines;
    std::vector<char> block(64 * 1024);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0)
        lines.feed(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())), visit);
    if (in.bad())
        return false;
    lines.finish(visit);
    return true;
}

bool replaceText(const std::filesystem::path& file, std::string_view text, const ReplaceFault& fault)
{
    return platform::replaceFileAtomically(file, text, fault);
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
