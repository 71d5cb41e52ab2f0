#include "uabase/UaByteString.h"

#include "uabase/UaStatus.h"
#include "uabase/UaString.h"

#include <array>
#include <cstring>
#include <limits>
#include <string>

struct UaByteString::Rep : UaSharedData {
    Rep() = default;
    explicit Rep(std::string_view data)
        : bytes(data)
        , length(static_cast<std::int32_t>(data.size()))
    {
    }
    std::string bytes;
    std::int32_t length = -1;
};

UaByteString::UaByteString()
    : m_rep(sharedNull())
{
}

UaByteString::UaByteString(const Rep* rep)
    : m_rep(rep)
{
}

namespace {

std::string_view clampedView(const void* data, std::int32_t length)
{
    if (data == nullptr || length <= 0)
        return {};
    return { static_cast<const char*>(data), static_cast<std::size_t>(length) };
}

} // namespace

UaByteString::UaByteString(const void* data, std::int32_t length)
    : UaByteString(length < 0 ? UaByteString() : UaByteString(clampedView(data, length)))
{
}

UaByteString::UaByteString(std::string_view bytes)
    : m_rep(bytes.empty() ? sharedEmpty() : new Rep(bytes.substr(0, std::numeric_limits<std::int32_t>::max())))
{
}

UaByteString::UaByteString(const std::vector<std::uint8_t>& bytes)
    : UaByteString(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
{
}

UaByteString UaByteString::empty() { return UaByteString(sharedEmpty()); }

std::int32_t UaByteString::length() const { return m_rep->length; }

const std::uint8_t* UaByteString::data() const { return reinterpret_cast<const std::uint8_t*>(m_rep->bytes.data()); }

std::string_view UaByteString::view() const { return m_rep->bytes; }

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

UaString UaByteString::toBase64() const
{
    const std::string_view in = view();
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= in.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(in[i]) << 16) | (static_cast<unsigned char>(in[i + 1]) << 8)
            | static_cast<unsigned char>(in[i + 2]);
        out.push_back(kAlphabet[(v >> 18) & 0x3F]);
        out.push_back(kAlphabet[(v >> 12) & 0x3F]);
        out.push_back(kAlphabet[(v >> 6) & 0x3F]);
        out.push_back(kAlphabet[v & 0x3F]);
    }
    const std::size_t rest = in.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned>(static_cast<unsigned char>(in[i])) << 16;
        if (rest == 2)
            v |= static_cast<unsigned>(static_cast<unsigned char>(in[i + 1])) << 8;
        out.push_back(kAlphabet[(v >> 18) & 0x3F]);
        out.push_back(kAlphabet[(v >> 12) & 0x3F]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 0x3F] : '=');
        out.push_back('=');
    }
    return UaString(std::string_view(out));
}

UaStatus UaByteString::fromBase64(const UaString& text)
{
    const std::string_view in = text.view();
    if (in.size() % 4 != 0)
        return UaStatus::BadInvalidArgument;

    std::string out;
    out.reserve(in.size() / 4 * 3);
    unsigned buffer = 0;
    int bits = 0;
    bool padding = false;
    for (char c : in) {
        if (c == '=') {
            padding = true;
            continue;
        }
        const int v = base64Value(c);
        if (padding || v < 0)
            return UaStatus::BadInvalidArgument;
        buffer = ((buffer << 6) | static_cast<unsigned>(v)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    if (out.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return UaStatus::BadInvalidArgument;
    *this = UaByteString(std::string_view(out));
    return UaStatus::Good;
}

UaString UaByteString::toHex(std::size_t maxBytes) const
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::string_view in = view().substr(0, maxBytes);
    std::string out;
    out.reserve(in.size() * 2);
    for (char c : in) {
        const auto b = static_cast<unsigned char>(c);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return UaString(std::string_view(out));
}

bool operator==(const UaByteString& a, const UaByteString& b)
{
    return a.length() == b.length() && a.view() == b.view();
}

std::strong_ordering operator<=>(const UaByteString& a, const UaByteString& b)
{
    if (a.length() != b.length())
        return a.length() <=> b.length();
    if (a.length() <= 0)
        return std::strong_ordering::equal;
    return std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.length())) <=> 0;
}

const UaByteString::Rep* UaByteString::sharedNull()
{
    // Never freed: see UaString::sharedEmpty.
    static const Rep* const rep = [] {
        auto* created = new Rep();
        created->addRef();
        return created;
    }();
    return rep;
}

const UaByteString::Rep* UaByteString::sharedEmpty()
{
    static const Rep* const rep = [] {
        auto* created = new Rep(std::string_view());
        created->addRef();
        return created;
    }();
    return rep;
}
