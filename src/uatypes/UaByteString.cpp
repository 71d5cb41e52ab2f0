#include "uatypes/UaByteString.h"

#include "uatypes/UaStatus.h"
#include "uatypes/UaString.h"

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

struct UaByteString::Rep : UaSharedData {
    Rep() = default;
    explicit Rep(std::string_view data)
        : bytes(data)
        , length(static_cast<std::int32_t>(data.size()))
    {
    }
    explicit Rep(std::string&& data)
        : bytes(std::move(data))
        , length(static_cast<std::int32_t>(bytes.size()))
    {
    }
    std::string bytes;
    std::int32_t length = -1;
};

template <> const UaSharedData* UaSharedRef<UaByteString::Rep>::initial() noexcept
{
    static const UaSharedData* const rep = uaImmortal(new Representation());
    return rep;
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

/// The value of each base64 character, -1 for bytes outside the alphabet: nodesets carry
/// base64 values of hundreds of kilobytes, which a lookup decodes several times faster.
constexpr std::array<signed char, 256> kBase64Values = [] {
    std::array<signed char, 256> values {};
    values.fill(-1);
    for (std::size_t i = 0; i < kAlphabet.size(); ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    return values;
}();

int base64Value(char c) { return kBase64Values[static_cast<unsigned char>(c)]; }

/// The value of a base64 character already shifted to its place in a group of four (the top
/// bit set for bytes outside the alphabet), so that a group decodes with four lookups.
struct GroupTables {
    std::array<std::array<std::uint32_t, 256>, 4> shifted {};
};

constexpr GroupTables kGroupTables = [] {
    GroupTables tables;
    for (std::size_t position = 0; position < 4; ++position) {
        for (std::size_t c = 0; c < 256; ++c) {
            const int value = kBase64Values[c];
            tables.shifted[position][c]
                = value < 0 ? 0x80000000u : static_cast<std::uint32_t>(value) << (18 - 6 * position);
        }
    }
    return tables;
}();

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

UaStatus UaByteString::fromBase64(const UaString& text) { return fromBase64(text.view(), false); }

UaStatus UaByteString::fromBase64(std::string_view text, bool skipXmlBlanks)
{
    // One pass, without copies: nodesets carry base64 values of hundreds of kilobytes.
    std::string out(text.size() / 4 * 3 + 3, '\0');
    std::size_t written = 0;
    unsigned group = 0;
    int inGroup = 0;
    std::size_t characters = 0;
    bool padding = false;
    const std::size_t size = text.size();
    std::size_t i = 0;
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    while (i < size) {
        if (inGroup == 0 && !padding) {
            // Runs of four characters of the alphabet, the common case (blanks and "=" are not):
            // the loop stops at the first group that holds anything else.
            const std::size_t runStart = i;
            while (i + 4 <= size) {
                const std::uint32_t four = kGroupTables.shifted[0][in[i]] | kGroupTables.shifted[1][in[i + 1]]
                    | kGroupTables.shifted[2][in[i + 2]] | kGroupTables.shifted[3][in[i + 3]];
                if ((four & 0x80000000u) != 0)
                    break;
                bytes[written] = static_cast<unsigned char>(four >> 16);
                bytes[written + 1] = static_cast<unsigned char>(four >> 8);
                bytes[written + 2] = static_cast<unsigned char>(four);
                written += 3;
                i += 4;
            }
            characters += i - runStart;
            if (i >= size)
                break;
        }
        const char c = text[i++];
        if (skipXmlBlanks && (c == ' ' || c == '\t' || c == '\n' || c == '\r'))
            continue;
        ++characters;
        if (c == '=') {
            padding = true;
            continue;
        }
        const int v = base64Value(c);
        if (padding || v < 0)
            return UaStatus::BadInvalidArgument;
        group = (group << 6) | static_cast<unsigned>(v);
        if (++inGroup == 4) {
            out[written++] = static_cast<char>(group >> 16);
            out[written++] = static_cast<char>((group >> 8) & 0xFF);
            out[written++] = static_cast<char>(group & 0xFF);
            group = 0;
            inGroup = 0;
        }
    }
    if (characters % 4 != 0)
        return UaStatus::BadInvalidArgument;
    // A last group of two or three characters gives one or two bytes.
    if (inGroup == 2) {
        out[written++] = static_cast<char>((group >> 4) & 0xFF);
    } else if (inGroup == 3) {
        out[written++] = static_cast<char>((group >> 10) & 0xFF);
        out[written++] = static_cast<char>((group >> 2) & 0xFF);
    }
    out.resize(written);
    if (out.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return UaStatus::BadInvalidArgument;
    *this = out.empty() ? empty() : UaByteString(new Rep(std::move(out)));
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

const UaByteString::Rep* UaByteString::sharedEmpty()
{
    static const Rep* const rep = uaImmortal(new Rep(std::string_view()));
    return rep;
}
