// The section-and-key reader and writer of profile files: the input is a file's text followed
// by a section, a key and a value, split at the last three NUL bytes. A key written must read
// back as its value, a second write of the same value must change nothing, and no line of the
// file may be lost.
#include "platform/ProfileText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::size_t lineCount(std::string_view s)
{
    std::size_t n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view parts[3];
    for (int i = 2; i >= 0; --i) {
        const std::size_t nul = input.rfind('\0');
        if (nul == std::string_view::npos)
            return 0;
        parts[i] = input.substr(nul + 1);
        input = input.substr(0, nul);
    }
    const std::string_view content = input;
    const auto [section, key, value] = parts;

    // Reading any text with any names is safe.
    (void)platform::profile_text::findValue(content, section, key);
    if (!platform::profile_text::isWritable(section, key, value))
        return 0;

    const std::string written = platform::profile_text::withValue(content, section, key, value);
    const auto read = platform::profile_text::findValue(written, section, key);
    check(read.has_value());
    check(*read == trimmed(value));
    check(platform::profile_text::withValue(written, section, key, value) == written);
    // A new key adds its line (and at most a header and the end of an unended last line).
    check(lineCount(written) >= lineCount(content) && lineCount(written) <= lineCount(content) + 3);
    return 0;
}
