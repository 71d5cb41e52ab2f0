#include "users/Latin1Text.h"

#include <algorithm>

namespace latin1 {

bool isStorable(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 0xFF; });
}

std::optional<std::string> fromUtf16(std::u16string_view text)
{
    if (!isStorable(text))
        return std::nullopt;
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t c : text)
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    return bytes;
}

std::u16string toUtf16(std::string_view bytes)
{
    std::u16string text;
    text.reserve(bytes.size());
    for (char b : bytes)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(b)));
    return text;
}

} // namespace latin1
