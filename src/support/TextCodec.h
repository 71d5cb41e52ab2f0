#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace support {

/// One UTF-8 sequence read from the start of a text: the code point, or kInvalidCodePoint for
/// bytes that are no well-formed sequence (a stray or missing continuation byte, an overlong
/// form, a surrogate half, anything above U+10FFFF); `length` is never 0 for a non-empty text.
struct DecodedCodePoint {
    static constexpr char32_t kInvalidCodePoint = 0xFFFFFFFF;
    char32_t codePoint = kInvalidCodePoint;
    std::size_t length = 0;

    bool isValid() const { return codePoint != kInvalidCodePoint; }
};
DecodedCodePoint decodeUtf8(std::string_view text);

/// UTF-8 to UTF-16; each malformed sequence becomes one U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
/// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
/// Appends the UTF-8 form of a code point (at most U+10FFFF).
void appendUtf8(std::string& out, char32_t codePoint);

/// ASCII-only case-insensitive comparison, as used for store and section names.
bool equalsNoCase(std::string_view a, std::string_view b);

/// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

} // namespace support
