#include "uatypes/UaGuid.h"

#include "support/TextCodec.h"
#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"

#include <cstdio>
#include <string_view>

bool UaGuid::isNull() const { return *this == UaGuid {}; }

UaString UaGuid::toString() const
{
    std::array<char, 40> text {};
    std::snprintf(text.data(),
        text.size(),
        "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
        static_cast<unsigned>(Data1),
        static_cast<unsigned>(Data2),
        static_cast<unsigned>(Data3),
        static_cast<unsigned>(Data4[0]),
        static_cast<unsigned>(Data4[1]),
        static_cast<unsigned>(Data4[2]),
        static_cast<unsigned>(Data4[3]),
        static_cast<unsigned>(Data4[4]),
        static_cast<unsigned>(Data4[5]),
        static_cast<unsigned>(Data4[6]),
        static_cast<unsigned>(Data4[7]));
    return UaString(text.data());
}

namespace {

/// Reads exactly `digits` hexadecimal digits at `pos` and moves past them.
bool readHex(std::string_view text, std::size_t& pos, int digits, std::uint32_t& value)
{
    if (text.size() - pos < static_cast<std::size_t>(digits))
        return false;
    std::uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int h = support::hexDigitValue(text[pos + static_cast<std::size_t>(i)]);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<std::uint32_t>(h);
    }
    pos += static_cast<std::size_t>(digits);
    value = v;
    return true;
}

bool readDash(std::string_view text, std::size_t& pos)
{
    if (pos >= text.size() || text[pos] != '-')
        return false;
    ++pos;
    return true;
}

} // namespace

UaStatus UaGuid::fromString(const UaString& text)
{
    const std::string_view s = text.view();
    std::size_t pos = (!s.empty() && s[0] == '{') ? 1 : 0;
    std::uint32_t d1 = 0;
    std::uint32_t d2 = 0;
    std::uint32_t d3 = 0;
    std::array<std::uint32_t, 8> d4 {};
    bool ok = readHex(s, pos, 8, d1) && readDash(s, pos) && readHex(s, pos, 4, d2) && readDash(s, pos)
        && readHex(s, pos, 4, d3) && readDash(s, pos) && readHex(s, pos, 2, d4[0]) && readHex(s, pos, 2, d4[1])
        && readDash(s, pos);
    for (std::size_t i = 2; ok && i < d4.size(); ++i)
        ok = readHex(s, pos, 2, d4[i]);
    if (!ok)
        return UaStatus::BadInvalidArgument;

    Data1 = d1;
    Data2 = static_cast<std::uint16_t>(d2);
    Data3 = static_cast<std::uint16_t>(d3);
    for (std::size_t i = 0; i < d4.size(); ++i)
        Data4[i] = static_cast<std::uint8_t>(d4[i]);
    return UaStatus::Good;
}

std::array<std::uint8_t, 16> UaGuid::toBytes() const
{
    std::array<std::uint8_t, 16> b {};
    for (int i = 0; i < 4; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(Data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) {
        b[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(Data2 >> (8 * i));
        b[static_cast<std::size_t>(6 + i)] = static_cast<std::uint8_t>(Data3 >> (8 * i));
    }
    for (std::size_t i = 0; i < Data4.size(); ++i)
        b[8 + i] = Data4[i];
    return b;
}

UaGuid UaGuid::fromBytes(const std::array<std::uint8_t, 16>& bytes)
{
    UaGuid g;
    for (int i = 3; i >= 0; --i)
        g.Data1 = (g.Data1 << 8) | bytes[static_cast<std::size_t>(i)];
    g.Data2 = static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8));
    g.Data3 = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
    for (std::size_t i = 0; i < g.Data4.size(); ++i)
        g.Data4[i] = bytes[8 + i];
    return g;
}

std::strong_ordering operator<=>(const UaGuid& a, const UaGuid& b)
{
    const auto x = a.toBytes();
    const auto y = b.toBytes();
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i] != y[i])
            return x[i] <=> y[i];
    }
    return std::strong_ordering::equal;
}
