#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace platform {

/// Section-and-key reads and writes on an 8-bit text file (GetPrivateProfileStringW and
/// WritePrivateProfileStringW), with the matching rules of platform/ProfileText.h. The file's
/// text is UTF-8; the wide forms convert on the way in and out.

/// The value of `key` in `section`, or `defaultValue` when the file, the section or the key
/// is missing.
std::string readProfileString(const std::filesystem::path& file,
    std::string_view section,
    std::string_view key,
    std::string_view defaultValue);

/// Sets `key` in `section`, creating the file or the section when missing. The file is
/// rewritten whole and atomically. False when the text would break the file's lines (a line
/// break in any argument, '=' in the key, ']' in the section, a blank name, a key that starts
/// with ';' or '[') or the file cannot be read or replaced.
[[nodiscard]] bool writeProfileString(const std::filesystem::path& file,
    std::string_view section,
    std::string_view key,
    std::string_view value);

/// One key and its value, for writeProfileStrings.
struct ProfileKeyValue {
    std::string_view key;
    std::string_view value;
};

/// Sets the keys of `section` one after the other, as writeProfileString would, in one rewrite
/// of the file: all of them or none. False, with the file untouched, when any of them may not
/// be written or the file cannot be read or replaced.
[[nodiscard]] bool
writeProfileStrings(const std::filesystem::path& file, std::string_view section, std::span<const ProfileKeyValue> keys);

/// GetPrivateProfileStringW: copies the value (or the default) into `buffer` of `size`
/// characters, cut to `size - 1` and NUL-terminated, and returns the number of characters
/// copied without the NUL. A cut never leaves half of a surrogate pair.
std::uint32_t getPrivateProfileString(std::u16string_view section,
    std::u16string_view key,
    std::u16string_view defaultValue,
    char16_t* buffer,
    std::uint32_t size,
    const std::filesystem::path& file);

/// WritePrivateProfileStringW, as writeProfileString.
[[nodiscard]] bool writePrivateProfileString(std::u16string_view section,
    std::u16string_view key,
    std::u16string_view value,
    const std::filesystem::path& file);

} // namespace platform
