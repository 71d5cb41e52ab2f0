#include "support/WholeFile.h"

#include <algorithm>

namespace support {

Result<std::string> readWholeFile(const std::filesystem::path& file, std::size_t maxBytes, SystemCalls& calls)
{
    Result<FileReader> reader = FileReader::open(file, maxBytes, calls);
    if (!reader)
        return reader.error();
    std::string content;
    // One byte more than the size says, so that the end of the file is seen in the same read.
    content.resize(reader->sizeWhenOpened() + 1);
    std::size_t filled = 0;
    for (;;) {
        // The reader fails before more than maxBytes are read, so there is always room to grow.
        if (filled == content.size())
            content.resize(std::min(maxBytes + 1, content.size() * 2));
        const Result<std::size_t> got = reader->read(content.data() + filled, content.size() - filled);
        if (!got)
            return got.error();
        if (*got == 0)
            break;
        filled += *got;
    }
    content.resize(filled);
    return content;
}

} // namespace support
