#include "platform/PrivateProfile.h"

#include "platform/ProfileText.h"
#include "support/AtomicFile.h"
#include "support/TextCodec.h"
#include "support/WholeFile.h"

#include <algorithm>

namespace platform {

std::string readProfileString(const std::filesystem::path& file,
    std::string_view section,
    std::string_view key,
    std::string_view defaultValue)
{
    const auto content = support::readWholeFile(file);
    if (!content)
        return std::string(defaultValue);
    if (auto value = profile_text::findValue(*content, section, key))
        return std::move(*value);
    return std::string(defaultValue);
}

bool writeProfileString(const std::filesystem::path& file,
    std::string_view section,
    std::string_view key,
    std::string_view value)
{
    const ProfileKeyValue one[] = { { key, value } };
    return writeProfileStrings(file, section, one);
}

bool writeProfileStrings(const std::filesystem::path& file,
    std::string_view section,
    std::span<const ProfileKeyValue> keys)
{
    for (const ProfileKeyValue& entry : keys) {
        if (!profile_text::isWritable(section, entry.key, entry.value))
            return false;
    }
    std::string content;
    if (auto existing = support::readWholeFile(file))
        content = std::move(*existing);
    else if (existing.error().kind != support::ErrorKind::NotFound)
        return false;
    for (const ProfileKeyValue& entry : keys)
        content = profile_text::withValue(content, section, entry.key, entry.value);
    return support::writeFileAtomically(file, content).ok();
}

std::uint32_t getPrivateProfileString(std::u16string_view section,
    std::u16string_view key,
    std::u16string_view defaultValue,
    char16_t* buffer,
    std::uint32_t size,
    const std::filesystem::path& file)
{
    if (!buffer || size == 0)
        return 0;
    using support::utf16ToUtf8;
    const std::u16string value = support::utf8ToUtf16(
        readProfileString(file, utf16ToUtf8(section), utf16ToUtf8(key), utf16ToUtf8(defaultValue)));
    std::size_t count = std::min<std::size_t>(value.size(), size - 1);
    if (count < value.size() && count > 0 && value[count - 1] >= 0xD800 && value[count - 1] <= 0xDBFF)
        --count;
    std::copy_n(value.begin(), count, buffer);
    buffer[count] = u'\0';
    return static_cast<std::uint32_t>(count);
}

bool writePrivateProfileString(std::u16string_view section,
    std::u16string_view key,
    std::u16string_view value,
    const std::filesystem::path& file)
{
    using support::utf16ToUtf8;
    return writeProfileString(file, utf16ToUtf8(section), utf16ToUtf8(key), utf16ToUtf8(value));
}

} // namespace platform
