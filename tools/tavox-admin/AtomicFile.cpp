#include "AtomicFile.h"

#include "platform/AtomicWrite.h"


#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace admin {
namespace {

constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

std::string reason(int error)
{
    return std::strerror(error);
}

} // namespace

Result<Bytes> readWholeFile(const std::filesystem::path& file)
{
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return Result<Bytes>::failure("Cannot read " + file.string() + ": it is a directory.");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Result<Bytes>::failure("Cannot read " + file.string() + ": " + reason(errno) + ".");
    const auto size = std::filesystem::file_size(file, ec);
    if (!ec && size > kMaxFileBytes)
        return Result<Bytes>::failure("Cannot read " + file.string() + ": the file is larger than 64 MiB.");
    Bytes content {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return Result<Bytes>::failure("Cannot read " + file.string() + ": a read error occurred.");
    return content;
}

Result<bool> writeFileAtomically(const std::filesystem::path& file, const Bytes& content)
{
    errno = 0;
    const std::string_view text(reinterpret_cast<const char*>(content.data()), content.size());
    if (!platform::replaceFileAtomically(file, text)) {
        const int error = errno ? errno : EIO;
        return Result<bool>::failure("Cannot write " + file.string() + ": " + reason(error) + ".");
    }
    return true;
}

} // namespace admin
