#pragma once

#include <string>
#include <string_view>

namespace platform {

/// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

/// ASCII-only case-insensitive comparison, as used for store and section names.
bool equalsNoCase(std::string_view a, std::string_view b);

/// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

} // namespace platform
