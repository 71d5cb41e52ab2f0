#pragma once

#include <optional>
#include <string>
#include <string_view>

/// The one-byte form of stored names and passwords: U+0000..U+00FF map to the byte of the
/// same value and back, as the C library's conversion does in its default locale.
namespace latin1 {

/// True when every code unit is at most U+00FF, so that the text can be stored byte for byte.
bool isStorable(std::u16string_view text);
/// The bytes of `text`; empty when a character cannot be stored in one byte.
std::optional<std::string> fromUtf16(std::u16string_view text);
std::u16string toUtf16(std::string_view bytes);

} // namespace latin1
