#include "uatypes/UaWideString.h"

#include "uatypes/UaString.h"

#include <cstring>

struct UaWideString::Rep : UaSharedData {
    explicit Rep(std::u16string text)
        : units(std::move(text))
    {
    }
    std::u16string units;
};

template <> const UaSharedData* UaSharedRef<UaWideString::Rep>::initial() noexcept
{
    static const UaSharedData* const rep = uaImmortal(new Representation(std::u16string()));
    return rep;
}

UaWideString::UaWideString(const char* utf8)
    : UaWideString(utf8 == nullptr ? std::u16string_view() : std::u16string_view(decodeUtf8(utf8)))
{
}

UaWideString::UaWideString(const UaString& utf8)
    : UaWideString(std::u16string_view(decodeUtf8(utf8.view())))
{
}

UaWideString::UaWideString(std::u16string_view utf16)
    : m_rep(utf16.empty() ? UaSharedRef<Rep>::initialRep() : new Rep(std::u16string(utf16)))
{
}

namespace {

/// Number of bytes of the sequence that `lead` starts; 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead < 0xC0)
        return 0; // continuation byte
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    if (lead < 0xFC)
        return 5;
    if (lead < 0xFE)
        return 6;
    return 0; // 0xFE, 0xFF
}

} // namespace

std::u16string UaWideString::decodeUtf8(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t n = sequenceLength(lead);
        if (n == 0) {
            ++i;
            continue;
        }
        if (n > utf8.size() - i)
            break; // cut short by the end of the text
        auto cont
            = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(utf8[i + k]) & 0x3F); };
        switch (n) {
        case 1:
            out.push_back(static_cast<char16_t>(lead));
            break;
        case 2:
            out.push_back(static_cast<char16_t>(((lead & 0x1Fu) << 6) | cont(1)));
            break;
        case 3:
            out.push_back(static_cast<char16_t>(((lead & 0x0Fu) << 12) | (cont(1) << 6) | cont(2)));
            break;
        default:
            // Outside the 16-bit range: no single code unit can hold it.
            out.push_back(u'?');
            break;
        }
        i += n;
    }
    return out;
}

const char16_t* UaWideString::data() const { return m_rep->units.c_str(); }

std::u16string_view UaWideString::view() const { return m_rep->units; }

std::size_t UaWideString::length() const { return m_rep->units.size(); }

bool operator==(const UaWideString& a, const UaWideString& b)
{
    return a.m_rep.get() == b.m_rep.get() || a.view() == b.view();
}

std::strong_ordering operator<=>(const UaWideString& a, const UaWideString& b)
{
    if (a.length() != b.length())
        return a.length() <=> b.length();
    if (a.length() == 0)
        return std::strong_ordering::equal;
    return std::memcmp(a.data(), b.data(), a.length() * sizeof(char16_t)) <=> 0;
}
